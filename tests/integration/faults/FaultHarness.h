// The card and its stand-ins as real processes inside the test's
// namespaces, an ICSC load generator and the console, for the fault tests.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ConsoleClient.h"
#include "icsc/ICSCTlv.h"

namespace faults {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int ICSC_PORT = 5000;
constexpr int CONSOLE_PORT = 10000;
// TimersScalar: velmora-mapped, so every read reaches the engine.
constexpr uint32_t TIMERS_OBJECT = 43;

// True when the built binaries run under an emulator (armhf build): timing
// figures mean nothing there.
bool emulated();

using Proc = testsupport::ChildProcess;
using testsupport::cardState;
using testsupport::waitFor;

// The card with the front end and the engine stand-in; the drivers only
// where a test asks for them.
struct Card {
  Proc velmora, udpfe, main;
  void startVelmora();
  // Starts the engine, main and the front end and waits until a GET of a
  // velmora-mapped property is served.
  ::testing::AssertionResult start();
};

class IcscClient {
 public:
  IcscClient();
  ~IcscClient();
  // One GET of `oid`; the answer's status, or -1 without an answer within
  // `timeout`. `took` receives the time to the answer.
  int get(uint32_t oid, Clock::duration timeout, Clock::duration* took = nullptr);

 private:
  int m_fd;
  uint32_t m_id;
};

// A thread that keeps GETs of a velmora-mapped property going, `outstanding`
// at a time per worker, until stopped or `limit` passes.
class Load {
 public:
  struct Stats {
    size_t ok = 0, refused = 0, unanswered = 0;
    Clock::duration slowest{};
  };
  explicit Load(unsigned workers = 2, Clock::duration limit = seconds(30));
  ~Load();
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

// One console exchange: the answer text up to `until` or the deadline.
inline std::string console(const std::string& line, const std::string& until,
                           Clock::duration limit = seconds(3)) {
  return testsupport::consoleExchange(line, until, limit, CONSOLE_PORT);
}

}  // namespace faults
