// The card process with its driver stand-ins in this test's namespaces: it
// must reach ACTIVE with answering drivers and FAIL with a silent I2C
// driver; injected faults show in the common objects read over ICSC as the
// chassis reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CardWithPeers.h"
#include "ConsoleClient.h"
#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscOid.h"

namespace {

using testsupport::CardWithPeers;
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

bool inject(const std::vector<std::string>& args) {
  return testsupport::runTool("sim_inject", args).status == 0;
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
  std::string internals = mainConsole("main internals");
  EXPECT_NE(internals.find("SELF_TEST_ADC: SUCCEEDED"), std::string::npos) << internals;
  EXPECT_NE(internals.find("SELF_TEST_PCA9552_DEVICE: SUCCEEDED"), std::string::npos);

  // The stand-in's own reports would undo an injected fault: stop it first,
  // then report every sensor good.
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
  card.i2cArgs = {"--silent"};
  ASSERT_TRUE(card.start());
  auto seen = waitForState("FAIL", std::chrono::seconds(45));
  ASSERT_FALSE(seen.empty()) << "the card state was never served";
  EXPECT_EQ(seen.back(), "FAIL");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "SELF_TESTS_BUSY"), seen.end());
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

}  // namespace
