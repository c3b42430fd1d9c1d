// The card process with its driver stand-ins in this test's namespaces:
// every fault switch of the stand-ins must show on the card as the fault it
// stands for, and every hardware error must be raised and cleared by the
// messages that carry it, as read through the console.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "CardWithPeers.h"
#include "ConsoleClient.h"
#include "hwMessages.h"
#include "mq/MessageQueue.h"

namespace {

using std::chrono::seconds;
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

TEST(CardBench, ReachesActiveWithEveryDriverAnswering) {
  CardWithPeers card(CardWithPeers::DRIVERS);
  ASSERT_TRUE(card.start());
  auto seen = waitForState("ACTIVE", seconds(40));
  ASSERT_FALSE(seen.empty()) << "console never answered";
  EXPECT_EQ(seen.back(), "ACTIVE");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "ACTIVE_ALL_LEDS_ON"), seen.end())
      << "the lamp test was skipped";
  std::string internals = mainConsole("main internals");
  EXPECT_NE(internals.find("SELF_TEST_ADC: SUCCEEDED"), std::string::npos) << internals;
  EXPECT_NE(internals.find("SELF_TEST_PCA9552_DEVICE: SUCCEEDED"), std::string::npos);
  // The driver started before the card's queue existed: its later rounds
  // still gave the card every sensor's status.
  EXPECT_TRUE(waitForText("main hwstatus", "[4] local = 42 status=1", seconds(10)));
  EXPECT_NE(mainConsole("main hwstatus").find("3 MAX6602 TempSensor -"), std::string::npos);
}

// What a switch must bring about: text in the output of a console command,
// or in main's log when the command is empty.
struct Expect {
  const char* command;
  const char* text;
};
struct SwitchCase {
  const char* name;
  std::vector<std::string> i2cArgs, pcaArgs, boardArgs;
  std::vector<Expect> expect;
};
const SwitchCase kSwitchCases[] = {
    {"i2c_fail_sensor",
     {"--period-ms", "300", "--fail-sensor", "2", "--fail-sensor", "4"},
     {},
     {},
     {{"main hwstatus", "[2] common.3 = 40 status=0"},
      {"main hwstatus", "[4] local = 42 status=0"},
      {"main hwstatus", "[0] common.1 = 38 status=1"},
      {"main hwstatus", "3 MAX6602 TempSensor ACTIVE"}}},
    {"i2c_fail_selftest",
     {"--period-ms", "300", "--fail-selftest"},
     {},
     {},
     {{"main internals", "SELF_TEST_ADC: FAILED"},
      {"main internals", "SELF_TEST_TEMP: FAILED"},
      {"main hwstatus", "2 ADS1000 ADC ACTIVE"},
      {"main hwstatus", "3 MAX6602 TempSensor ACTIVE"},
      {"main internals", "m_state            = ACTIVE"}}},
    {"i2c_idle_pwrmon",
     {"--period-ms", "300", "--idle-pwrmon"},
     {},
     {},
     {{"main hwstatus", "0 MAX16046 PowerMon ACTIVE"},
      {"main hwstatus", "[6] 3V3_LDO4 = 0 mV (nominal 3300 mV) invalid"}}},
    {"i2c_silent",
     {"--silent"},
     {},
     {},
     {{"main internals", "m_state            = FAIL"},
      {"main internals", "SELF_TEST_ADC: STARTED"}}},
    {"pca_fail_selftest",
     {"--period-ms", "300"},
     {"--fail-selftest"},
     {},
     {{"main internals", "SELF_TEST_PCA9552_DEVICE: FAILED"},
      {"main internals", "m_state            = ACTIVE"}}},
    {"pca_silent",
     {"--period-ms", "300"},
     {"--silent"},
     {},
     {{"main internals", "SELF_TEST_PCA9552_DEVICE: STARTED"},
      {"main internals", "m_state            = FAIL"}}},
    {"pca_absent",
     {"--period-ms", "300"},
     {"--absent"},
     {},
     {{"", "Failed to start selftests"}, {"main internals", "m_state            = ACTIVE"}}},
    {"board_delay",
     {"--period-ms", "300"},
     {},
     {"--delay", "3600"},
     {{"", "could not receive slotnumber, wait for driver!"}}},
};

class DriverSwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(DriverSwitch, ShowsOnTheCard) {
  const SwitchCase& c = GetParam();
  CardWithPeers card(CardWithPeers::DRIVERS);
  card.i2cArgs = c.i2cArgs;
  card.pcaArgs = c.pcaArgs;
  if (!c.boardArgs.empty()) {
    card.boardSlot = 2;
    card.boardArgs = c.boardArgs;
  }
  ASSERT_TRUE(card.start());
  // The self-test limit is 11 ticks: FAIL and the give-up come after it.
  for (const Expect& e : c.expect) {
    if (*e.command == '\0') {
      EXPECT_TRUE(
          waitFor([&] { return card.main.log().find(e.text) != std::string::npos; }, seconds(45)))
          << "main's log never had: " << e.text;
    } else {
      EXPECT_TRUE(waitForText(e.command, e.text, seconds(45)))
          << e.command << " never showed: " << e.text << "\n"
          << mainConsole(e.command);
    }
  }
  EXPECT_TRUE(card.main.alive());
}

INSTANTIATE_TEST_SUITE_P(CardBench, DriverSwitch, ::testing::ValuesIn(kSwitchCases),
                         [](const auto& i) { return std::string(i.param.name); });

// A hardware error raised by ./dev inject stays while the I2C driver goes
// on reporting, and the matching inject clears it.
struct ErrorCase {
  const char* name;
  std::vector<std::string> raise, clear;
  const char* error;  // as "main hwstatus" lists it
};
const ErrorCase kErrorCases[] = {
    {"temperature_sensor",
     {"temp", "status", "3", "0"},
     {"temp", "status", "3", "1"},
     "3 MAX6602 TempSensor"},
    {"temperature_selftest",
     {"temp", "selftest", "0"},
     {"temp", "selftest", "1"},
     "3 MAX6602 TempSensor"},
    {"power_monitor_failed", {"pwrmon", "fail"}, {"pwrmon", "active"}, "0 MAX16046 PowerMon"},
    {"power_monitor_error_flag",
     {"pwrmon", "active", "1"},
     {"pwrmon", "active", "0"},
     "0 MAX16046 PowerMon"},
    {"adc_selftest", {"adc", "selftest", "0"}, {"adc", "selftest", "1"}, "2 ADS1000 ADC"},
};

class InjectedError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(InjectedError, StaysThroughTheDriversReportsUntilCleared) {
  const ErrorCase& c = GetParam();
  CardWithPeers card(CardWithPeers::DRIVERS);
  card.i2cArgs = {"--period-ms", "200"};
  ASSERT_TRUE(card.start());
  const std::string active = std::string(c.error) + " ACTIVE", clear = std::string(c.error) + " -";
  ASSERT_TRUE(waitForText("main hwstatus", "[1] common.2 = 39 status=1", seconds(20)));
  ASSERT_TRUE(waitForText("main hwstatus", clear, seconds(20)));

  ASSERT_TRUE(inject(c.raise));
  ASSERT_TRUE(waitForText("main hwstatus", active, seconds(10)));
  // A temperature only this test sends, then the driver's own value again:
  // a whole round of its reports has come after the inject.
  MessageQueue toMain("/queueToMain");
  auto marker = hwmsg::encodeTemp(hwmsg::TEMP_PROP_VALUE, 0, 1234);
  ASSERT_TRUE(toMain.send(marker.data(), marker.size()));
  ASSERT_TRUE(waitForText("main hwstatus", "[0] common.1 = 1234", seconds(10)));
  ASSERT_TRUE(waitForText("main hwstatus", "[0] common.1 = 38 ", seconds(10)));
  EXPECT_NE(mainConsole("main hwstatus").find(active), std::string::npos)
      << "the driver's reports cleared the injected error";

  ASSERT_TRUE(inject(c.clear));
  EXPECT_TRUE(waitForText("main hwstatus", clear, seconds(10)));
  EXPECT_TRUE(card.main.alive());
}

INSTANTIATE_TEST_SUITE_P(CardBench, InjectedError, ::testing::ValuesIn(kErrorCases),
                         [](const auto& i) { return std::string(i.param.name); });

}  // namespace
