// Log lines of the stand-ins: on stderr (their bench log), each behind its
// UTC time as main's lines are.
#pragma once

namespace simlog {

void line(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace simlog
