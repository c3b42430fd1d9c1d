// Peers failing under the card: the engine dies and comes back under load,
// a peer floods the inbound queue, SIGTERM arrives under full load.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mqueue.h>
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "FaultHarness.h"

namespace faults {
namespace {

using testsupport::IcscClient;

uint8_t get(IcscClient& c, Clock::duration timeout, Clock::duration* took = nullptr) {
  return c.call(icscwire::GET, testsupport::cellOf(kMappedOid), timeout, took).status;
}

TEST(PeerFaults, EngineKilledAndRestartedUnderLoad) {
  if (emulated())
    GTEST_SKIP() << "answer times under an emulator say nothing about the card";
  CardWithPeers card;
  ASSERT_TRUE(card.start());
  Load load(2, seconds(30));
  ASSERT_TRUE(waitFor([&] { return load.snapshot().ok >= 50; }, seconds(10)));

  ASSERT_TRUE(card.velmora.kill());
  // While the engine is gone, reads are answered with an error, promptly.
  IcscClient probe;
  Clock::duration took{};
  bool refusedSeen =
      waitFor([&] { return get(probe, seconds(2), &took) == icscwire::NOT_SERVED; }, seconds(5));
  EXPECT_TRUE(refusedSeen) << "no error answer while the engine was down";
  EXPECT_LT(took, seconds(1)) << "the error answer took too long";
  Load::Stats down = load.snapshot();

  auto restarted = Clock::now();
  ASSERT_TRUE(card.velmora.start());
  auto left = seconds(10) - (Clock::now() - restarted);
  EXPECT_TRUE(waitFor([&] { return get(probe, milliseconds(500)) == icscwire::OK; }, left))
      << "the card did not serve again after the engine came back";
  size_t okBefore = load.snapshot().ok;
  EXPECT_TRUE(waitFor([&] { return load.snapshot().ok >= okBefore + 50; }, seconds(10)));
  Load::Stats end = load.stop();

  EXPECT_GT(end.refused, 0u) << "the load saw no error while the engine was down";
  EXPECT_GE(end.ok, down.ok + 50);
  EXPECT_EQ(end.unanswered, 0u) << "requests went unanswered (the card hung)";
  EXPECT_LT(end.slowest, seconds(2));
  EXPECT_TRUE(card.main.alive());
  EXPECT_EQ(card.main.log().find("SWERR"), std::string::npos) << "watchdog or error report";
}

// A paused engine costs one timeout: then engine-backed cells fail at once
// and what needs no engine is served at full speed, 30 clients reading
// mapped cells or not; once the engine answers again it serves again.
TEST(PeerFaults, StalledEngineStarvesNothingElse) {
  CardWithPeers card;
  ASSERT_TRUE(card.start());
  card.velmora.signal(SIGSTOP);
  IcscClient c;
  EXPECT_EQ(get(c, seconds(3)), icscwire::NOT_SERVED) << "the read that meets the stall";
  Load load(30, seconds(60));
  EXPECT_TRUE(waitFor([&] { return load.snapshot().refused >= 30; }, seconds(5)))
      << "mapped reads were not refused at once";
  // Under an emulator only the order of events counts, not the time.
  const auto bound = emulated() ? seconds(2) : milliseconds(100);
  // Long enough for the engine to be probed twice.
  Clock::duration slowest{};
  for (int i = 0; i < 25 && slowest < seconds(3); ++i) {
    Clock::duration took = seconds(3);
    testsupport::cardState(seconds(3), &took);
    slowest = std::max(slowest, took);
    std::this_thread::sleep_for(milliseconds(100));
  }
  const auto slowestMs = std::chrono::duration_cast<milliseconds>(slowest).count();
  EXPECT_LT(slowest, bound) << "a common object read took " << slowestMs << " ms (3000: none)";
  RecordProperty("common_read_slowest_ms", std::to_string(slowestMs));
  // Below the engine's 500 ms timeout: no refused read paid for a probe.
  const auto mappedMs = std::chrono::duration_cast<milliseconds>(load.snapshot().slowest).count();
  if (!emulated()) {
    EXPECT_LT(mappedMs, 400) << "a refused mapped read waited for the engine";
  }

  card.velmora.signal(SIGCONT);
  EXPECT_TRUE(waitFor([&] { return get(c, seconds(1)) == icscwire::OK; },
                      emulated() ? seconds(10) : seconds(2)))
      << "engine-backed reads not served after the engine resumed";
  Load::Stats s = load.stop();
  EXPECT_EQ(s.unanswered, 0u) << "requests went unanswered behind the stalled engine";
  std::string log = card.main.log();
  EXPECT_EQ(testsupport::countOf(log, "no reply within"), 1u) << log;
  EXPECT_EQ(testsupport::countOf(log, "answering again"), 1u) << log;
}

// 100 000 malformed datagrams, half too short to be answered, half with a
// wrong version (answered, so their arrival can be counted): the log grows
// by the burst and 10 lines a second of each of the three lines they cause,
// not by a line per datagram.
TEST(PeerFaults, MalformedFloodAddsOnlyAFewLogLines) {
  CardWithPeers card;
  ASSERT_TRUE(card.start());
  auto lines = [&] { return testsupport::countOf(card.main.log(), "\n"); };
  const size_t before = lines();
  const std::vector<uint8_t> tooShort = {0xde, 0xad, 0xbe};
  const std::vector<uint8_t> badVersion = {9, icscwire::GET, 0, 0, 0, 0, 0, 1};
  const long total = emulated() ? 20000 : 100000;
  // Few enough answers at a time for the answer queue of the front end.
  constexpr long kBurst = 16;
  IcscClient c;
  long answered = 0;
  const auto start = Clock::now();
  auto end = start + seconds(120);
  for (long sent = 0; sent < total && Clock::now() < end; sent += kBurst) {
    for (long i = 0; i < kBurst; i += 2) {
      c.sendRaw(tooShort);
      c.sendRaw(badVersion);
    }
    icscwire::Header h;
    std::vector<ICSCTlv> cells;
    for (long i = 0; i < kBurst / 2 && c.receive(h, cells, seconds(2)); ++i)
      answered += h.status == icscwire::BAD_VERSION ? 1 : 0;
  }
  EXPECT_GE(answered, total / 2 * 9 / 10) << "the flood did not reach the card";
  const auto floodSeconds = std::chrono::duration_cast<seconds>(Clock::now() - start).count() + 1;
  EXPECT_TRUE(waitFor(
      [&] { return testsupport::countOf(card.main.log(), "similar messages suppressed") >= 3; },
      seconds(15)))
      << "no summary of the suppressed lines";
  const size_t added = lines() - before;
  RecordProperty("answered", std::to_string(answered));
  RecordProperty("lines_added", std::to_string(added));
  RecordProperty("flood_seconds", std::to_string(floodSeconds));
  // Three sites, their summaries and a few lines of the card's own.
  const size_t bound = 3 * (trace::RateLimit::kBurst +
                            trace::RateLimit::kPerSecond * static_cast<size_t>(floodSeconds)) +
                       30;
  EXPECT_LE(added, bound) << "log lines for " << total << " datagrams in " << floodSeconds << " s\n"
                          << card.main.log().substr(std::max<size_t>(card.main.log().size(), 8000) -
                                                    8000);
  EXPECT_GE(added, 4u);
  EXPECT_EQ(get(c, seconds(3)), icscwire::OK) << "the card stopped serving";
}

TEST(PeerFaults, FloodedInboundQueueIsDrained) {
  CardWithPeers card;
  ASSERT_TRUE(card.start());
  mqd_t q = mq_open("/queueToMain", O_WRONLY | O_NONBLOCK);
  ASSERT_NE(q, static_cast<mqd_t>(-1)) << strerror(errno);
  mq_attr attr{};
  ASSERT_EQ(mq_getattr(q, &attr), 0);

  // A busy card: the peer fills the queue while main does not receive.
  card.main.signal(SIGSTOP);
  const uint32_t unknownId = 4242;
  char msg[8] = {};
  std::memcpy(msg, &unknownId, sizeof unknownId);
  long sent = 0;
  int err = 0;
  for (long i = 0; i < attr.mq_maxmsg + 100; ++i) {
    if (mq_send(q, msg, sizeof msg, 0) != 0) {
      err = errno;
      break;
    }
    ++sent;
  }
  card.main.signal(SIGCONT);
  EXPECT_EQ(err, EAGAIN) << "the sender never saw the queue full";
  EXPECT_GE(sent, attr.mq_maxmsg - 1);

  EXPECT_TRUE(waitFor(
      [&] {
        mq_attr now{};
        return mq_getattr(q, &now) == 0 && now.mq_curmsgs == 0;
      },
      seconds(10)))
      << "the card did not drain its queue";
  mq_close(q);
  IcscClient c;
  EXPECT_EQ(get(c, seconds(3)), icscwire::OK) << "the card stopped serving";
  EXPECT_TRUE(waitFor(
      [&] { return card.main.log().find("Unknown msgid 4242 received") != std::string::npos; },
      seconds(5)));
  EXPECT_TRUE(card.main.alive());
}

// Names of files under `dir` that look half-written: temporaries left
// behind or a text file cut in the middle of a line.
std::vector<std::string> halfWritten(const std::string& dir) {
  std::vector<std::string> bad;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
    std::string name = e.path().filename();
    if (!e.is_regular_file())
      continue;
    bool temp = name.find(".tmp") != std::string::npos || name.back() == '~' || name[0] == '.';
    std::string all = testsupport::readFile(e.path());
    if (temp || (!all.empty() && all.back() != '\n'))
      bad.push_back(name);
  }
  return bad;
}

TEST(PeerFaults, SigtermUnderFullLoadExitsCleanlyWithinTwoSeconds) {
  if (emulated())
    GTEST_SKIP() << "the 2 s exit bound is for the card, not for an emulator";
  CardWithPeers card;
  ASSERT_TRUE(card.start());
  Load load(4, seconds(30));
  ASSERT_TRUE(waitFor([&] { return load.snapshot().ok >= 200; }, seconds(10)));

  auto t0 = Clock::now();
  card.main.signal(SIGTERM);
  int status = -1;
  bool exited = card.main.waitExit(seconds(2), status);
  auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - t0);
  load.stop();
  ASSERT_TRUE(exited) << "main still running 2 s after SIGTERM";
  EXPECT_EQ(status, 0) << "after " << took.count() << " ms";
  EXPECT_EQ(halfWritten("/vocal"), std::vector<std::string>{});
  EXPECT_EQ(halfWritten("/tmp"), std::vector<std::string>{});
}

}  // namespace
}  // namespace faults
