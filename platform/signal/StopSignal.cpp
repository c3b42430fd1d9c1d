#include "signal/StopSignal.h"

#include <fcntl.h>
#include <mqueue.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace stopsignal {

namespace {

constexpr size_t kMaxMsg = 2000;
constexpr mqd_t kClosed = static_cast<mqd_t>(-1);

// Written before the descriptor is published, read by the handler after it
// has loaded the descriptor.
char s_msg[kMaxMsg];
size_t s_len = 0;
std::atomic<mqd_t> s_queue{kClosed};
// Atomics, not just sig_atomic_t: a thread that has not yet blocked SIGTERM
// may run the handler, not only the main thread.
std::atomic<int> s_requested{0};
std::atomic<int> s_signo{0};

static_assert(std::atomic<mqd_t>::is_always_lock_free, "the handler needs lock-free atomics");
static_assert(std::atomic<int>::is_always_lock_free, "the handler needs lock-free atomics");

}  // namespace

bool install(int signo, void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  return sigaction(signo, &sa, nullptr) == 0;
}

namespace {

void closeQueue() {
  mqd_t q = s_queue.exchange(kClosed, std::memory_order_acq_rel);
  if (q != kClosed)
    mq_close(q);
}

}  // namespace

bool arm(const char* queueName, const void* msg, size_t len) {
  // A stop requested before arming (the flag) stays requested.
  closeQueue();
  if (len > kMaxMsg)
    return false;
  std::memcpy(s_msg, msg, len);
  s_len = len;
  mqd_t q = mq_open(queueName, O_WRONLY | O_NONBLOCK);
  if (q == kClosed)
    return false;
  s_queue.store(q, std::memory_order_release);
  return true;
}

void disarm() {
  closeQueue();
  s_requested = 0;
  s_signo = 0;
}

void post(int signo) {
  int savedErrno = errno;
  s_signo = signo;
  mqd_t q = s_queue.load(std::memory_order_acquire);
  if (q == kClosed || mq_send(q, s_msg, s_len, 0) != 0)
    s_requested = 1;
  errno = savedErrno;
}

bool requested() {
  return s_requested != 0;
}

int signalNumber() {
  return s_signo;
}

}  // namespace stopsignal
