#include "trace/LogLimit.h"

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace trace {

namespace {

struct Registry {
  std::mutex mutex;
  RateLimit* head = nullptr;
};

Registry& registry() {
  // Never destroyed: limits live in function statics of every module.
  static Registry* r = new Registry;
  return *r;
}

// Set while some limit holds lines back; spares the main loop the walk.
std::atomic<bool> s_pending{false};
std::atomic<Clock> s_clock{nullptr};

}  // namespace

int64_t monotonicMs() {
  if (Clock clock = s_clock.load(std::memory_order_relaxed))
    return clock();
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void setClock(Clock clock) {
  s_clock.store(clock, std::memory_order_relaxed);
}

RateLimit::~RateLimit() {
  if (!m_listed.load(std::memory_order_acquire))
    return;
  std::lock_guard<std::mutex> lock(registry().mutex);
  for (RateLimit** p = &registry().head; *p != nullptr; p = &(*p)->m_next) {
    if (*p == this) {
      *p = m_next;
      break;
    }
  }
}

void RateLimit::enlist() {
  if (m_listed.load(std::memory_order_acquire))
    return;
  std::lock_guard<std::mutex> lock(registry().mutex);
  if (m_listed.load(std::memory_order_relaxed))
    return;
  m_next = registry().head;
  registry().head = this;
  m_listed.store(true, std::memory_order_release);
}

uint64_t RateLimit::takeDueSummary(int64_t nowMs) {
  if (m_suppressed == 0 || nowMs - m_heldSinceMs < kReportMs)
    return 0;
  uint64_t n = m_suppressed;
  m_suppressed = 0;
  return n;
}

bool RateLimit::admit(int64_t nowMs) {
  enlist();
  uint64_t summary = 0;
  bool admitted;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int64_t full = int64_t{kBurst} * kToken;
    if (!m_started) {
      m_tokens = full;
      m_started = true;
    } else if (nowMs > m_lastMs) {
      m_tokens = std::min(full, m_tokens + (nowMs - m_lastMs) * int64_t{kPerSecond});
    }
    m_lastMs = std::max(m_lastMs, nowMs);
    summary = takeDueSummary(nowMs);
    admitted = m_tokens >= kToken;
    if (admitted) {
      m_tokens -= kToken;
    } else {
      if (m_suppressed++ == 0)
        m_heldSinceMs = nowMs;
      s_pending.store(true, std::memory_order_relaxed);
    }
  }
  if (summary != 0)
    writeSummary(summary);
  return admitted;
}

void RateLimit::flush(int64_t nowMs) {
  uint64_t summary = 0;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    summary = takeDueSummary(nowMs);
  }
  if (summary != 0)
    writeSummary(summary);
}

void RateLimit::reset() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_started = false;
  m_tokens = 0;
  m_lastMs = 0;
  m_suppressed = 0;
}

void RateLimit::writeSummary(uint64_t suppressed) {
  if (m_site.threshold >= 0 && !enabled(m_site.threshold))
    return;
  char prefix[256];
  std::snprintf(prefix, sizeof prefix, "[%s] %s:%d (%s) - ", m_site.tag, m_site.file, m_site.line,
                m_site.func);
  writeLine(m_site.priority, prefix + std::to_string(suppressed) + " similar messages suppressed");
}

void flushSuppressed(int64_t nowMs) {
  if (!s_pending.exchange(false, std::memory_order_relaxed))
    return;
  bool stillPending = false;
  std::lock_guard<std::mutex> lock(registry().mutex);
  for (RateLimit* l = registry().head; l != nullptr; l = l->m_next) {
    l->flush(nowMs);
    std::lock_guard<std::mutex> inner(l->m_mutex);
    stillPending = stillPending || l->m_suppressed != 0;
  }
  if (stillPending)
    s_pending.store(true, std::memory_order_relaxed);
}

void resetRateLimits() {
  std::lock_guard<std::mutex> lock(registry().mutex);
  for (RateLimit* l = registry().head; l != nullptr; l = l->m_next)
    l->reset();
  s_pending.store(false, std::memory_order_relaxed);
}

}  // namespace trace
