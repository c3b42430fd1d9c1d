// Log collection of commonStatCtrl: the worker thread that runs the card's
// log engine and the console group "getlog" through which the chassis side
// (on the bench: ./dev bench collect-logs) starts it and follows it.
#include <cstring>
#include <sstream>

#include "common/CGetLogEngine.h"
#include "common/commonStatCtrl.h"
#include "debug/Odebug.h"
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
      if (owner->startGetLog(dir))
        os << "getlog started into " << dir << "\n";
      else
        os << "getlog not started (state " << getLogStateName(owner->getLogState()) << ")\n";
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
  m_getLogDebug = new GetLogDebug(this);
}

commonStatCtrl::~commonStatCtrl() {
  // No new collection can start once the console group is gone; a running
  // one is waited for, as the engine belongs to the controller.
  delete m_getLogDebug;
  m_getLogDebug = nullptr;
  if (m_getLogThread.joinable())
    m_getLogThread.join();
  delete m_logEngine;
}

const char* commonStatCtrl::getLogStateName(GetLogState state) {
  switch (state) {
    case GETLOG_IDLE:
      return "IDLE";
    case GETLOG_BUSY:
      return "BUSY";
    case GETLOG_DONE:
      return "DONE";
    case GETLOG_FAILED:
      return "FAILED";
  }
  return "UNKNOWN";
}

bool commonStatCtrl::startGetLog(const std::string& directory) {
  if (m_logEngine == nullptr) {
    LOG_WARNING("getlog: no log engine on this card; request ignored");
    return false;
  }
  if (!acceptableDirectory(directory)) {
    LOG_WARNING("getlog: directory refused (absolute path of letters, digits, _ - . / only)");
    return false;
  }
  std::lock_guard<std::mutex> lock(m_getLogMutex);
  if (m_getLogState == GETLOG_BUSY) {
    LOG_WARNING("getlog: a collection is already running; request ignored");
    return false;
  }
  if (m_getLogThread.joinable())
    m_getLogThread.join();  // the previous run has finished: it set DONE or FAILED
  m_getLogState = GETLOG_BUSY;
  m_getLogArchive.clear();
  LOG_INFO("getlog: collecting the card's logs into %s", directory.c_str());
  m_getLogThread = std::thread([this, directory] {
    m_logEngine->setOutputDirectory(directory);
    bool ok = m_logEngine->run() == 1;
    std::lock_guard<std::mutex> done(m_getLogMutex);
    m_getLogState = ok ? GETLOG_DONE : GETLOG_FAILED;
    if (ok)
      m_getLogArchive = m_logEngine->archivePath();
  });
  return true;
}

commonStatCtrl::GetLogState commonStatCtrl::getLogState() const {
  std::lock_guard<std::mutex> lock(m_getLogMutex);
  return m_getLogState;
}

std::string commonStatCtrl::getLogArchive() const {
  std::lock_guard<std::mutex> lock(m_getLogMutex);
  return m_getLogArchive;
}
