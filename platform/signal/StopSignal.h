// SIGTERM for a process whose main loop waits on a POSIX message queue.
//
// The handler stays async-signal-safe: post() only sends a message that was
// prepared beforehand, without blocking, on a descriptor opened beforehand.
// When that send fails (the queue is full) it raises a flag instead, which
// the loop checks after every receive: the stop never depends on a free slot.
// A posted message is received in its turn, so none is left behind for the
// next start of the process.
#pragma once

#include <cstddef>

namespace stopsignal {

// Installs `handler` for `signo` (restarting interrupted calls); false when
// the kernel refused it.
bool install(int signo, void (*handler)(int));
// Opens `queueName` once more, non-blocking, for post(), which will send the
// first `len` bytes of `msg` (copied here). A stop requested before (the
// flag) stays requested: the loop checks requested() once armed.
bool arm(const char* queueName, const void* msg, size_t len);
// Ends the stop handling of one run: closes the descriptor and forgets the
// request that was acted on; a later post() only raises the flag.
void disarm();

// Async-signal-safe: the handler's whole work.
void post(int signo);
// True when a post could not be sent; the loop then stops by itself.
bool requested();
// The last signal posted, 0 when none.
int signalNumber();

}  // namespace stopsignal
