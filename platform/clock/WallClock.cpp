#include "clock/WallClock.h"

namespace wallclock {

bool now(timeval& out) {
  return gettimeofday(&out, nullptr) == 0;
}

std::string localText(time_t seconds) {
  struct tm local {};
  char text[32];
  if (localtime_r(&seconds, &local) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0)
    return "";
  return text;
}

}  // namespace wallclock
