#include "trace/LogLimit.h"

#include <time.h>

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

}  // namespace

int64_t monotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
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

bool RateLimit::admit(int64_t nowMs) {
  enlist();
  uint64_t summary = 0;
  bool admitted;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_started || nowMs - m_windowStart >= kWindowMs) {
      summary = m_suppressed;
      m_suppressed = 0;
      m_written = 0;
      m_windowStart = nowMs;
      m_started = true;
    }
    admitted = m_written < kBurst;
    if (admitted) {
      ++m_written;
    } else {
      ++m_suppressed;
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
    if (m_suppressed != 0 && nowMs - m_windowStart >= kWindowMs) {
      summary = m_suppressed;
      m_suppressed = 0;
    }
  }
  if (summary != 0)
    writeSummary(summary);
}

void RateLimit::reset() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_started = false;
  m_written = 0;
  m_suppressed = 0;
}

void RateLimit::writeSummary(uint64_t suppressed) {
  log(m_site.threshold, m_site.priority, m_site.tag, m_site.file, m_site.line, m_site.func,
      "%llu similar messages suppressed", static_cast<unsigned long long>(suppressed));
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
