// Whether this process can start threads at all. Some qemu-user builds
// crash in pthread_create for armhf guests; tests that need threads skip
// there instead of failing on the emulator.
#pragma once

namespace testsupport {
bool threadsWork();
}
