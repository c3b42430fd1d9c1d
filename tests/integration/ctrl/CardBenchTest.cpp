// The card process with its driver stand-ins in this test's namespaces: it
// must reach ACTIVE with answering drivers and FAIL with a silent I2C
// driver, as read through the console's "main internals".
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CardWithPeers.h"
#include "ConsoleClient.h"

namespace {

using testsupport::cardState;
using testsupport::CardWithPeers;
using testsupport::Clock;
using testsupport::mainConsole;
using testsupport::waitFor;

// Polls the card state until it is `want` or `limit` passes; returns the
// states seen, in order, without repeats.
std::vector<std::string> waitForState(const std::string& want, Clock::duration limit) {
  std::vector<std::string> seen;
  waitFor(
      [&] {
        std::string s = cardState();
        if (!s.empty() && (seen.empty() || seen.back() != s))
          seen.push_back(s);
        return s == want;
      },
      limit);
  return seen;
}

bool waitForText(const std::string& line, const std::string& want, Clock::duration limit) {
  return waitFor([&] { return mainConsole(line).find(want) != std::string::npos; }, limit);
}

bool inject(const std::vector<std::string>& args) {
  return testsupport::runTool("sim_inject", args).status == 0;
}

TEST(CardBench, ReachesActiveAndRaisesTemperatureError) {
  CardWithPeers card(CardWithPeers::DRIVERS);
  ASSERT_TRUE(card.start());
  auto seen = waitForState("ACTIVE", std::chrono::seconds(40));
  ASSERT_FALSE(seen.empty()) << "console never answered";
  EXPECT_EQ(seen.back(), "ACTIVE");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "ACTIVE_ALL_LEDS_ON"), seen.end())
      << "the lamp test was skipped";
  std::string internals = mainConsole("main internals");
  EXPECT_NE(internals.find("SELF_TEST_ADC: SUCCEEDED"), std::string::npos) << internals;
  EXPECT_NE(internals.find("SELF_TEST_PCA9552_DEVICE: SUCCEEDED"), std::string::npos);

  // A failing sensor raises the temperature error; a good report clears it.
  ASSERT_TRUE(inject({"temp", "status", "2", "0"}));
  EXPECT_TRUE(
      waitForText("main hwstatus", "3 MAX6602 TempSensor ACTIVE", std::chrono::seconds(10)));
  ASSERT_TRUE(inject({"temp", "status", "2", "1"}));
  EXPECT_TRUE(waitForText("main hwstatus", "3 MAX6602 TempSensor -", std::chrono::seconds(10)));
  EXPECT_TRUE(card.main.alive());
}

TEST(CardBench, SilentI2cDriverLeadsToFail) {
  CardWithPeers card(CardWithPeers::DRIVERS);
  card.i2cArgs = {"--silent"};
  ASSERT_TRUE(card.start());
  auto seen = waitForState("FAIL", std::chrono::seconds(45));
  ASSERT_FALSE(seen.empty()) << "console never answered";
  EXPECT_EQ(seen.back(), "FAIL");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "SELF_TESTS_BUSY"), seen.end());
}

}  // namespace
