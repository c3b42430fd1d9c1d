// Entry point of the card process "main". "--version" prints the build's
// version and ends; with no argument it runs the card.
#include <cstdio>
#include <cstring>

#include "BuildVersion.h"
#include "Ifc.h"
#include "debug/Odebug.h"
#include "load/LoadManager.h"
#include "trace/TraceObject.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts(FXS_BUILD_VERSION);
    return 0;
  }
  load::setBuildVersion(FXS_BUILD_VERSION);
  if (g_traceObject == nullptr)
    g_traceObject = new TraceObject("main", 6);
  auto* server = new Odebug::CdebugServer(Odebug::CdebugServer::kConsolePort);
  server->start();
  auto* ifc = new Ifc("main");
  ifc->run();
  bool failed = ifc->startFailed();
  delete ifc;
  server->stop();
  delete server;
  if (g_traceObject != nullptr) {
    delete g_traceObject;
    g_traceObject = nullptr;
  }
  // The card could not run at all: say so even when syslog goes nowhere. The
  // exit status stays 0 whatever happened, as the card's start scripts expect.
  if (failed)
    std::fprintf(stderr, "main: cannot create /queueToMain; see the CRITICAL log line above\n");
  return 0;
}
