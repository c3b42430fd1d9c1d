// An ICSC load generator against the card, for the fault tests.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "CardWithPeers.h"
#include "ConsoleClient.h"
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
bool emulated();

// Threads that keep GETs of a velmora-mapped property going, one at a time
// per worker, until stopped or `limit` passes.
class Load {
 public:
  struct Stats {
    size_t ok = 0, refused = 0, unanswered = 0;
    Clock::duration slowest{};
  };
  explicit Load(unsigned workers = 2, Clock::duration limit = seconds(30));
  ~Load() { stop(); }
  Stats stop();
  Stats snapshot();

 private:
  void run();
  std::atomic<bool> m_stop{false};
  Clock::time_point m_end;
  std::mutex m_mutex;
  Stats m_stats;
  std::vector<std::thread> m_threads;
};

}  // namespace faults
