#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrontPanel.h"
#include "InjectCommand.h"
#include "hwMessages.h"

namespace {

pca9552::Pca9552Request setPins(uint16_t mask, uint16_t value) {
  pca9552::Pca9552Request r;
  r.command = pca9552::SetOutputValueOfSelectedPinsRequest;
  r.pinMask = mask;
  r.value = value;
  return r;
}

TEST(FrontPanel, FollowsSetPinRequestsAndIgnoresOthers) {
  FrontPanel p;
  EXPECT_TRUE(p.apply(setPins(0xFF03, pca9552::ON)));
  EXPECT_FALSE(p.apply(setPins(0xFF03, pca9552::ON)));
  EXPECT_TRUE(p.apply(setPins(0x0003, pca9552::OFF)));
  EXPECT_TRUE(p.apply(setPins(1u << 10, pca9552::BLINK_RATE_0)));  // port 2
  EXPECT_TRUE(p.apply(setPins(1u << 9, pca9552::BLINK_RATE_1)));   // port 5
  pca9552::Pca9552Request selfTest;
  selfTest.command = pca9552::DoSelfTestsOnAllDevicesRequest;
  selfTest.pinMask = 0xFFFF;
  EXPECT_FALSE(p.apply(selfTest));
  EXPECT_FALSE(p.apply(setPins(0xFFFF, 9)));
  EXPECT_EQ(p.line("ACTIVE"),
            "panel: state=ACTIVE FAIL=off DUMMY=off P1=on P2=slow P3=on P4=on P5=fast P6=on "
            "P7=on P8=on");
}

TEST(FrontPanel, ParsesStateFromInternals) {
  EXPECT_EQ(parseCardState("m_state            = SELF_TESTS_BUSY\nm_wdmon  = 0x1\n"),
            "SELF_TESTS_BUSY");
  EXPECT_EQ(parseCardState("garbage"), "?");
}

struct InjectCase {
  const char* name;
  std::vector<std::string> words;
  bool ok;
  std::vector<uint8_t> want;  // empty: only the result is checked
};

const InjectCase kInjectCases[] = {
    {"port_leds", {"port-leds", "0x1", "0x100", "5"}, true, hwmsg::encodePortLed({5, 1, 0x100})},
    {"port_leds_no_alarm", {"port-leds", "3", "0"}, true, hwmsg::encodePortLed({0, 3, 0})},
    {"port_leds_missing", {"port-leds", "3"}, false, {}},
    {"port_leds_too_big", {"port-leds", "0x100000000", "0"}, false, {}},
    {"temp_value_negative", {"temp", "value", "4", "-5"}, true, hwmsg::encodeTemp(0, 4, -5)},
    {"temp_selftest", {"temp", "selftest", "1"}, true, hwmsg::encodeTemp(2, 0, 1)},
    {"temp_all_short", {"temp", "all", "1", "1"}, false, {}},
    {"adc_selftest", {"adc", "selftest", "0"}, true, hwmsg::encodeAdc(1, 0)},
    {"pwrmon_idle", {"pwrmon", "idle"}, true, {}},
    {"pwrmon_bad", {"pwrmon", "sleepy"}, false, {}},
    {"raw", {"raw", "27", "0xdeadbeef"}, true, {27, 0, 0, 0, 0xef, 0xbe, 0xad, 0xde}},
    {"raw_not_number", {"raw", "27", "zz"}, false, {}},
    {"unknown", {"bogus"}, false, {}},
    {"empty", {}, false, {}},
};

class Inject : public ::testing::TestWithParam<InjectCase> {};
TEST_P(Inject, BuildsMessage) {
  std::vector<uint8_t> msg;
  std::string error;
  EXPECT_EQ(buildInjectMessage(GetParam().words, msg, error), GetParam().ok);
  EXPECT_EQ(error.empty(), GetParam().ok);
  if (!GetParam().want.empty()) {
    EXPECT_EQ(msg, GetParam().want);
  }
}
INSTANTIATE_TEST_SUITE_P(Bench, Inject, ::testing::ValuesIn(kInjectCases),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(Inject, TempAllAndPwrmonDecodeBack) {
  std::vector<uint8_t> msg;
  std::string error;
  ASSERT_TRUE(buildInjectMessage({"temp", "all", "1", "1", "0", "1", "1"}, msg, error));
  auto t = hwmsg::decodeTemp(msg.data(), msg.size());
  ASSERT_TRUE(t.has_value());
  EXPECT_EQ(t->all[2].status, 0);
  EXPECT_EQ(t->all[3].status, 1);
  ASSERT_TRUE(buildInjectMessage({"pwrmon", "fail", "1"}, msg, error));
  auto p = hwmsg::decodePwrMon(msg.data(), msg.size());
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->state, hwmsg::PWRMON_STATE_FAIL);
  EXPECT_EQ(p->errorFlag, 1);
}

}  // namespace
