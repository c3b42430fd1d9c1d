// The card process with its driver stand-ins in this test's namespaces: it
// must reach ACTIVE with answering drivers; every fault switch of the
// stand-ins must show on the card as the fault it stands for; injected
// faults show in the common objects read over ICSC as the chassis reads
// them, and stay while the driver goes on reporting until cleared.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CardWithPeers.h"
#include "ConsoleClient.h"
#include "TestSupport.h"
#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "drivermsg/hwMessages.h"
#include "icsc/IcscOid.h"
#include "mq/MessageQueue.h"

namespace {

using std::chrono::seconds;
using testsupport::CardWithPeers;
using testsupport::ChildProcess;
using testsupport::Clock;
using testsupport::mainConsole;
using testsupport::waitFor;

using CO = commonStatCtrl;
using namespace commonrec;
constexpr unsigned kAll = CardWithPeers::ENGINE | CardWithPeers::FRONT_END | CardWithPeers::DRIVERS;

ICSCTlv common(unsigned object, unsigned record, unsigned instance = 0) {
  testsupport::IcscClient c;
  return c.call(icscwire::GET, testsupport::cellOf(icscoid::common(object, record, instance)),
                std::chrono::seconds(2));
}

// The cell's number once it is served and equals `want`, within `limit`.
bool waitForCommon(unsigned object, unsigned record, unsigned instance, int64_t want,
                   Clock::duration limit = std::chrono::seconds(10)) {
  return waitFor(
      [&] {
        ICSCTlv v = common(object, record, instance);
        return v.status == icscwire::OK && v.num == want;
      },
      limit);
}

// Polls the card state over ICSC until it is `want` or `limit` passes;
// returns the states seen, in order, without repeats.
std::vector<std::string> waitForState(const std::string& want, Clock::duration limit) {
  std::vector<std::string> seen;
  waitFor(
      [&] {
        ICSCTlv v = common(CO::CO_CARD_STATE, CARDSTATE_NAME);
        std::string s = v.status == icscwire::OK ? v.str : "";
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

// The rows of the LED cause table of docs/bench.md:
// "| cause | `./dev inject ...` or `FXS_BENCH_I2C=...` or every start | `PANEL WORDS` |".
struct LedCause {
  std::string cause, how, panel;
};
std::vector<LedCause> documentedLedCauses() {
  static const std::regex row(R"(^\| ([^|`]+) \| `?([^|`]+)`? \| `([^|`]+)` \|$)");
  std::vector<LedCause> out;
  std::istringstream in(testsupport::readFile(std::string(FXS_SOURCE_DIR) + "/docs/bench.md"));
  bool inSection = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("## ", 0) == 0)
      inSection = line == "## The front panel's LEDs";
    std::smatch m;
    if (inSection && std::regex_match(line, m, row))
      out.push_back({m[1], m[2], m[3]});
  }
  return out;
}
const LedCause& ledCause(const std::string& how) {
  static const std::vector<LedCause> causes = documentedLedCauses();
  for (const LedCause& c : causes) {
    if (c.how.rfind(how, 0) == 0)
      return c;
  }
  static const LedCause none{"missing", "", "a row for " + how};
  return none;
}

// A panel line of the LED stand-in (the newest, or any with `anyLine`)
// holding every word of `words` within `limit`.
bool panelShows(const ChildProcess& pca, const std::string& words, bool anyLine = false,
                Clock::duration limit = std::chrono::seconds(10)) {
  std::istringstream want(words);
  std::vector<std::string> all{std::istream_iterator<std::string>(want), {}};
  auto holds = [&](const std::string& line) {
    return std::all_of(all.begin(), all.end(), [&](const std::string& w) {
      return (" " + line + " ").find(" " + w + " ") != std::string::npos;
    });
  };
  return waitFor(
      [&] {
        std::istringstream log(pca.log());
        std::string newest;
        for (std::string line; std::getline(log, line);) {
          if (line.find(" panel: ") == std::string::npos)
            continue;
          if (anyLine && holds(line))
            return true;
          newest = line;
        }
        return holds(newest);
      },
      limit);
}

TEST(CardBench, ReachesActiveAndShowsInjectedFaultsOverIcsc) {
  CardWithPeers card(kAll);
  card.panel = "log";  // the front panel reads state and alarms over ICSC
  ASSERT_TRUE(card.start());
  auto seen = waitForState("ACTIVE", std::chrono::seconds(40));
  ASSERT_FALSE(seen.empty()) << "the card state was never served";
  EXPECT_EQ(seen.back(), "ACTIVE");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "ACTIVE_ALL_LEDS_ON"), seen.end())
      << "the lamp test was skipped";
  EXPECT_TRUE(panelShows(card.pca, ledCause("every start").panel, true)) << card.pca.log();
  std::string internals = mainConsole("main internals");
  EXPECT_NE(internals.find("SELF_TEST_ADC: SUCCEEDED"), std::string::npos) << internals;
  EXPECT_NE(internals.find("SELF_TEST_PCA9552_DEVICE: SUCCEEDED"), std::string::npos);

  // The driver started before the card's queue existed: its later rounds
  // still gave the card every sensor's status.
  EXPECT_TRUE(waitForText("main hwstatus",
                          "temperature[4]: Temp Name=local, Temp Value=42, Temp Valid=true",
                          std::chrono::seconds(10)));
  // Without the stand-in, nothing but the injects reports; they start from
  // every sensor good.
  card.i2c.stop();
  ASSERT_TRUE(inject({"temp", "all", "1", "1", "1", "1", "1"}));
  ASSERT_TRUE(waitForCommon(CO::CO_TEMPERATURE, TEMP_VALID, 2, 1));
  // A failing sensor raises the temperature error; a good report clears it.
  ASSERT_TRUE(inject({"temp", "status", "2", "0"}));
  EXPECT_TRUE(waitForCommon(CO::CO_TEMPERATURE, TEMP_VALID, 2, 0));
  EXPECT_EQ(common(CO::CO_HW_ERROR, ERR_ACTIVE, 3).num, 1);
  EXPECT_EQ(common(CO::CO_HW_ERROR, ERR_NAME, 3).str, "MAX6602 TempSensor");
  EXPECT_EQ(common(CO::CO_STATUS, STATUS_HW_ERROR).num, 1);
  EXPECT_TRUE(waitFor(
      [&] {
        return card.pca.log().find("state=ACTIVE") != std::string::npos &&
               card.pca.log().find("alarms=MAX6602_TempSensor") != std::string::npos;
      },
      std::chrono::seconds(10)))
      << card.pca.log();
  ASSERT_TRUE(inject({"temp", "value", "1", "97"}));
  EXPECT_TRUE(waitForCommon(CO::CO_TEMPERATURE, TEMP_MAX, 1, 97));
  EXPECT_EQ(common(CO::CO_TEMPERATURE, TEMP_VALUE, 1).num, 97);
  ASSERT_TRUE(inject({"temp", "status", "2", "1"}));
  EXPECT_TRUE(waitForCommon(CO::CO_HW_ERROR, ERR_ACTIVE, 3, 0));

  // A power monitor that stops working invalidates every voltage.
  EXPECT_EQ(common(CO::CO_VOLTAGE, VOLT_VALID, 4).num, 1);
  ASSERT_TRUE(inject({"pwrmon", "idle"}));
  EXPECT_TRUE(waitForCommon(CO::CO_VOLTAGE, VOLT_VALID, 4, 0));
  EXPECT_EQ(common(CO::CO_HW_ERROR, ERR_ACTIVE, 0).num, 1);
  EXPECT_EQ(common(CO::CO_VOLTAGE_MONITOR, VMON_HW_ERROR).num, 1);
  EXPECT_EQ(common(CO::CO_VOLTAGE, VOLT_NOMINAL, 4).num, 3300);
  ASSERT_TRUE(inject({"pwrmon", "active"}));
  EXPECT_TRUE(waitForCommon(CO::CO_VOLTAGE, VOLT_VALID, 4, 1));
  EXPECT_TRUE(waitForCommon(CO::CO_STATUS, STATUS_HW_ERROR, 0, 0));
  EXPECT_TRUE(card.main.alive());
}

TEST(CardBench, SilentI2cDriverLeadsToFail) {
  CardWithPeers card(kAll);
  const LedCause& silent = ledCause("FXS_BENCH_I2C=--silent");
  card.i2cArgs = {"--silent"};
  card.panel = "log";
  ASSERT_TRUE(card.start());
  auto seen = waitForState("FAIL", std::chrono::seconds(45));
  ASSERT_FALSE(seen.empty()) << "the card state was never served";
  EXPECT_EQ(seen.back(), "FAIL");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "SELF_TESTS_BUSY"), seen.end());
  // The lamp test stays on the LEDs.
  EXPECT_TRUE(panelShows(card.pca, silent.panel)) << card.pca.log();
}

// Every other row of the LED table, injected in its order into an ACTIVE
// card, shows on the panel as documented; the rows above are the start's.
TEST(CardBench, EveryDocumentedPortLedCauseShowsOnThePanel) {
  std::vector<LedCause> causes = documentedLedCauses();
  CardWithPeers card(kAll);
  card.panel = "log";
  ASSERT_TRUE(card.start());
  ASSERT_EQ(waitForState("ACTIVE", std::chrono::seconds(40)).back(), "ACTIVE");
  size_t injected = 0;
  for (const LedCause& c : causes) {
    SCOPED_TRACE(c.cause + ": " + c.how);
    if (c.how == "every start" || c.how.rfind("FXS_BENCH_I2C=", 0) == 0)
      continue;
    ASSERT_EQ(c.how.rfind("./dev inject ", 0), 0u) << "a cause no test brings about";
    std::istringstream words(c.how.substr(13));
    ASSERT_TRUE(inject({std::istream_iterator<std::string>(words), {}}));
    EXPECT_TRUE(panelShows(card.pca, c.panel)) << card.pca.log();
    ++injected;
  }
  EXPECT_GE(injected, 5u) << "docs/bench.md lost its LED table";
}

// "Reboot" goes to the board, which resets the card: main stops cleanly;
// started again as the card's init does, it comes back to ACTIVE.
TEST(CardBench, RebootOverIcscStopsMainAndItComesBackActive) {
  CardWithPeers card(kAll);
  card.boardSlot = 2;
  ASSERT_TRUE(card.start());
  ASSERT_EQ(waitForState("ACTIVE", std::chrono::seconds(40)).back(), "ACTIVE");
  testsupport::IcscClient c;
  ICSCTlv reboot =
      testsupport::cellOf(icscoid::common(CO::CO_CONTROL, CTRL_REBOOT, 0), IcscType::BOOL, 1);
  EXPECT_EQ(c.call(icscwire::SET, reboot).status, icscwire::OK);
  int status = -1;
  ASSERT_TRUE(card.main.waitExit(std::chrono::seconds(20), status));
  EXPECT_EQ(status, 0);
  EXPECT_NE(card.board.log().find("reboot requested by pid"), std::string::npos)
      << card.board.log();
  card.main.start("main", {}, "FXS_TRACE_STDERR=1 " + card.env);
  auto seen = waitForState("ACTIVE", std::chrono::seconds(40));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), "ACTIVE");
  EXPECT_EQ(common(CO::CO_CARD, CARD_SLOT).num, 3) << "slot 2 reported, the card counts from 1";
}

// What a switch must bring about: text in the output of a console command,
// in main's log when the command is empty, or the card state (read over
// ICSC as the chassis does) for "state".
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
     {{"main hwstatus", "Name=common.3, Temp Value=40, Temp Valid=false"},
      {"main hwstatus", "Name=local, Temp Value=42, Temp Valid=false"},
      {"main hwstatus", "Name=common.1, Temp Value=38, Temp Valid=true"},
      {"main hwstatus", "name=MAX6602 TempSensor, HW error active=true"}}},
    {"i2c_fail_selftest",
     {"--period-ms", "300", "--fail-selftest"},
     {},
     {},
     {{"main internals", "SELF_TEST_ADC: FAILED"},
      {"main internals", "SELF_TEST_TEMP: FAILED"},
      {"main hwstatus", "name=ADS1000 ADC, HW error active=true"},
      {"main hwstatus", "name=MAX6602 TempSensor, HW error active=true"},
      {"state", "ACTIVE"}}},
    {"i2c_idle_pwrmon",
     {"--period-ms", "300", "--idle-pwrmon"},
     {},
     {},
     {{"main hwstatus", "name=MAX16046 PowerMon, HW error active=true"},
      {"main hwstatus",
       "Name=3V3_LDO4, Voltage Value=0, Voltage Nominal=3300, Voltage Valid=false"}}},
    {"pca_fail_selftest",
     {"--period-ms", "300"},
     {"--fail-selftest"},
     {},
     {{"main internals", "SELF_TEST_PCA9552_DEVICE: FAILED"}, {"state", "ACTIVE"}}},
    {"pca_silent",
     {"--period-ms", "300"},
     {"--silent"},
     {},
     {{"main internals", "SELF_TEST_PCA9552_DEVICE: STARTED"}, {"state", "FAIL"}}},
    {"pca_absent",
     {"--period-ms", "300"},
     {"--absent"},
     {},
     {{"", "Failed to start selftests"}, {"state", "ACTIVE"}}},
    {"board_delay",
     {"--period-ms", "300"},
     {},
     {"--delay", "3600"},
     {{"", "could not receive slotnumber, wait for driver!"}}},
};

class DriverSwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(DriverSwitch, ShowsOnTheCard) {
  const SwitchCase& c = GetParam();
  CardWithPeers card(CardWithPeers::DRIVERS | CardWithPeers::FRONT_END);
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
    } else if (std::string(e.command) == "state") {
      EXPECT_TRUE(waitFor([&] { return testsupport::cardState() == e.text; }, seconds(45)))
          << "the card state never was " << e.text << "; it is " << testsupport::cardState();
    } else {
      EXPECT_TRUE(waitForText(e.command, e.text, seconds(45)))
          << e.command << " never showed: " << e.text << "\n"
          << mainConsole(e.command);
    }
  }
  EXPECT_TRUE(card.main.alive());
}

INSTANTIATE_NAMED(CardBench, DriverSwitch, kSwitchCases);

// A hardware error raised by ./dev inject stays while the I2C driver goes
// on reporting, and the matching inject clears it.
struct ErrorCase {
  const char* name;
  std::vector<std::string> raise, clear;
  const char* error;  // its name
};
const ErrorCase kErrorCases[] = {
    {"temperature_sensor",
     {"temp", "status", "3", "0"},
     {"temp", "status", "3", "1"},
     "MAX6602 TempSensor"},
    {"temperature_selftest",
     {"temp", "selftest", "0"},
     {"temp", "selftest", "1"},
     "MAX6602 TempSensor"},
    {"power_monitor_failed", {"pwrmon", "fail"}, {"pwrmon", "active"}, "MAX16046 PowerMon"},
    {"power_monitor_error_flag",
     {"pwrmon", "active", "1"},
     {"pwrmon", "active", "0"},
     "MAX16046 PowerMon"},
    {"adc_selftest", {"adc", "selftest", "0"}, {"adc", "selftest", "1"}, "ADS1000 ADC"},
};

class InjectedError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(InjectedError, StaysThroughTheDriversReportsUntilCleared) {
  const ErrorCase& c = GetParam();
  CardWithPeers card(CardWithPeers::DRIVERS);
  card.i2cArgs = {"--period-ms", "200"};
  ASSERT_TRUE(card.start());
  const std::string name = std::string("HW error name=") + c.error;
  const std::string active = name + ", HW error active=true",
                    clear = name + ", HW error active=false";
  ASSERT_TRUE(
      waitForText("main hwstatus", "Name=common.2, Temp Value=39, Temp Valid=true", seconds(20)));
  ASSERT_TRUE(waitForText("main hwstatus", clear, seconds(20)));

  ASSERT_TRUE(inject(c.raise));
  ASSERT_TRUE(waitForText("main hwstatus", active, seconds(10)));
  // A temperature only this test sends, then the driver's own value again:
  // a whole round of its reports has come after the inject. The driver is
  // held while the marker is read, or its next report may hide it first.
  card.i2c.signal(SIGSTOP);
  MessageQueue toMain(mainqueue::NAME);
  auto marker = hwmsg::encodeTemp(hwmsg::TEMP_PROP_VALUE, 0, 1234);
  ASSERT_TRUE(toMain.send(marker.data(), marker.size()));
  const bool markerSeen =
      waitForText("main hwstatus", "Name=common.1, Temp Value=1234,", seconds(10));
  card.i2c.signal(SIGCONT);
  ASSERT_TRUE(markerSeen);
  ASSERT_TRUE(waitForText("main hwstatus", "Name=common.1, Temp Value=38,", seconds(10)));
  EXPECT_NE(mainConsole("main hwstatus").find(active), std::string::npos)
      << "the driver's reports cleared the injected error";

  ASSERT_TRUE(inject(c.clear));
  EXPECT_TRUE(waitForText("main hwstatus", clear, seconds(10)));
  EXPECT_TRUE(card.main.alive());
}

INSTANTIATE_NAMED(CardBench, InjectedError, kErrorCases);

}  // namespace
