// The LED and I2C drivers going away, hanging and coming back, their
// replies meeting a full queue, and a console flooded with abusive clients
// while ICSC requests are being served.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mqueue.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <random>

#include "FaultHarness.h"
#include "drivermsg/hwMessages.h"

namespace faults {
namespace {

using testsupport::cardState;
using testsupport::IcscClient;
using testsupport::mainConsole;

bool logged(const testsupport::ChildProcess& p, const std::string& text) {
  return p.log().find(text) != std::string::npos;
}

// The newest front panel line of the LED stand-in, without the card state
// it polls by itself: "fail=off dummy=on p1=..." or "" before the first.
std::string panelLeds(const testsupport::ChildProcess& pca) {
  std::string log = pca.log();
  size_t at = log.rfind("panel: state=");
  if (at == std::string::npos)
    return "";
  size_t end = log.find('\n', at);
  if (end == std::string::npos)
    return "";
  const size_t stateAt = at + std::strlen("panel: state=");
  size_t leds = log.find(' ', stateAt);
  return leds == std::string::npos || leds > end ? "" : log.substr(leds + 1, end - leds - 1);
}

TEST(DriverFaults, LedAndI2cDriversStopAndComeBack) {
  if (emulated())
    GTEST_SKIP() << "the state machine's tick counts need real time";
  CardWithPeers card(CardWithPeers::DRIVERS | CardWithPeers::FRONT_END);
  card.panel = "log";
  card.i2cArgs = {"--period-ms", "300"};
  ASSERT_TRUE(card.start());
  ASSERT_TRUE(waitFor([] { return cardState() == "ACTIVE"; }, seconds(45)))
      << "card did not reach ACTIVE; last state " << cardState();
  // The LEDs the card settled on: the lamp test lights them all for a while
  // after ACTIVE, so a pattern counts once it has held for two seconds.
  std::string leds;
  auto heldSince = std::chrono::steady_clock::now();
  ASSERT_TRUE(waitFor(
      [&] {
        std::string now = panelLeds(card.pca);
        if (now.empty() || now != leds) {
          leds = now;
          heldSince = std::chrono::steady_clock::now();
          return false;
        }
        return std::chrono::steady_clock::now() - heldSince >= seconds(2);
      },
      seconds(20)))
      << "the LEDs did not settle; last '" << leds << "'";

  card.pca.stop();
  card.i2c.stop();
  // Without the drivers the card notices and its state machine stays in a
  // known state; the console keeps answering.
  EXPECT_TRUE(waitFor(
      [&] {
        std::string log = card.main.log();
        return log.find("pca9552Driver is not listening") != std::string::npos ||
               log.find("Failed to send msg to pca9552Driver") != std::string::npos;
      },
      seconds(15)))
      << "the card did not log the missing LED driver";
  std::string during = cardState();
  EXPECT_TRUE(during == "ACTIVE" || during == "FAIL") << "state without drivers: " << during;

  // Fresh drivers (and a fresh panel log) know nothing: the card must push
  // its LEDs again.
  card.startDrivers();
  EXPECT_TRUE(waitFor([&] { return panelLeds(card.pca) == leds; }, seconds(15)))
      << "LEDs not recovered: want '" << leds << "', have '" << panelLeds(card.pca) << "'";
  std::string after = cardState();
  EXPECT_TRUE(after == "ACTIVE" || after == "FAIL") << after;
  EXPECT_TRUE(card.main.alive());
  EXPECT_EQ(card.main.log().find("SWERR"), std::string::npos);
}

// A LED driver that stops reading: once its socket queue is full, main's
// requests fail at once (logged) and the loop goes on serving and stopping.
TEST(DriverFaults, HungLedDriverDoesNotHoldTheLoop) {
  CardWithPeers card(CardWithPeers::DRIVERS | CardWithPeers::FRONT_END);
  ASSERT_TRUE(card.start());
  ASSERT_TRUE(waitFor(
      [&] {
        return logged(card.pca, "sim_pca9552: listening") && logged(card.main, "Card is ready");
      },
      seconds(10)));
  card.pca.signal(SIGSTOP);
  // Each port status message pushes the four LED requests: more than the
  // driver's queue of ten takes.
  mqd_t q = mq_open("/queueToMain", O_WRONLY | O_NONBLOCK);
  ASSERT_NE(q, static_cast<mqd_t>(-1)) << strerror(errno);
  std::vector<uint8_t> portLed = hwmsg::encodePortLed({});
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(mq_send(q, reinterpret_cast<const char*>(portLed.data()), portLed.size(), 0), 0);
  mq_close(q);
  EXPECT_TRUE(
      waitFor([&] { return logged(card.main, "Failed to send msg to pca9552Driver to set pins"); },
              seconds(5)))
      << "no failed LED request logged";
  Clock::duration took = seconds(3);
  EXPECT_FALSE(cardState(seconds(3), &took).empty()) << "the card stopped answering";
  EXPECT_LT(took, seconds(emulated() ? 3 : 1))
      << std::chrono::duration_cast<milliseconds>(took).count() << " ms";
  card.main.signal(SIGTERM);
  int status = -1;
  EXPECT_TRUE(card.main.waitExit(seconds(emulated() ? 20 : 2), status))
      << "main did not stop within 2 s of SIGTERM";
  EXPECT_EQ(status, 0);
  card.pca.signal(SIGCONT);
}

// Self-test replies that find "/queueToMain" full of ICSC requests wait for
// room: main, paused with its queue full, still gets them and the card
// reaches ACTIVE.
TEST(DriverFaults, RepliesToAFullQueueWaitForRoom) {
  if (emulated())
    GTEST_SKIP() << "the state machine's tick counts need real time";
  CardWithPeers card(CardWithPeers::FRONT_END);
  card.startDrivers();
  ASSERT_TRUE(waitFor([&] { return logged(card.pca, "listening") && logged(card.i2c, "running"); },
                      seconds(10)));
  // The drivers hold the self-test requests until the queue is full.
  card.pca.signal(SIGSTOP);
  card.i2c.signal(SIGSTOP);
  ASSERT_TRUE(card.start());
  ASSERT_TRUE(waitFor([&] { return logged(card.main, "selftests started"); }, seconds(10)));
  card.main.signal(SIGSTOP);
  mqd_t q = mq_open("/queueToMain", O_WRONLY | O_NONBLOCK);
  ASSERT_NE(q, static_cast<mqd_t>(-1)) << strerror(errno);
  mq_attr attr{};
  ASSERT_EQ(mq_getattr(q, &attr), 0);
  IcscClient flood;
  const ICSCTlv read = testsupport::cellOf(kMappedOid);
  EXPECT_TRUE(waitFor(
      [&] {
        for (int i = 0; i < 10; ++i)
          flood.send(icscwire::GET, static_cast<uint32_t>(i), read);
        return queued(q) == attr.mq_maxmsg;
      },
      seconds(10)))
      << "ICSC requests did not fill the queue";
  mq_close(q);
  card.pca.signal(SIGCONT);
  card.i2c.signal(SIGCONT);
  // Both met the full queue before main goes on.
  const auto met = [](const testsupport::ChildProcess& p) {
    return logged(p, "/queueToMain full") || logged(p, "lost");
  };
  EXPECT_TRUE(waitFor([&] { return met(card.pca) && met(card.i2c); }, seconds(10)));
  card.main.signal(SIGCONT);
  std::string state;
  EXPECT_TRUE(waitFor(
      [&] {
        state = cardState();
        return state == "ACTIVE" || state == "FAIL";
      },
      seconds(45)));
  EXPECT_EQ(state, "ACTIVE");
  EXPECT_FALSE(logged(card.pca, "lost")) << card.pca.log();
  EXPECT_FALSE(logged(card.i2c, "lost")) << card.i2c.log();
}

enum class Abuse { LONG_LINE, GARBAGE, HALF_CLOSE, IDLE, HANG_UP };

// One abusive client; returns the socket when it keeps it open.
int abuse(Abuse kind, unsigned seed) {
  // A console that stops reading must not block this client for good.
  int fd = testsupport::connectTcp(testsupport::kMainConsolePort, 2);
  if (fd < 0)
    return -1;
  switch (kind) {
    case Abuse::LONG_LINE: {
      std::string line(size_t{256} * 1024, 'a');
      line += "\nmain internals";
      (void)!write(fd, line.data(), line.size());
      break;
    }
    case Abuse::GARBAGE: {
      std::mt19937 rng(seed);
      std::string junk(8192, '\0');
      for (char& ch : junk)
        ch = static_cast<char>(rng());
      (void)!write(fd, junk.data(), junk.size());
      break;
    }
    case Abuse::HALF_CLOSE: {
      const char cmd[] = "main internals\n";
      (void)!write(fd, cmd, sizeof cmd - 1);
      shutdown(fd, SHUT_WR);
      char buf[4096];
      for (int i = 0; i < 64 && read(fd, buf, sizeof buf) > 0; ++i) {
      }
      break;
    }
    case Abuse::IDLE:
      return fd;
    case Abuse::HANG_UP:
      break;
  }
  close(fd);
  return -1;
}

TEST(ConsoleFaults, AbusiveClientsDoNotStopIcscService) {
  CardWithPeers card;
  ASSERT_TRUE(card.start());
  Load load(1, seconds(60));

  constexpr unsigned kClients = 50;
  const Abuse kinds[] = {Abuse::LONG_LINE, Abuse::GARBAGE, Abuse::HALF_CLOSE, Abuse::IDLE,
                         Abuse::HANG_UP};
  std::vector<int> held(kClients, -1);
  std::vector<std::thread> clients;
  for (unsigned i = 0; i < kClients; ++i)
    clients.emplace_back([&, i] { held[i] = abuse(kinds[i % 5], i); });
  for (auto& t : clients)
    t.join();

  // Served all along, though every console slot may be taken.
  size_t okBefore = load.snapshot().ok;
  EXPECT_TRUE(waitFor([&] { return load.snapshot().ok >= okBefore + 20; }, seconds(10)));
  for (int fd : held)
    if (fd >= 0)
      close(fd);

  // Once the abusers are gone the console serves again.
  EXPECT_TRUE(
      waitFor([] { return mainConsole("main internals").find("m_state") != std::string::npos; },
              seconds(15)))
      << "console did not recover";
  Load::Stats s = load.stop();
  EXPECT_EQ(s.unanswered, 0u);
  EXPECT_EQ(s.refused, 0u);
  EXPECT_GT(s.ok, 20u);
  if (!emulated()) {
    EXPECT_LT(s.slowest, seconds(1)) << "ICSC service stalled behind the console";
  }
  EXPECT_TRUE(card.main.alive());
}

}  // namespace
}  // namespace faults
