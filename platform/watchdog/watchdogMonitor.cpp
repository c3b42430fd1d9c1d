#include "watchdog/watchdogMonitor.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "thread/ThreadClass.h"
#include "trace/TraceObject.h"

struct WatchdogRegistry {
  std::mutex mutex;
  std::vector<watchdogMonitor*> clients;
  bool checkerStarted = false;

  static WatchdogRegistry& get() {
    // Never destroyed: the detached checker may still run during exit.
    static WatchdogRegistry* r = new WatchdogRegistry;
    return *r;
  }

  void startCheckerLocked() {
    if (checkerStarted)
      return;
    checkerStarted = true;
    std::thread([] {
      blockStopSignal();
      for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        watchdog::checkDeadlines(std::chrono::steady_clock::now());
      }
    }).detach();
  }

  unsigned check(std::chrono::steady_clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex);
    unsigned newly = 0;
    for (watchdogMonitor* c : clients) {
      if (!c->m_running || c->m_overdue)
        continue;
      auto silent =
          std::chrono::duration_cast<std::chrono::milliseconds>(now - c->m_lastNotify).count();
      if (silent <= static_cast<long long>(c->m_timeoutMs))
        continue;
      c->m_overdue = true;
      ++c->m_missed;
      ++newly;
      SWERR("watchdog: %s missed its deadline: no notification for %lld ms (limit %u ms)\n",
            c->m_name.c_str(), static_cast<long long>(silent), c->m_timeoutMs);
    }
    return newly;
  }
};

namespace watchdog {

unsigned checkDeadlines(std::chrono::steady_clock::time_point now) {
  return WatchdogRegistry::get().check(now);
}

}  // namespace watchdog

watchdogMonitor::watchdogMonitor(const char* name) : m_name(name != nullptr ? name : "") {
  WatchdogRegistry& r = WatchdogRegistry::get();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.clients.push_back(this);
}

watchdogMonitor::~watchdogMonitor() {
  WatchdogRegistry& r = WatchdogRegistry::get();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.clients.erase(std::remove(r.clients.begin(), r.clients.end(), this), r.clients.end());
}

bool watchdogMonitor::wdm_start(unsigned timeoutMs) {
  if (timeoutMs == 0)
    return false;
  WatchdogRegistry& r = WatchdogRegistry::get();
  std::lock_guard<std::mutex> lock(r.mutex);
  m_running = true;
  m_overdue = false;
  m_timeoutMs = timeoutMs;
  m_lastNotify = Clock::now();
  r.startCheckerLocked();
  return true;
}

bool watchdogMonitor::wdm_notify(int /*flags*/) {
  WatchdogRegistry& r = WatchdogRegistry::get();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (!m_running)
    return false;
  Clock::time_point now = Clock::now();
  if (m_overdue) {
    m_overdue = false;
    LOG_WARNING(
        "watchdog: %s notified again after %lld ms", m_name.c_str(),
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastNotify).count()));
  }
  m_lastNotify = now;
  ++m_notifications;
  return true;
}

bool watchdogMonitor::wdm_stop() {
  WatchdogRegistry& r = WatchdogRegistry::get();
  std::lock_guard<std::mutex> lock(r.mutex);
  bool was = m_running;
  m_running = false;
  m_overdue = false;
  return was;
}

bool watchdogMonitor::running() const {
  std::lock_guard<std::mutex> lock(WatchdogRegistry::get().mutex);
  return m_running;
}

unsigned long watchdogMonitor::missedDeadlines() const {
  std::lock_guard<std::mutex> lock(WatchdogRegistry::get().mutex);
  return m_missed;
}

int watchdogMonitor::wdm_dbg(char* buf, unsigned size) const {
  if (buf == nullptr || size == 0)
    return 0;
  std::lock_guard<std::mutex> lock(WatchdogRegistry::get().mutex);
  int n;
  if (!m_running) {
    n = std::snprintf(buf, size,
                      "watchdogMonitor %s: stopped\n  notifications %lu, missed deadlines %lu",
                      m_name.c_str(), m_notifications, m_missed);
  } else {
    long long ago =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_lastNotify).count();
    n = std::snprintf(buf, size,
                      "watchdogMonitor %s: running, timeout %u ms%s\n  last notification %lld ms "
                      "ago, notifications %lu, missed deadlines %lu",
                      m_name.c_str(), m_timeoutMs, m_overdue ? ", OVERDUE" : "", ago,
                      m_notifications, m_missed);
  }
  if (n < 0)
    return 0;
  return std::min(n, static_cast<int>(size) - 1);
}
