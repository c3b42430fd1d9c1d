#include "load/LoadManager.h"

#include "icsc/IcscWire.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

namespace load {

namespace {

using Transfer = ftpupload::Result;
// A reboot the board does not take is asked for again, this many ticks apart.
constexpr unsigned kRebootRetryTicks = 10;

// A file on the FTP server, relative to the login's home.
bool remoteFile(const std::string& s) {
  return !s.empty() && s.back() != '/' && ftpupload::plainRemotePath(s);
}

LoadManager::Result resultOf(Transfer r) {
  switch (r) {
    case Transfer::OK:
      return LoadManager::RESULT_OK;
    case Transfer::CONNECT_FAILED:
      return LoadManager::RESULT_CONNECT_FAILED;
    case Transfer::LOGIN_REFUSED:
      return LoadManager::RESULT_LOGIN_REFUSED;
    case Transfer::UPLOAD_REFUSED:
    case Transfer::NOT_FOUND:
      return LoadManager::RESULT_NOT_FOUND;
    case Transfer::TIMEOUT:
      return LoadManager::RESULT_TIMEOUT;
    case Transfer::BAD_BUNDLE:
      return LoadManager::RESULT_BAD_BUNDLE;
    case Transfer::WRONG_LOAD:
      return LoadManager::RESULT_WRONG_LOAD;
    case Transfer::NO_SPACE:
      return LoadManager::RESULT_NO_SPACE;
    case Transfer::TLS_FAILED:
      return LoadManager::RESULT_TLS_FAILED;
    case Transfer::FAILED:
      break;
  }
  return LoadManager::RESULT_TRANSFER_FAILED;
}

std::string& stampedVersion() {
  static std::string version = "unknown";
  return version;
}

}  // namespace

void setBuildVersion(const std::string& version) {
  stampedVersion() = version;
}

const std::string& buildVersion() {
  return stampedVersion();
}

LoadManager::LoadManager(Config config)
    : m_config(std::move(config)),
      m_store(m_config.root),
      m_running(m_config.running ? *m_config.running : m_store.runningSlot()) {
  if (m_running != 0) {
    m_view.runningSlot = std::string(1, m_running);
    std::string why;
    std::optional<SlotRecord> r = m_store.read(&why);
    if (!r) {
      LOG_ERROR("load: no usable state record (%s); the next download writes a new one",
                why.c_str());
    } else if (r->trialSlot == m_running) {
      m_view.state = TRIAL;
      uint32_t timer = r->commitTimer != 0 ? r->commitTimer : DEFAULT_COMMIT_TIMER;
      m_view.trialSecondsLeft = timer;
      LOG_WARNING("load: running slot %c on trial; it is rolled back unless accepted within %u s",
                  m_running, timer);
    } else if (r->outcome == OUTCOME_ROLLED_BACK) {
      m_view.state = ROLLED_BACK;
      m_view.result = RESULT_ROLLED_BACK;
      m_view.reason = r->reason;
      LOG_ERROR("load: the last trial was rolled back: %s", r->reason.c_str());
    }
  }
  readVersions();
}

LoadManager::~LoadManager() {
  if (m_config.fetcher && (m_view.state == DOWNLOADING || m_view.state == VERIFYING))
    m_config.fetcher->stop();
}

const char* LoadManager::stateName(uint32_t state) {
  static const char* const kNames[] = {"IDLE",   "DOWNLOADING", "VERIFYING", "READY",
                                       "FAILED", "COMMITTING",  "TRIAL",     "ROLLED_BACK"};
  return state < sizeof kNames / sizeof kNames[0] ? kNames[state] : "UNKNOWN";
}

const char* LoadManager::resultText(uint32_t result) {
  static const char* const kTexts[] = {"none",
                                       "ok",
                                       "no FTP server set",
                                       "cannot connect to the FTP server",
                                       "the FTP server refused the login",
                                       "the FTP server has no such file",
                                       "the transfer stalled or timed out",
                                       "the transfer failed",
                                       "the bundle is refused",
                                       "the load is not for this card",
                                       "no room on the flash",
                                       "stopped by the chassis",
                                       "the trial load was rolled back",
                                       "the flash could not be written"};
  return result < sizeof kTexts / sizeof kTexts[0] ? kTexts[result] : "unknown";
}

LoadManager::View LoadManager::view() const {
  return m_view;
}

void LoadManager::readVersions() {
  auto versionOf = [this](char slot) {
    std::optional<Manifest> m = m_store.manifest(slot);
    return m ? m->version : std::string();
  };
  m_view.loadware = m_running != 0 ? versionOf(m_running) : m_config.buildVersion;
  m_view.backup.clear();
  m_view.boot.clear();
  if (m_running == 0)
    return;
  std::optional<SlotRecord> r = m_store.read();
  if (!r)
    return;
  char other = otherSlot(m_running);
  if (r->isValid(other))
    m_view.backup = versionOf(other);
  if (r->isValid(r->defaultSlot))
    m_view.boot = versionOf(r->defaultSlot);
}

SlotRecord LoadManager::currentRecord() {
  std::optional<SlotRecord> r = m_store.read();
  if (r)
    return *r;
  // None that checks out: the running load is the one known to work.
  SlotRecord fresh;
  fresh.defaultSlot = m_running;
  fresh.setValid(m_running, true);
  return fresh;
}

bool LoadManager::saveRecord(const SlotRecord& r, const char* what) {
  std::string why;
  if (m_store.write(r, &why))
    return true;
  LOG_ERROR("load: %s: the state record cannot be written: %s", what, why.c_str());
  fail(RESULT_FLASH_FAILED, "the state record cannot be written: " + why);
  return false;
}

void LoadManager::fail(Result result, const std::string& reason) {
  m_view.state = FAILED;
  m_view.result = result;
  m_view.reason = reason.substr(0, MAX_REASON);
  LOG_ERROR("load: download failed (%s): %s", resultText(result), reason.c_str());
}

uint8_t LoadManager::setFilename(const std::string& path) {
  if (!path.empty() && !remoteFile(path)) {
    LOG_WARNING_LIMITED(
        "load: file name refused (a path on the server of letters, digits, "
        "_ - . / without '..', at most %zu characters)",
        ftpupload::MAX_REMOTE_PATH);
    return icscwire::BAD_VALUE;
  }
  m_filename = path;
  return icscwire::OK;
}

uint8_t LoadManager::setCommitTimer(uint32_t seconds) {
  if (seconds > MAX_COMMIT_TIMER) {
    LOG_WARNING_LIMITED("load: commit timer %u s refused (0 = %u s, at most %u s)", seconds,
                        DEFAULT_COMMIT_TIMER, MAX_COMMIT_TIMER);
    return icscwire::BAD_VALUE;
  }
  m_view.commitTimer = seconds;
  return icscwire::OK;
}

uint8_t LoadManager::startDownload(const ftpupload::Target& server) {
  uint32_t s = m_view.state;
  if (s == DOWNLOADING || s == VERIFYING || s == COMMITTING || s == TRIAL) {
    LOG_WARNING_LIMITED("load: download not started: the card is in state %s%s", stateName(s),
                        s == TRIAL ? " (accept the trial load first)" : "");
    return icscwire::NOT_SERVED;
  }
  if (m_running == 0) {
    LOG_WARNING_LIMITED(
        "load: download not started: the card does not run from a load slot "
        "below %s",
        m_store.root().c_str());
    return icscwire::NOT_SERVED;
  }
  if (m_filename.empty() || !m_config.fetcher) {
    LOG_WARNING_LIMITED("load: download not started: no file name (Dld Filename) set");
    return icscwire::NOT_SERVED;
  }
  m_view.progress = 0;
  m_view.result = RESULT_NONE;
  m_view.reason.clear();
  if (server.host.empty()) {
    fail(RESULT_NO_SERVER, "no FTP server set (log transfer records)");
    return icscwire::OK;
  }
  m_target = otherSlot(m_running);
  SlotRecord r = currentRecord();
  r.setValid(m_target, false);
  r.outcome = OUTCOME_NONE;  // a new download supersedes how the last trial ended
  r.reason.clear();
  if (!saveRecord(r, "download"))
    return icscwire::OK;
  readVersions();
  ftpupload::Request req;
  req.op = ftpupload::Op::FETCH;
  req.target = server;
  size_t slash = m_filename.rfind('/');
  req.target.directory = slash == std::string::npos ? "" : m_filename.substr(0, slash);
  req.remoteName = slash == std::string::npos ? m_filename : m_filename.substr(slash + 1);
  req.localFile = m_store.slotDir(m_target);
  req.limitSeconds = static_cast<unsigned>(m_config.limit.count());
  req.stallSeconds = static_cast<unsigned>(m_config.stall.count());
  req.cardType = m_config.cardType;
  std::string why;
  if (!m_config.fetcher->start(req, why)) {
    fail(RESULT_TRANSFER_FAILED, why);
    return icscwire::OK;
  }
  m_password = server.password;
  m_view.state = DOWNLOADING;
  LOG_INFO("load: downloading %s into slot %c", ftp::url(req.target, req.remoteName).c_str(),
           m_target);
  return icscwire::OK;
}

uint8_t LoadManager::stopDownload() {
  if (m_view.state != DOWNLOADING && m_view.state != VERIFYING)
    return icscwire::OK;
  m_config.fetcher->stop();
  fail(RESULT_STOPPED, "stopped by the chassis (Dld Stop Download); slot " +
                           std::string(1, m_target) + " is left invalid");
  return icscwire::OK;
}

uint8_t LoadManager::clearErrors() {
  if (m_view.state == ROLLED_BACK) {
    SlotRecord r = currentRecord();
    r.outcome = OUTCOME_NONE;
    r.reason.clear();
    if (!saveRecord(r, "clear errors"))
      return icscwire::OK;
  } else if (m_view.state != FAILED) {
    return icscwire::OK;
  }
  m_view.state = IDLE;
  m_view.progress = 0;
  m_view.result = RESULT_NONE;
  m_view.reason.clear();
  return icscwire::OK;
}

uint8_t LoadManager::commit() {
  if (m_view.state != READY) {
    LOG_WARNING_LIMITED("load: commit refused: no verified load waits (state %s)",
                        stateName(m_view.state));
    return icscwire::NOT_SERVED;
  }
  SlotRecord r = currentRecord();
  if (!r.isValid(m_target)) {
    fail(RESULT_FLASH_FAILED, "slot " + std::string(1, m_target) + " is no longer valid");
    return icscwire::NOT_SERVED;
  }
  r.trialSlot = m_target;
  r.attempts = BOOT_ATTEMPTS;
  r.commitTimer = m_view.commitTimer != 0 ? m_view.commitTimer : DEFAULT_COMMIT_TIMER;
  r.outcome = OUTCOME_NONE;
  r.reason.clear();
  if (!saveRecord(r, "commit"))
    return icscwire::NOT_SERVED;
  m_view.state = COMMITTING;
  LOG_WARNING("load: slot %c committed for a trial of %u s; rebooting into it", m_target,
              r.commitTimer);
  requestReboot("commit");
  return icscwire::OK;
}

uint8_t LoadManager::accept(bool cardActive) {
  if (m_view.state != TRIAL) {
    std::optional<SlotRecord> r = m_store.read();
    if (m_running != 0 && r && r->trialSlot == 0 && r->defaultSlot == m_running)
      return icscwire::OK;  // already the default load
    LOG_WARNING_LIMITED("load: accept refused: no trial load runs (state %s)",
                        stateName(m_view.state));
    return icscwire::NOT_SERVED;
  }
  if (!cardActive) {
    LOG_WARNING_LIMITED("load: accept refused: the trial load has not reached ACTIVE");
    return icscwire::NOT_SERVED;
  }
  SlotRecord r = currentRecord();
  r.accept();
  if (!saveRecord(r, "accept"))
    return icscwire::NOT_SERVED;
  m_view.state = IDLE;
  m_view.trialSecondsLeft = 0;
  readVersions();
  LOG_WARNING("load: slot %c accepted; it is the default load now", m_running);
  return icscwire::OK;
}

void LoadManager::requestReboot(const char* why) {
  m_rebootPending = true;
  m_rebootTries = 0;
  if (m_config.reboot && m_config.reboot()) {
    m_rebootPending = false;
    return;
  }
  LOG_ERROR("load: %s: the board did not take the reboot request; asking again in %u s", why,
            kRebootRetryTicks);
}

void LoadManager::finishFetch(const Fetcher::Report& report) {
  std::string slot(1, m_target);
  m_password.clear();
  if (report.result != Transfer::OK) {
    fail(resultOf(report.result), report.reason + " (slot " + slot + " is left invalid)");
    return;
  }
  std::string why;
  std::optional<Manifest> m = m_store.manifest(m_target, &why);
  if (!m) {
    fail(RESULT_BAD_BUNDLE, "slot " + slot + " holds no readable manifest after the fetch: " + why);
    return;
  }
  SlotRecord r = currentRecord();
  r.setValid(m_target, true);
  if (!saveRecord(r, "download"))
    return;
  m_view.state = READY;
  m_view.progress = 100;
  m_view.result = RESULT_OK;
  readVersions();
  LOG_INFO("load: version %s is ready in slot %c; commit to boot it", m->version.c_str(), m_target);
}

void LoadManager::tick() {
  if (m_rebootPending && ++m_rebootTries % kRebootRetryTicks == 0 && m_config.reboot &&
      m_config.reboot())
    m_rebootPending = false;
  switch (m_view.state) {
    case DOWNLOADING:
    case VERIFYING: {
      Fetcher::Report rep = m_config.fetcher->poll();
      m_view.progress = rep.percent;
      if (rep.phase == ftpupload::Phase::VERIFY)
        m_view.state = VERIFYING;
      if (rep.ended)
        finishFetch(rep);
      break;
    }
    case TRIAL: {
      if (m_view.trialSecondsLeft > 0)
        --m_view.trialSecondsLeft;
      if (m_view.trialSecondsLeft > 0)
        break;
      SlotRecord r = currentRecord();
      uint32_t timer = r.commitTimer != 0 ? r.commitTimer : DEFAULT_COMMIT_TIMER;
      char back = r.defaultSlot;
      r.rollBack("the trial load in slot " + std::string(1, m_running) +
                 " was not accepted within " + std::to_string(timer) + " s; rolled back to slot " +
                 std::string(1, back));
      if (!saveRecord(r, "rollback"))
        break;
      m_view.state = ROLLED_BACK;
      m_view.result = RESULT_ROLLED_BACK;
      m_view.reason = r.reason;
      LOG_ERROR("load: %s", r.reason.c_str());
      requestReboot("rollback");
      break;
    }
    default:
      break;
  }
}

}  // namespace load
