// An ICSC load generator against the card, for the fault tests.
#pragma once

#include <mqueue.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "CardWithPeers.h"
#include "ConsoleClient.h"
#include "TestSupport.h"
#include "icsc/IcscOid.h"

namespace faults {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testsupport::CardWithPeers;
using testsupport::Clock;
using testsupport::waitFor;

const uint32_t kMappedOid = icscoid::object(testsupport::kTimersObject, 3, 0);

// True when the built binaries run under an emulator (armhf build): timing
// figures mean nothing there.
inline bool emulated() {
  return !testsupport::execPrefix().empty();
}

// Messages waiting in the queue `q`, -1 when unknown.
inline long queued(mqd_t q) {
  mq_attr a{};
  return mq_getattr(q, &a) == 0 ? a.mq_curmsgs : -1;
}

// Threads that keep GETs of a velmora-mapped property going, one at a time
// per worker, until stopped or `limit` passes.
class Load {
 public:
  struct Stats {
    size_t ok = 0, refused = 0, unanswered = 0;
    Clock::duration slowest{};
  };
  explicit Load(unsigned workers = 2, Clock::duration limit = seconds(30))
      : m_end(Clock::now() + limit) {
    for (unsigned i = 0; i < workers; ++i)
      m_threads.emplace_back([this] { run(); });
  }
  ~Load() { stop(); }
  Stats stop() {
    m_stop = true;
    for (auto& t : m_threads)
      if (t.joinable())
        t.join();
    return snapshot();
  }
  Stats snapshot() {
    std::lock_guard<std::mutex> lk(m_mutex);
    return m_stats;
  }

 private:
  void run() {
    testsupport::IcscClient c;
    const ICSCTlv read = testsupport::cellOf(kMappedOid);
    // Bounded in count as well as in time.
    for (size_t i = 0; i < 1000000 && !m_stop && Clock::now() < m_end; ++i) {
      Clock::duration took = seconds(3);  // stays so without an answer
      uint8_t st = c.call(icscwire::GET, read, took, &took).status;
      std::lock_guard<std::mutex> lk(m_mutex);
      if (st == testsupport::kNoAnswer)
        ++m_stats.unanswered;
      else if (st == icscwire::OK)
        ++m_stats.ok;
      else
        ++m_stats.refused;
      if (took > m_stats.slowest)
        m_stats.slowest = took;
    }
  }

  std::atomic<bool> m_stop{false};
  Clock::time_point m_end;
  std::mutex m_mutex;
  Stats m_stats;
  std::vector<std::thread> m_threads;
};

}  // namespace faults
