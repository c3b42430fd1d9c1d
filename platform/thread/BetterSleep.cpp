#include "thread/BetterSleep.h"

#include <cerrno>
#include <cmath>
#include <ctime>

void BetterSleep(double seconds) {
  if (!(seconds > 0))
    return;
  timespec req{};
  req.tv_sec = static_cast<time_t>(seconds);
  req.tv_nsec = static_cast<long>(std::lround((seconds - static_cast<double>(req.tv_sec)) * 1e9));
  if (req.tv_nsec >= 1000000000L) {
    req.tv_sec += 1;
    req.tv_nsec -= 1000000000L;
  }
  timespec rem{};
  while (nanosleep(&req, &rem) != 0 && errno == EINTR)
    req = rem;
}
