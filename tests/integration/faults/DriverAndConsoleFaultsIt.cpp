// The LED and I2C drivers going away and coming back, and a console
// flooded with abusive clients while ICSC requests are being served.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <random>

#include "FaultHarness.h"

namespace faults {
namespace {

using testsupport::cardState;
using testsupport::mainConsole;

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
