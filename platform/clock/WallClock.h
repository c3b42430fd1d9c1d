// The time of day as the card's records keep it (the error monitor's time
// stamps). Intervals use trace::monotonicMs() instead.
#pragma once

#include <sys/time.h>

#include <ctime>
#include <string>

namespace wallclock {

// The current time of day; false, with errno set, when the system cannot
// tell it.
bool now(timeval& out);
// `seconds` as local time "YYYY-MM-DD HH:MM:SS"; empty when it cannot be
// converted.
std::string localText(time_t seconds);

}  // namespace wallclock
