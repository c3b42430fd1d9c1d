// The stand-ins' way to stop: SIGTERM and SIGINT raise a flag that the main
// loop checks after each wait. Calls they interrupt return EINTR (no
// restart), so a blocking wait ends too.
#pragma once

namespace simstop {

void onTermination();
bool requested();

}  // namespace simstop
