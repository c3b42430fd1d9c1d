// The controller's clock: a thread that posts the tick message 27 to
// "/queueToMain" once per period. It has its own watchdog client so a stuck
// tick thread is noticed on its own. The owner calls stop() before
// destroying it.
#pragma once

#include <atomic>
#include <cstdint>

#include "thread/ThreadClass.h"

class watchdogMonitor;

class CTimestamper : public ThreadClass {
 public:
  explicit CTimestamper(unsigned periodMs);
  ~CTimestamper() override;

  bool start();
  bool stop();
  int run() override;

  uint32_t tickCount() const { return m_tickCount.load(); }

 private:
  std::atomic<bool> m_running;
  watchdogMonitor* m_wdmon;
  std::atomic<uint32_t> m_tickCount;
  uint32_t m_periodMs;
};
