#include "SimLog.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "trace/TraceObject.h"

namespace simlog {

void line(const char* fmt, ...) {
  char text[1024];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  // One write per line, so lines of several threads never interleave.
  std::fprintf(stderr, "%s %s\n", trace::utcStamp().c_str(), text);
}

}  // namespace simlog
