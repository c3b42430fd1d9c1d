// The software download of the card, behind the download records of the
// common objects: fetch a signed bundle into the slot that does not run,
// commit it (reboot into it on trial), accept it or roll back. Driven from
// the card's loop only: the ICSC writes and the one-second tick; the fetch
// runs in a child program (loadfetch) that the tick watches without waiting.
//
//   IDLE -start-> DOWNLOADING -> VERIFYING -> READY -commit-> COMMITTING
//        (reboot) TRIAL -accept-> IDLE      TRIAL -timer/crashes-> ROLLED_BACK
//   DOWNLOADING/VERIFYING -fault or stop-> FAILED -clear-> IDLE
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/FtpUploadWire.h"
#include "load/SlotState.h"

namespace load {

// The fetch as the download sees it: the real one runs the fetch program,
// tests script one.
class Fetcher {
 public:
  struct Report {
    ftpupload::Phase phase = ftpupload::Phase::TRANSFER;
    unsigned percent = 0;
    bool ended = false;
    ftpupload::Result result = ftpupload::Result::FAILED;
    std::string reason;
  };
  virtual ~Fetcher() = default;
  virtual bool start(const ftpupload::Request& request, std::string& reason) = 0;
  // What happened since the last call; never waits.
  virtual Report poll() = 0;
  virtual void stop() = 0;
};

// Runs "loadfetch" beside main ($FXS_LOADFETCH names another).
std::unique_ptr<Fetcher> programFetcher();

// The version stamped into the running program (main sets it at its start;
// "unknown" before).
void setBuildVersion(const std::string& version);
const std::string& buildVersion();

class LoadManager {
 public:
  enum State : uint32_t {
    IDLE = 0,
    DOWNLOADING = 1,
    VERIFYING = 2,
    READY = 3,
    FAILED = 4,
    COMMITTING = 5,
    TRIAL = 6,
    ROLLED_BACK = 7,
  };
  enum Result : uint32_t {
    RESULT_NONE = 0,
    RESULT_OK = 1,
    RESULT_NO_SERVER = 2,
    RESULT_CONNECT_FAILED = 3,
    RESULT_LOGIN_REFUSED = 4,
    RESULT_NOT_FOUND = 5,
    RESULT_TIMEOUT = 6,
    RESULT_TRANSFER_FAILED = 7,
    RESULT_BAD_BUNDLE = 8,
    RESULT_WRONG_LOAD = 9,
    RESULT_NO_SPACE = 10,
    RESULT_STOPPED = 11,
    RESULT_ROLLED_BACK = 12,
    RESULT_FLASH_FAILED = 13,
    RESULT_TLS_FAILED = 14,
  };
  static constexpr uint32_t DEFAULT_COMMIT_TIMER = 600;
  static constexpr uint32_t MAX_COMMIT_TIMER = 86400;
  static constexpr std::chrono::seconds DEFAULT_LIMIT{900};
  static constexpr std::chrono::seconds DEFAULT_STALL{30};

  struct Config {
    std::string root = DEFAULT_ROOT;
    // The slot this program runs from ('a' or 'b'); unset: told from the
    // program's own path, '\0' when that lies in no slot.
    std::optional<char> running;
    unsigned cardType = 0;
    // The version of the running program, shown when it runs outside a slot.
    std::string buildVersion;
    std::chrono::seconds limit = DEFAULT_LIMIT;
    std::chrono::seconds stall = DEFAULT_STALL;
    std::unique_ptr<Fetcher> fetcher;
    // Asks the board to reboot the card; true when it took the request.
    std::function<bool()> reboot;
  };

  // What the records show.
  struct View {
    uint32_t state = IDLE;
    uint32_t progress = 0;
    uint32_t result = RESULT_NONE;
    std::string reason;
    std::string loadware, backup, boot;
    std::string runningSlot;
    uint32_t commitTimer = 0;  // as written (0: the default)
    uint32_t trialSecondsLeft = 0;
  };

  explicit LoadManager(Config config);
  ~LoadManager();
  LoadManager(const LoadManager&) = delete;
  LoadManager& operator=(const LoadManager&) = delete;

  // The chassis' writes; each returns an ICSC status (OK, NOT_SERVED or
  // BAD_VALUE) and logs why it refuses.
  uint8_t setFilename(const std::string& path);
  uint8_t startDownload(const ftpupload::Target& server);
  uint8_t stopDownload();
  uint8_t commit();
  uint8_t accept(bool cardActive);
  uint8_t clearErrors();
  uint8_t setCommitTimer(uint32_t seconds);

  // Once a second from the card's loop.
  void tick();

  View view() const;
  static const char* stateName(uint32_t state);
  static const char* resultText(uint32_t result);

 private:
  SlotRecord currentRecord();
  bool saveRecord(const SlotRecord& r, const char* what);
  void fail(Result result, const std::string& reason);
  void finishFetch(const Fetcher::Report& report);
  void readVersions();
  void requestReboot(const char* why);

  Config m_config;
  SlotStore m_store;
  char m_running = 0;
  View m_view;
  std::string m_filename;
  std::string m_password;  // of the running fetch, kept out of its reports
  char m_target = 0;       // the slot being fetched into
  uint32_t m_trialTicks = 0;
  bool m_rebootPending = false;
  unsigned m_rebootTries = 0;
};

}  // namespace load
