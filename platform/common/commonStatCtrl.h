// Holder of the common card status that the chassis controller reads over
// ICSC: card identity, temperature and voltage sensors, hardware and
// operational errors, power, the voltage-monitor status, the control
// records and the log transfer. Every value lives in one cell per (common
// object, instance, record) described by the common descriptor arrays; the
// card's calls write cells, and one generic server (serve/next) answers the
// chassis from them. Safe to read from the console thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "common/CommonRecords.h"
#include "common/FtpUploadWire.h"
#include "icsc/CommonPropertyDescriptor.h"
#include "icsc/ICSCTlv.h"

namespace load {
class LoadManager;
}

class ICardObjects;
class CGetLogEngine;

struct VoltageMonitorStatus {
  bool present = false;
  bool hwError = false;
  std::string version;
  uint8_t updateFailed = 0;
};

class commonStatCtrl : public CommonObjectNumbers {
 public:
  // Progress of a log collection ("GETLOG state").
  enum GetLogState : uint32_t {
    GETLOG_IDLE = 0,
    GETLOG_BUSY = 1,  // preparing and packing the logs
    GETLOG_DONE = 2,
    GETLOG_FAILED = 3,
    GETLOG_UPLOADING = 4,
  };
  // Outcome of the last collection ("GETLOG result"). An upload that
  // succeeded says whether it went over TLS.
  enum GetLogResult : uint32_t {
    GETLOG_RESULT_NONE = 0,
    GETLOG_RESULT_OK = 1,  // packed on the card, nothing sent
    GETLOG_RESULT_PACK_FAILED = 2,
    GETLOG_RESULT_NO_SERVER = 3,
    GETLOG_RESULT_CONNECT_FAILED = 4,
    GETLOG_RESULT_LOGIN_REFUSED = 5,
    GETLOG_RESULT_UPLOAD_REFUSED = 6,
    GETLOG_RESULT_TIMEOUT = 7,
    GETLOG_RESULT_TRANSFER_FAILED = 8,
    GETLOG_RESULT_SENT_ENCRYPTED = 9,
    GETLOG_RESULT_SENT_IN_CLEAR = 10,  // the server offers no TLS
    GETLOG_RESULT_TLS_FAILED = 11,     // offered, but its certificate was not trusted
  };

  // `card` and `logEngine` are only stored: the registry is built after this
  // object, so nothing may be called on it here. The log engine (heap
  // allocated by the card, may be null) is owned from here on and deleted
  // with this object.
  commonStatCtrl(const std::string& name, int cardType, ICardObjects* card, unsigned nTempSensors,
                 unsigned nVoltageSensors, unsigned nHwErrors, unsigned nOperErrors,
                 CGetLogEngine* logEngine);
  virtual ~commonStatCtrl();
  commonStatCtrl(const commonStatCtrl&) = delete;
  commonStatCtrl& operator=(const commonStatCtrl&) = delete;

  bool addTemperatureSensor(unsigned index, const std::string& name);
  bool addVoltageSensor(unsigned index, const std::string& name, unsigned nominalMv);
  bool addHwError(unsigned index, unsigned code, const std::string& name);
  bool addOperationalError(unsigned index, unsigned code, const std::string& name);

  // property 0: temperature, 1: sensor status.
  bool setTemp(unsigned property, unsigned index, int32_t value);
  // property 0: voltage in mV, 1: validity (1 valid, 0 invalid).
  bool setVoltage(unsigned property, unsigned index, int32_t value);
  bool setPower(int32_t value);
  bool setHwErrorActive(unsigned index, bool active);
  bool setOperationalErrorActive(unsigned index, bool active);
  bool setVoltageMonitorStatus(const VoltageMonitorStatus& status);
  void setSlot(unsigned slot);
  void setCardState(uint32_t state, const std::string& name);
  // The LED driver pins the card drives: lit, blinking slowly, fast.
  void setLeds(uint32_t on, uint32_t slow, uint32_t fast);

  // Once a second from the card's loop (through the protocol engine's
  // eventHandler): the software download's progress and trial timer.
  void tick();
  // The software download behind the download records; replaced by tests.
  void setLoadManager(std::unique_ptr<load::LoadManager> manager);

  // The chassis' requests on common cells (icscoid::isCommon). op is
  // icscwire GET or SET; `resp` receives the OID, a status and the value.
  void serve(uint8_t op, const ICSCTlv& req, ICSCTlv& resp);
  // NEXT: the first common cell after `oid`, or the first of all when `oid`
  // is not a common cell. False after the last one.
  bool next(uint32_t oid, ICSCTlv& resp);

  // Every served object and instance with its labels and values, one line
  // each; the FTP password shows only whether it is set.
  void dump(std::ostream& os) const;

  const std::string& name() const { return m_name; }
  int cardType() const { return m_cardType; }
  ICardObjects* cardObjects() const { return m_card; }
  CGetLogEngine* logEngine() const { return m_logEngine; }

  // Log collection: runs the log engine on a thread of its own so that
  // neither the main loop nor the console waits for it. The archive goes
  // into `directory` (absolute path). With `upload` the archive then goes
  // by FTP to the server of the log-transfer records, into their GETLOG
  // directory. False when there is no engine, one is already running or
  // the directory is refused; `refusal` then says which.
  bool startGetLog(const std::string& directory, bool upload = false,
                   std::string* refusal = nullptr);
  GetLogState getLogState() const;
  GetLogResult getLogResult() const;
  // Path of the archive of the last finished collection, empty before.
  std::string getLogArchive() const;
  // How long an upload may take (ftpupload::DEFAULT_LIMIT until set); for
  // the collections started after the call.
  void setGetLogUploadLimit(std::chrono::seconds limit);
  static const char* getLogStateName(uint32_t state);
  static const char* getLogResultText(uint32_t result);

 private:
  using Cell = commonrec::Value;
  struct Object {
    const CommonDescriptorArray* array = nullptr;
    std::vector<std::vector<Cell>> instances;  // [instance][record]
  };
  // The records that act on something or check more than their descriptor.
  enum class Hook {
    NONE,
    REBOOT,
    UTC_TIME,
    BP_CLK_REF,
    FTP_SERVER,
    FTP_PORT,
    FTP_TEXT,  // user and password: no control characters
    FTP_PASSWORD,
    GETLOG_DIRECTORY,
    DLD_FILENAME,
    DLD_START,
    DLD_STOP,
    DLD_COMMIT,
    DLD_ACCEPT,
    DLD_CLEAR_ERRORS,
    DLD_COMMIT_TIMER,
  };

  Cell* cell(unsigned object, unsigned instance, unsigned record);
  void setNum(unsigned object, unsigned instance, unsigned record, int64_t v);
  void setStr(unsigned object, unsigned instance, unsigned record, const std::string& v);
  int64_t num(unsigned object, unsigned instance, unsigned record) const;
  std::string str(unsigned object, unsigned instance, unsigned record) const;
  bool registered(unsigned object, unsigned instance, unsigned nameRecord) const;
  // A cell as the chassis reads it (password masked, time advanced); the
  // caller holds m_mutex.
  Cell cellValue(unsigned object, unsigned instance, const CommonPropertyDescriptor& rec) const;
  bool addError(unsigned object, unsigned index, unsigned code, const std::string& name);
  bool setError(unsigned object, unsigned index, bool active);
  void refreshAlarmSummary();
  static Hook hookOf(unsigned object, unsigned record);
  void readCell(unsigned object, unsigned instance, const CommonPropertyDescriptor& rec,
                ICSCTlv& resp);
  uint8_t writeCell(unsigned object, unsigned instance, const CommonPropertyDescriptor& rec,
                    const ICSCTlv& req);
  uint8_t act(Hook hook, const ICSCTlv& req);
  void setGetLog(GetLogState state, GetLogResult result);
  GetLogResult uploadArchive(const std::string& archive);
  // The log-transfer records as an FTP target (directory: the GETLOG
  // directory); the caller holds m_mutex.
  ftpupload::Target ftpTarget() const;
  void initLoad();
  uint8_t actOnLoad(Hook hook, const ICSCTlv& req);
  // The download's view into the cells.
  void refreshLoad();

  const std::string m_name;
  const int m_cardType;
  ICardObjects* const m_card;
  CGetLogEngine* const m_logEngine;
  mutable std::mutex m_mutex;
  std::vector<Object> m_objects;  // index = common object number
  std::vector<bool> m_tempSeen;   // a temperature arrived: min and max hold
  // "UtcTime" as written, and when: it reads back advancing with the card's
  // monotonic clock, the host's clock is never set.
  bool m_utcSet = false;
  std::chrono::steady_clock::time_point m_utcWrittenAt;

  class GetLogDebug;
  void initGetLog();
  mutable std::mutex m_getLogMutex;
  std::string m_getLogArchive;
  std::thread m_getLogThread;
  bool m_getLogBusy = false;
  std::chrono::seconds m_getLogUploadLimit{0};  // set by initGetLog
  // Written when the controller goes: a running upload is killed, not waited for.
  int m_getLogStop[2] = {-1, -1};
  GetLogDebug* m_getLogDebug = nullptr;  // owned; defined with the log collection

  std::mutex m_loadMutex;  // before m_mutex when both are taken
  std::unique_ptr<load::LoadManager> m_load;
};
