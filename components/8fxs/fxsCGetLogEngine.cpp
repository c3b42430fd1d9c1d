#include "fxsCGetLogEngine.h"

#include "process/executeCommand.h"
#include "trace/TraceObject.h"
#include "velm/Velm_util.h"

namespace {

const char* const kVelmConfig = "/vocal/velm.cfg";
const char* const kVelmConfigCopy = "/flash/log/vocal.cfg";
const char* const kVocalLogDump = "nbcat /dev/vocallog > /flash/log/vocalcurrent.log";

}  // namespace

fxsCGetLogEngine::~fxsCGetLogEngine() = default;

int fxsCGetLogEngine::cardPrepareLog() {
  LOG_DEBUG1("cardgetlog called for 8fxs");
  // Its own engine access: this runs on the log engine's thread, apart from
  // the registry's.
  Velm_util velm;
  int rc = velm.commit();
  if (rc < 0)
    LOG_ERROR("could not commit vocal configuration, with error number %d \n", rc);
  else
    LOG_INFO("Successfully commited vocal configuration before get log ");

  // Made even when the source is missing: an empty copy tells the reader
  // that there was no configuration.
  copyFile(kVelmConfig, kVelmConfigCopy);

  int result = otn::executeCommand(kVocalLogDump, true, nullptr, nullptr, true);
  LOG_INFO("\"%s\"=%i", kVocalLogDump, result);
  return 1;
}
