// The download records of commonStatCtrl: the chassis' writes go to the
// software download (load/LoadManager.h), whose state the cells then show,
// with the versions of the card record and the result record.
#include <cstdlib>

#include "board/boardUtils.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscWire.h"
#include "load/LoadManager.h"
#include "trace/TraceObject.h"

using namespace commonrec;

namespace {

// A bound on a stalled fetch other than the default (bench and tests).
std::chrono::seconds stallBound() {
  const char* env = std::getenv("FXS_LOAD_STALL_SECONDS");
  char* end = nullptr;
  long s = env != nullptr ? std::strtol(env, &end, 10) : 0;
  if (env == nullptr || *end != '\0' || s < 1 || s > 3600)
    return load::LoadManager::DEFAULT_STALL;
  return std::chrono::seconds(s);
}

}  // namespace

void commonStatCtrl::initLoad() {
  load::LoadManager::Config config;
  config.cardType = static_cast<unsigned>(m_cardType);
  config.buildVersion = load::buildVersion();
  config.stall = stallBound();
  config.fetcher = load::programFetcher();
  config.reboot = [] { return boardUtils().requestReboot(); };
  setLoadManager(std::make_unique<load::LoadManager>(std::move(config)));
}

void commonStatCtrl::setLoadManager(std::unique_ptr<load::LoadManager> manager) {
  std::lock_guard<std::mutex> lock(m_loadMutex);
  m_load = std::move(manager);
  refreshLoad();
}

void commonStatCtrl::tick() {
  std::lock_guard<std::mutex> lock(m_loadMutex);
  m_load->tick();
  refreshLoad();
}

uint8_t commonStatCtrl::actOnLoad(Hook hook, const ICSCTlv& req) {
  std::lock_guard<std::mutex> lock(m_loadMutex);
  bool on = req.num != 0;
  uint8_t status = icscwire::OK;
  switch (hook) {
    case Hook::DLD_FILENAME:
      status = m_load->setFilename(req.str);
      break;
    case Hook::DLD_COMMIT_TIMER:
      status = m_load->setCommitTimer(static_cast<uint32_t>(req.num));
      break;
    case Hook::DLD_START:
      if (on) {
        ftpupload::Target server;
        {
          std::lock_guard<std::mutex> cells(m_mutex);
          server = ftpTarget();
        }
        status = m_load->startDownload(server);
      }
      break;
    case Hook::DLD_STOP:
      if (on)
        status = m_load->stopDownload();
      break;
    case Hook::DLD_COMMIT:
      if (on)
        status = m_load->commit();
      break;
    case Hook::DLD_ACCEPT:
      if (on) {
        bool active = false;
        {
          std::lock_guard<std::mutex> cells(m_mutex);
          active = str(CO_CARD_STATE, 0, CARDSTATE_NAME) == "ACTIVE";
        }
        status = m_load->accept(active);
      }
      break;
    case Hook::DLD_CLEAR_ERRORS:
      if (on)
        status = m_load->clearErrors();
      break;
    default:
      break;
  }
  refreshLoad();
  return status;
}

void commonStatCtrl::refreshLoad() {
  load::LoadManager::View v = m_load->view();
  std::lock_guard<std::mutex> lock(m_mutex);
  setNum(CO_DOWNLOAD, 0, DLD_STATE, v.state);
  setNum(CO_DOWNLOAD, 0, DLD_PROGRESS, v.progress);
  setStr(CO_CARD, 0, CARD_LOADWARE, v.loadware);
  setStr(CO_CARD, 0, CARD_BACKUP_LOADWARE, v.backup);
  setStr(CO_CARD, 0, CARD_BOOT_VERSION, v.boot);
  setNum(CO_DOWNLOAD_RESULT, 0, DLDRES_RESULT, v.result);
  setStr(CO_DOWNLOAD_RESULT, 0, DLDRES_REASON, v.reason);
  setStr(CO_DOWNLOAD_RESULT, 0, DLDRES_RUNNING_SLOT, v.runningSlot);
  setNum(CO_DOWNLOAD_RESULT, 0, DLDRES_TRIAL_LEFT, v.trialSecondsLeft);
}
