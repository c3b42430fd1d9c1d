// Log collection of commonStatCtrl: the worker thread that runs the card's
// log engine and uploads the archive to the chassis' FTP server, and the
// console group "getlog" that starts a local collection and shows the
// state.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sstream>

#include "common/CGetLogEngine.h"
#include "common/FtpUpload.h"
#include "common/commonStatCtrl.h"
#include "debug/Odebug.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

namespace {

constexpr size_t kMaxDirectoryLength = 200;

// The directory reaches mkdir and tar's argument vector, never a shell;
// still only plain absolute paths are taken.
bool acceptableDirectory(const std::string& dir) {
  if (dir.empty() || dir[0] != '/' || dir.size() > kMaxDirectoryLength)
    return false;
  if (dir.find("..") != std::string::npos)
    return false;
  for (char c : dir) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '/' || c == '_' || c == '-' || c == '.';
    if (!ok)
      return false;
  }
  return true;
}

}  // namespace

class commonStatCtrl::GetLogDebug : public Odebug::Cdebugable {
 public:
  explicit GetLogDebug(commonStatCtrl* owner)
      : Odebug::Cdebugable("getlog"), m_start(this, owner), m_state(this, owner) {}

 private:
  class DbgStart : public Odebug::CdebugCommand {
   public:
    DbgStart(Odebug::Cdebugable* group, commonStatCtrl* owner)
        : Odebug::CdebugCommand(group, "start", 0, 1, owner) {}
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* ctx) override {
      auto* owner = static_cast<commonStatCtrl*>(ctx);
      std::string dir = argc > 0 ? argv[0] : CGetLogEngine::kDefaultOutputDirectory;
      std::string refusal;
      if (owner->startGetLog(dir, false, &refusal))
        os << "getlog started into " << dir << "\n";
      else
        os << "getlog not started: " << refusal << "\n";
    }
    void help(std::ostringstream& os) override {
      os << "start [directory]:\n"
         << "\tprepares the card's logs and packs them into directory/"
         << CGetLogEngine::kArchiveName << " (default " << CGetLogEngine::kDefaultOutputDirectory
         << ")\n";
    }
  };
  class DbgState : public Odebug::CdebugCommand {
   public:
    DbgState(Odebug::Cdebugable* group, commonStatCtrl* owner)
        : Odebug::CdebugCommand(group, "state", 0, 0, owner) {}
    void command(unsigned, char* const*, std::ostringstream& os, void* ctx) override {
      auto* owner = static_cast<commonStatCtrl*>(ctx);
      os << "state " << getLogStateName(owner->getLogState()) << "\n";
      os << "result " << getLogResultText(owner->getLogResult()) << "\n";
      std::string archive = owner->getLogArchive();
      if (!archive.empty())
        os << "archive " << archive << "\n";
    }
    void help(std::ostringstream& os) override {
      os << "state:\n"
         << "\tshows the log collection's state and the last archive\n";
    }
  };
  DbgStart m_start;
  DbgState m_state;
};

void commonStatCtrl::initGetLog() {
  m_getLogUploadLimit = ftpupload::DEFAULT_LIMIT;
  if (pipe2(m_getLogStop, O_CLOEXEC) < 0)
    LOG_ERROR("getlog: no stop pipe (%s); a stop waits for a running upload", std::strerror(errno));
  m_getLogDebug = new GetLogDebug(this);
}

void commonStatCtrl::setGetLogUploadLimit(std::chrono::seconds limit) {
  std::lock_guard<std::mutex> lock(m_getLogMutex);
  m_getLogUploadLimit = limit;
}

commonStatCtrl::~commonStatCtrl() {
  // No new collection can start once the console group is gone; a running
  // one is waited for, as the engine belongs to the controller, but its
  // upload is cut short.
  delete m_getLogDebug;
  m_getLogDebug = nullptr;
  if (m_getLogStop[1] >= 0) {
    char stop = 1;
    while (write(m_getLogStop[1], &stop, 1) < 0 && errno == EINTR) {
    }
  }
  if (m_getLogThread.joinable())
    m_getLogThread.join();
  for (int& fd : m_getLogStop) {
    if (fd >= 0)
      close(fd);
    fd = -1;
  }
  delete m_logEngine;
}

const char* commonStatCtrl::getLogStateName(uint32_t state) {
  switch (state) {
    case GETLOG_IDLE:
      return "IDLE";
    case GETLOG_BUSY:
      return "BUSY";
    case GETLOG_DONE:
      return "DONE";
    case GETLOG_FAILED:
      return "FAILED";
    case GETLOG_UPLOADING:
      return "UPLOADING";
  }
  return "UNKNOWN";
}

const char* commonStatCtrl::getLogResultText(uint32_t result) {
  switch (result) {
    case GETLOG_RESULT_NONE:
      return "none";
    case GETLOG_RESULT_OK:
      return "ok";
    case GETLOG_RESULT_PACK_FAILED:
      return "the card could not pack its logs";
    case GETLOG_RESULT_NO_SERVER:
      return "no FTP server set";
    case GETLOG_RESULT_CONNECT_FAILED:
      return "cannot connect to the FTP server";
    case GETLOG_RESULT_LOGIN_REFUSED:
      return "the FTP server refused the login";
    case GETLOG_RESULT_UPLOAD_REFUSED:
      return "the FTP server refused the upload";
    case GETLOG_RESULT_TIMEOUT:
      return "the transfer timed out";
    case GETLOG_RESULT_TRANSFER_FAILED:
      return "the transfer failed";
    case GETLOG_RESULT_SENT_ENCRYPTED:
      return "ok, sent encrypted (TLS)";
    case GETLOG_RESULT_SENT_IN_CLEAR:
      return "ok, sent in clear (the FTP server offers no TLS)";
    case GETLOG_RESULT_TLS_FAILED:
      return "the FTP server's TLS certificate was not accepted";
  }
  return "unknown";
}

void commonStatCtrl::setGetLog(GetLogState state, GetLogResult result) {
  std::lock_guard<std::mutex> lock(m_mutex);
  setNum(CO_LOG_TRANSFER, 0, commonrec::LOG_STATE, state);
  setNum(CO_LOG_TRANSFER, 0, commonrec::LOG_RESULT, result);
}

bool commonStatCtrl::startGetLog(const std::string& directory, bool upload, std::string* refusal) {
  std::lock_guard<std::mutex> lock(m_getLogMutex);
  std::string why;
  if (m_logEngine == nullptr)
    why = "no log engine on this card";
  else if (!acceptableDirectory(directory))
    why = "directory " + directory +
          " refused (an absolute path of letters, digits, _ - . and /, without ..)";
  else if (m_getLogBusy)
    why = "a collection is already running";
  if (!why.empty()) {
    LOG_WARNING("getlog not started: %s", why.c_str());
    if (refusal != nullptr)
      *refusal = why;
    return false;
  }
  if (m_getLogThread.joinable())
    m_getLogThread.join();  // the previous run has finished
  m_getLogBusy = true;
  m_getLogArchive.clear();
  setGetLog(GETLOG_BUSY, GETLOG_RESULT_NONE);
  LOG_INFO("getlog: collecting the card's logs into %s", directory.c_str());
  m_getLogThread = std::thread([this, directory, upload] {
    m_logEngine->setOutputDirectory(directory);
    bool packed = m_logEngine->run() == 1;
    std::string archive = m_logEngine->archivePath();
    if (packed) {
      std::lock_guard<std::mutex> done(m_getLogMutex);
      m_getLogArchive = archive;
    }
    GetLogResult result = !packed  ? GETLOG_RESULT_PACK_FAILED
                          : upload ? uploadArchive(archive)
                                   : GETLOG_RESULT_OK;
    bool done = result == GETLOG_RESULT_OK || result == GETLOG_RESULT_SENT_ENCRYPTED ||
                result == GETLOG_RESULT_SENT_IN_CLEAR;
    setGetLog(done ? GETLOG_DONE : GETLOG_FAILED, result);
    std::lock_guard<std::mutex> idle(m_getLogMutex);
    m_getLogBusy = false;
  });
  return true;
}

commonStatCtrl::GetLogResult commonStatCtrl::uploadArchive(const std::string& archive) {
  ftpupload::Target target;
  unsigned slot = 0;
  std::chrono::seconds limit;
  {
    std::lock_guard<std::mutex> lock(m_getLogMutex);
    limit = m_getLogUploadLimit;
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    target.host = str(CO_LOG_TRANSFER, 0, commonrec::LOG_SERVER);
    int64_t port = num(CO_LOG_TRANSFER, 0, commonrec::LOG_PORT);
    target.port = port == 0 ? 21 : static_cast<unsigned>(port);
    target.user = str(CO_LOG_TRANSFER, 0, commonrec::LOG_USER);
    target.password = str(CO_LOG_TRANSFER, 0, commonrec::LOG_PASSWORD);
    target.directory = str(CO_LOG_TRANSFER, 0, commonrec::LOG_DIRECTORY);
    slot = static_cast<unsigned>(num(CO_CARD, 0, commonrec::CARD_SLOT));
  }
  if (target.host.empty()) {
    LOG_ERROR("getlog: no FTP server set; the archive stays on the card");
    return GETLOG_RESULT_NO_SERVER;
  }
  char stamp[32] = "unknown-time";
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (gmtime_r(&now, &tm) != nullptr)
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
  std::string remote = "card-logs-slot" + std::to_string(slot) + "-" + stamp + ".tar.gz";
  std::string where = ftp::url(target, remote);
  setGetLog(GETLOG_UPLOADING, GETLOG_RESULT_NONE);
  LOG_INFO("getlog: uploading the archive to %s", where.c_str());
  std::string reason;
  bool encrypted = false;
  ftpupload::Result r =
      ftpupload::upload(target, archive, remote, limit, reason, encrypted, m_getLogStop[0]);
  if (r == ftpupload::Result::OK && encrypted) {
    LOG_INFO("getlog: archive uploaded to %s, encrypted (TLS)", where.c_str());
    return GETLOG_RESULT_SENT_ENCRYPTED;
  }
  if (r == ftpupload::Result::OK) {
    LOG_WARNING("getlog: archive uploaded to %s in clear: the FTP server offers no TLS",
                where.c_str());
    return GETLOG_RESULT_SENT_IN_CLEAR;
  }
  LOG_ERROR("getlog: upload to %s failed: %s", where.c_str(), reason.c_str());
  switch (r) {
    case ftpupload::Result::CONNECT_FAILED:
      return GETLOG_RESULT_CONNECT_FAILED;
    case ftpupload::Result::LOGIN_REFUSED:
      return GETLOG_RESULT_LOGIN_REFUSED;
    case ftpupload::Result::UPLOAD_REFUSED:
      return GETLOG_RESULT_UPLOAD_REFUSED;
    case ftpupload::Result::TIMEOUT:
      return GETLOG_RESULT_TIMEOUT;
    case ftpupload::Result::TLS_FAILED:
      return GETLOG_RESULT_TLS_FAILED;
    default:
      return GETLOG_RESULT_TRANSFER_FAILED;
  }
}

commonStatCtrl::GetLogState commonStatCtrl::getLogState() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<GetLogState>(num(CO_LOG_TRANSFER, 0, commonrec::LOG_STATE));
}

commonStatCtrl::GetLogResult commonStatCtrl::getLogResult() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<GetLogResult>(num(CO_LOG_TRANSFER, 0, commonrec::LOG_RESULT));
}

std::string commonStatCtrl::getLogArchive() const {
  std::lock_guard<std::mutex> lock(m_getLogMutex);
  return m_getLogArchive;
}
