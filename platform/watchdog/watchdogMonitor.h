// Watchdog client. A started client must be notified at least once per
// timeout; on the bench a process-wide checker thread reports every missed
// deadline loudly (a SWERR pair, whatever the trace level) and the recovery
// when notifications resume. There is no hardware watchdog to reset the
// card, so a miss is only reported.
#pragma once

#include <chrono>
#include <string>

class watchdogMonitor {
 public:
  explicit watchdogMonitor(const char* name);
  ~watchdogMonitor();
  watchdogMonitor(const watchdogMonitor&) = delete;
  watchdogMonitor& operator=(const watchdogMonitor&) = delete;

  // (Re)starts supervision: a notification is due within timeoutMs.
  bool wdm_start(unsigned timeoutMs);
  bool wdm_notify(int flags);
  bool wdm_stop();
  // Writes a NUL-terminated status text of at most size - 1 characters;
  // returns the number of characters written.
  int wdm_dbg(char* buf, unsigned size) const;

  const std::string& name() const { return m_name; }
  bool running() const;
  unsigned long missedDeadlines() const;

 private:
  friend struct WatchdogRegistry;
  using Clock = std::chrono::steady_clock;

  std::string m_name;
  // Guarded by the registry's mutex.
  bool m_running = false;
  bool m_overdue = false;
  unsigned m_timeoutMs = 0;
  Clock::time_point m_lastNotify{};
  unsigned long m_notifications = 0;
  unsigned long m_missed = 0;
};

namespace watchdog {

// One pass of the checker: reports the clients whose deadline passed before
// `now` and were not yet reported. Returns how many were newly reported.
unsigned checkDeadlines(std::chrono::steady_clock::time_point now);

}  // namespace watchdog
