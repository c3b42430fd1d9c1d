// Log lines caused by outside input (wire, queues, console, peers) go
// through a limit of their own call site: at most RateLimit::kBurst lines
// per RateLimit::kWindowMs; what is held back is counted and reported as one
// line "N similar messages suppressed" once that window is over, so that no
// peer can fill the card's flash with log lines.
//
//   LOG_WARNING_LIMITED("ICSC request %u from %s rejected: %s", id, ip, why);
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "trace/TraceObject.h"

namespace trace {

class RateLimit {
 public:
  static constexpr unsigned kBurst = 5;
  static constexpr int64_t kWindowMs = 5000;

  // The call site, for the summary line.
  struct Site {
    int threshold;
    int priority;
    const char* tag;
    const char* file;
    int line;
    const char* func;
  };

  constexpr explicit RateLimit(const Site& site) : m_site(site) {}
  ~RateLimit();
  RateLimit(const RateLimit&) = delete;
  RateLimit& operator=(const RateLimit&) = delete;

  // Whether one more line may be written at `nowMs`. A new window first
  // writes the summary of the one before when it held lines back.
  bool admit(int64_t nowMs);
  // Writes the summary when the window is over at `nowMs` and held lines back.
  void flush(int64_t nowMs);
  void reset();

 private:
  friend void flushSuppressed(int64_t);
  friend void resetRateLimits();
  void enlist();
  void writeSummary(uint64_t suppressed);

  const Site m_site;
  std::mutex m_mutex;
  bool m_started = false;
  int64_t m_windowStart = 0;
  unsigned m_written = 0;
  uint64_t m_suppressed = 0;
  // Every limit that has been used, for flushSuppressed().
  std::atomic<bool> m_listed{false};
  RateLimit* m_next = nullptr;
};

int64_t monotonicMs();
// Writes the summaries of all windows that are over; cheap when none is.
// The main loop calls it after every message.
void flushSuppressed(int64_t nowMs = monotonicMs());
// Every limit starts afresh (tests).
void resetRateLimits();

}  // namespace trace

#define FXS_LOG_LIMITED_(thr, prio, tag, ...)                                         \
  do {                                                                                \
    if (::trace::enabled(thr)) {                                                      \
      static ::trace::RateLimit fxsLimit_(                                            \
          {thr, prio, tag, ::trace::baseName(__FILE__), __LINE__, __func__});         \
      if (fxsLimit_.admit(::trace::monotonicMs()))                                    \
        ::trace::log(thr, prio, tag, ::trace::baseName(__FILE__), __LINE__, __func__, \
                     __VA_ARGS__);                                                    \
    }                                                                                 \
  } while (0)

#define LOG_ERROR_LIMITED(...) FXS_LOG_LIMITED_(::trace::ERROR_ABOVE, 3, "ERROR", __VA_ARGS__)
#define LOG_WARNING_LIMITED(...) FXS_LOG_LIMITED_(::trace::WARNING_ABOVE, 4, "WARNING", __VA_ARGS__)
#define LOG_INFO_LIMITED(...) FXS_LOG_LIMITED_(::trace::INFO_ABOVE, 6, "INFO", __VA_ARGS__)
