// Entry point of the card process "main".
#include <cstdio>

#include "Ifc.h"
#include "debug/Odebug.h"
#include "trace/TraceObject.h"

int main() {
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
