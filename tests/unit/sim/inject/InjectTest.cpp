// ./dev inject's messages and the I2C driver stand-in taking them over: an
// injected report must reach the card as the driver would send it, and the
// stand-in's following periodic reports must say the same, or the error it
// raised would be cleared behind the user's back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "I2cReports.h"
#include "InjectCommand.h"
#include "TestSupport.h"
#include "drivermsg/hwMessages.h"

namespace {

using Words = std::vector<std::string>;

struct BadCase {
  const char* name;
  Words words;
  const char* errorHas;
};
const BadCase kBadCases[] = {
    {"nothing", {}, "no message kind"},
    {"unknown_kind", {"temperature", "1"}, "unknown message kind 'temperature'"},
    {"unknown_sub", {"temp", "level", "1"}, "value status selftest all"},
    {"missing_value", {"temp", "status", "2"}, "temp status IDX V"},
    {"extra_word", {"adc", "power", "1", "2"}, "adc power V"},
    {"not_a_number", {"adc", "selftest", "one"}, "adc selftest V"},
    {"number_with_tail", {"temp", "value", "1", "40C"}, "temp value IDX V"},
    {"above_32_bits", {"port-leds", "0x100000000", "0"}, "port-leds A B"},
    {"negative_word", {"port-leds", "-1", "0"}, "port-leds A B"},
    {"status_byte_too_big", {"temp", "all", "1", "1", "256", "1", "1"}, "temp all"},
    {"four_statuses", {"temp", "all", "1", "1", "1", "1"}, "temp all"},
    {"error_flag_too_big", {"pwrmon", "active", "300"}, "pwrmon active"},
    {"raw_without_id", {"raw"}, "raw ID"},
};
class InjectRefuses : public ::testing::TestWithParam<BadCase> {};
TEST_P(InjectRefuses, NamesTheUsageAndBuildsNothing) {
  std::vector<uint8_t> msg{0xAA};
  std::string error;
  EXPECT_FALSE(buildInjectMessage(GetParam().words, msg, error));
  EXPECT_NE(error.find(GetParam().errorHas), std::string::npos) << error;
  EXPECT_EQ(msg, std::vector<uint8_t>{0xAA});
}
INSTANTIATE_NAMED(Inject, InjectRefuses, kBadCases);

// What the card decodes out of the stand-in's next round of reports (the
// last report of each kind wins, as on the card).
struct Decoded {
  std::vector<int32_t> temperature = std::vector<int32_t>(5), status = std::vector<int32_t>(5);
  int32_t power = 0;
  uint32_t pwrmonState = 0;
  uint8_t pwrmonError = 0;
};
Decoded nextRound(const i2cdrv::Readings& r) {
  Decoded d;
  for (const auto& m : i2cdrv::periodicReports(r)) {
    switch (hwmsg::msgId(m.data(), m.size())) {
      case MSG_TEMP: {
        auto t = hwmsg::decodeTemp(m.data(), m.size());
        (t->property == hwmsg::TEMP_PROP_VALUE ? d.temperature : d.status).at(t->sensorIndex) =
            t->value;
        break;
      }
      case MSG_ADC:
        d.power = hwmsg::decodeAdc(m.data(), m.size())->value;
        break;
      case MSG_PWRMON: {
        auto p = hwmsg::decodePwrMon(m.data(), m.size());
        d.pwrmonState = p->state;
        d.pwrmonError = p->errorFlag;
        break;
      }
      default:
        ADD_FAILURE() << "unexpected report " << hwmsg::msgId(m.data(), m.size());
    }
  }
  return d;
}

struct AdoptCase {
  const char* name;
  Words words;
  bool (*holds)(const Decoded& d, const i2cdrv::Readings& r);
};
const AdoptCase kAdoptCases[] = {
    {"sensor_failed",
     {"temp", "status", "2", "0"},
     [](const Decoded& d, const i2cdrv::Readings&) {
       return d.status == std::vector<int32_t>{1, 1, 0, 1, 1};
     }},
    {"temperature",
     {"temp", "value", "4", "-7"},
     [](const Decoded& d, const i2cdrv::Readings&) { return d.temperature[4] == -7; }},
    {"all_statuses",
     {"temp", "all", "0", "1", "1", "0", "1"},
     [](const Decoded& d, const i2cdrv::Readings&) {
       return d.status == std::vector<int32_t>{0, 1, 1, 0, 1};
     }},
    {"power",
     {"adc", "power", "2500"},
     [](const Decoded& d, const i2cdrv::Readings&) { return d.power == 2500; }},
    {"power_monitor_failed",
     {"pwrmon", "fail"},
     [](const Decoded& d, const i2cdrv::Readings&) {
       return d.pwrmonState == hwmsg::PWRMON_STATE_FAIL;
     }},
    {"power_monitor_error_flag",
     {"pwrmon", "active", "4"},
     [](const Decoded& d, const i2cdrv::Readings&) { return d.pwrmonError == 4; }},
    // Self-test results are not periodic: the next self-test answer says it.
    {"adc_selftest_failed",
     {"adc", "selftest", "0"},
     [](const Decoded&, const i2cdrv::Readings& r) {
       auto req = hwmsg::adcSelfTestRequest();
       auto a = i2cdrv::selfTestAnswer(r, req.data(), req.size());
       auto m = hwmsg::decodeAdc(a.data(), a.size());
       return m && m->property == hwmsg::ADC_PROP_SELFTEST && m->value == 0;
     }},
    {"temp_selftest_failed",
     {"temp", "selftest", "0"},
     [](const Decoded&, const i2cdrv::Readings& r) {
       auto req = hwmsg::tempSelfTestRequest();
       auto a = i2cdrv::selfTestAnswer(r, req.data(), req.size());
       auto m = hwmsg::decodeTemp(a.data(), a.size());
       return m && m->property == hwmsg::TEMP_PROP_SELFTEST && m->value == 0;
     }},
};
class DriverAdopts : public ::testing::TestWithParam<AdoptCase> {};
TEST_P(DriverAdopts, InjectedReportAndTheNextRound) {
  std::vector<uint8_t> msg;
  std::string error;
  ASSERT_TRUE(buildInjectMessage(GetParam().words, msg, error)) << error;
  i2cdrv::Readings r;
  ASSERT_FALSE(GetParam().holds(nextRound(r), r)) << "already so before the inject";
  ASSERT_TRUE(i2cdrv::adopt(r, msg.data(), msg.size()));
  EXPECT_TRUE(GetParam().holds(nextRound(r), r));
}
INSTANTIATE_NAMED(Inject, DriverAdopts, kAdoptCases);

// Messages the driver does not send, and reports it cannot hold, leave its
// readings alone.
TEST(DriverAdopts, NothingElse) {
  const Words kNotAdopted[] = {{"port-leds", "1", "2"},
                               {"temp", "status", "5", "0"},
                               {"raw", "27", "1"},
                               {"raw", "26", "0", "9"}};
  for (const Words& w : kNotAdopted) {
    std::vector<uint8_t> msg;
    std::string error;
    ASSERT_TRUE(buildInjectMessage(w, msg, error)) << error;
    i2cdrv::Readings r;
    EXPECT_FALSE(i2cdrv::adopt(r, msg.data(), msg.size())) << w[0] << " " << w[1];
    EXPECT_EQ(nextRound(r).status, (std::vector<int32_t>{1, 1, 1, 1, 1}));
  }
  i2cdrv::Readings r;
  const uint8_t shortTemp[] = {26, 0, 0, 0, 0, 0, 0, 0, 1, 0};
  EXPECT_FALSE(i2cdrv::adopt(r, shortTemp, sizeof shortTemp));
}

}  // namespace
