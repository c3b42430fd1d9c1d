#include "debug/TraceDebug.h"

#include <cerrno>
#include <cstdlib>

#include "trace/TraceObject.h"

namespace Odebug {

namespace {
constexpr long kMaxTraceLevel = 10;
}

TraceDebug::TraceDebug() : Cdebugable("trace"), m_level(this) {}

TraceDebug::DbgLevel::DbgLevel(Cdebugable* group) : CdebugCommand(group, "level", 0, 1, nullptr) {}

void TraceDebug::DbgLevel::command(unsigned argc, char* const* argv, std::ostringstream& os,
                                   void*) {
  TraceObject* t = g_traceObject;
  if (t == nullptr) {
    os << "no trace object\n";
    return;
  }
  if (argc == 1) {
    char* end = nullptr;
    errno = 0;
    long level = std::strtol(argv[0], &end, 0);
    if (errno != 0 || end == argv[0] || *end != '\0' || level < 0 || level > kMaxTraceLevel) {
      os << "invalid level '" << argv[0] << "': 0.." << kMaxTraceLevel << "\n";
      return;
    }
    int old = t->level();
    t->setLevel(static_cast<int>(level));
    os << "trace level " << old << " -> " << level << "\n";
    return;
  }
  os << "trace level " << t->level() << "\n";
}

void TraceDebug::DbgLevel::help(std::ostringstream& os) {
  os << "level [N]:\n\tshows the trace level, or sets it to N (0.." << kMaxTraceLevel
     << "; 6 writes INFO and above, 9 everything)\n";
}

}  // namespace Odebug
