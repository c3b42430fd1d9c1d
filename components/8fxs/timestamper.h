// The controller's clock: a thread that posts the tick message 27 to
// "/queueToMain" once per period. It has its own watchdog client so a stuck
// tick thread is noticed on its own. The owner calls stop() before
// destroying it.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "thread/ThreadClass.h"
#include "tick/TickQueue.h"

class watchdogMonitor;

class CTimestamper : public ThreadClass {
 public:
  explicit CTimestamper(unsigned periodMs);
  // Posts through `queue` (not owned) instead of the real queue.
  CTimestamper(unsigned periodMs, TickQueue* queue);
  ~CTimestamper() override;

  bool start();
  bool stop();
  int run() override;

  uint32_t tickCount() const { return m_tickCount.load(); }

 private:
  pthread_t m_thread;
  std::atomic<bool> m_running;
  watchdogMonitor* m_wdmon;
  std::atomic<uint32_t> m_tickCount;
  uint32_t m_periodMs;
  std::unique_ptr<TickQueue> m_ownQueue;
  TickQueue* m_queue;
};
