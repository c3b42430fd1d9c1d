// The one limit on repeated log lines. Every call site of the CRITICAL,
// ERROR, WARNING and INFO lines, of SWERR and of FXS_ASSERT has a token
// bucket of its own (trace/TraceObject.h puts it into the macros):
// RateLimit::kBurst lines at once, then RateLimit::kPerSecond lines a
// second for as long as it lasts.
// No ordinary operation reaches that, so every line the card owes is
// written; a flood from outside (wire, queues, console, peers) or a
// repeating fault adds at most the burst and kPerSecond lines a second per
// site. What is held back is counted and reported as one line
// "N similar messages suppressed" at most every RateLimit::kReportMs.
// DEBUG lines, written only once an engineer raised the trace level, have
// no limit.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace trace {

class RateLimit {
 public:
  static constexpr unsigned kBurst = 100;
  static constexpr unsigned kPerSecond = 10;
  static constexpr int64_t kReportMs = 10000;

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

  // Whether one more line may be written at `nowMs`. Writes the summary of
  // the lines held back first when it is due.
  bool admit(int64_t nowMs);
  // Writes the summary when it is due at `nowMs`.
  void flush(int64_t nowMs);
  void reset();

 private:
  friend void flushSuppressed(int64_t);
  friend void resetRateLimits();
  // Tokens are counted in thousandths: kPerSecond of them come back each
  // millisecond, so the refill is exact at any rate.
  static constexpr int64_t kToken = 1000;
  void enlist();
  uint64_t takeDueSummary(int64_t nowMs);
  void writeSummary(uint64_t suppressed);

  const Site m_site;
  std::mutex m_mutex;
  bool m_started = false;
  int64_t m_tokens = 0;
  int64_t m_lastMs = 0;
  uint64_t m_suppressed = 0;
  int64_t m_heldSinceMs = 0;  // the first held-back line not reported yet
  // Every limit that has been used, for flushSuppressed().
  std::atomic<bool> m_listed{false};
  RateLimit* m_next = nullptr;
};

// The limits' clock in milliseconds (monotonic). Tests put in their own.
int64_t monotonicMs();
using Clock = int64_t (*)();
void setClock(Clock clock);  // nullptr: the real one

// Writes the summaries that are due; cheap when nothing was held back. The
// main loop calls it after every message.
void flushSuppressed(int64_t nowMs = monotonicMs());
// Every limit starts afresh (tests).
void resetRateLimits();

}  // namespace trace

// Kept for the call sites that were limited before every line was: the same
// as LOG_ERROR, LOG_WARNING and LOG_INFO.
#define LOG_ERROR_LIMITED(...) LOG_ERROR(__VA_ARGS__)
#define LOG_WARNING_LIMITED(...) LOG_WARNING(__VA_ARGS__)
#define LOG_INFO_LIMITED(...) LOG_INFO(__VA_ARGS__)

// The macros that use the limit come with it.
#include "trace/TraceObject.h"
