// The card state machine and the hardware handlers driven message by
// message, with a fake LED driver and a recording I2C request sink.
#include <gtest/gtest.h>
#include <mqueue.h>

#include <string>
#include <vector>

#include "FakeLedDriverLink.h"
#include "Ifc.h"
#include "TestSupport.h"
#include "common/CommonRecords.h"
#include "debug/Odebug.h"
#include "drivermsg/hwMessages.h"
#include "drivermsg/pca9552Wire.h"

namespace {

using Bytes = std::vector<uint8_t>;
using CO = commonStatCtrl;
using namespace commonrec;

class TestIfc : public Ifc {
 public:
  explicit TestIfc(LedDriverLink* link) : Ifc("main", link) {}
  bool sendToI2cDrv(const std::vector<uint8_t>& msg) override {
    if (i2cFails)
      return false;
    i2cSent.push_back(msg);
    return true;
  }
  void deliver(const Bytes& msg) {
    Bytes copy = msg;
    dispatch(static_cast<int>(copy.size()), reinterpret_cast<char*>(copy.data()));
  }
  void tick() { deliver(hwmsg::encodeTick(++ticks)); }

  bool i2cFails = false;
  std::vector<Bytes> i2cSent;
  uint32_t ticks = 0;
};

Bytes pcaReply(uint16_t command, uint16_t result, uint16_t pins = 0, uint16_t value = 0) {
  pca9552::Pca9552Reply r;
  r.msgId = 7;
  r.command = command;
  r.pinMask = pins;
  r.result = result;
  r.value = value;
  auto b = pca9552::encodeReply(r);
  return Bytes(b.begin(), b.end());
}

class IfcFsm : public ::testing::Test {
 protected:
  void SetUp() override {
    mq_unlink("/queueToMain");
    g_traceObject = new TraceObject("test", 9);
    logs = std::make_unique<testsupport::LogCapture>(9);
    ifc = std::make_unique<TestIfc>(&link);
    ifc->setFsmState(Ifc::START_SELF_TESTS);
  }
  void TearDown() override {
    ifc.reset();
    logs.reset();
  }
  // A common object's cell as the chassis reads it.
  ICSCTlv common(unsigned object, unsigned record, unsigned instance = 0) {
    return testsupport::readCommon(ifc->common(), object, record, instance);
  }
  void allResults(int adc, int temp, uint16_t pca) {
    ifc->deliver(hwmsg::encodeAdc(hwmsg::ADC_PROP_SELFTEST, adc));
    ifc->deliver(hwmsg::encodeTemp(hwmsg::TEMP_PROP_SELFTEST, 0, temp));
    ifc->deliver(pcaReply(pca9552::DoSelfTestsOnAllDevicesReply, pca));
  }
  // Set-pins requests sent since the last call: (mask, value).
  std::vector<std::pair<unsigned, unsigned>> takeLedPushes() {
    std::vector<std::pair<unsigned, unsigned>> out;
    for (const auto& d : link.sent) {
      auto r = pca9552::decodeRequest(d.data(), d.size());
      if (r && r->command == pca9552::SetOutputValueOfSelectedPinsRequest)
        out.emplace_back(r->pinMask, r->value);
    }
    link.sent.clear();
    return out;
  }

  FakeLedDriverLink link;
  std::unique_ptr<testsupport::LogCapture> logs;
  std::unique_ptr<TestIfc> ifc;
};

TEST_F(IfcFsm, SelfTestsPassThroughLampTestToActive) {
  ifc->tick();
  EXPECT_EQ(ifc->state(), Ifc::SELF_TESTS_BUSY);
  EXPECT_EQ(ifc->allLedsOnCntr(), 2u);
  ASSERT_EQ(ifc->i2cSent.size(), 2u);
  EXPECT_EQ(ifc->i2cSent[0], hwmsg::adcSelfTestRequest());
  EXPECT_EQ(ifc->i2cSent[1], hwmsg::tempSelfTestRequest());
  auto lamp = takeLedPushes();
  ASSERT_EQ(lamp.size(), 4u);
  EXPECT_EQ(lamp[1], std::make_pair(0xFF03u, 0u));  // everything steadily on
  EXPECT_TRUE(logs->contains("selftests started"));

  allResults(1, 1, 0);
  for (unsigned i = 0; i < 3; ++i)
    EXPECT_EQ(ifc->selfTestStatus(static_cast<Ifc::SelfTestId>(i)), Ifc::SUCCEEDED);
  EXPECT_TRUE(ifc->card().m_pca9552StatusValid);

  // Lamp test: from the start tick until the counter passes 5.
  std::vector<Ifc::CardState> seen;
  for (int i = 0; i < 6; ++i) {
    ifc->tick();
    seen.push_back(ifc->state());
    if (ifc->state() != Ifc::ACTIVE) {
      EXPECT_TRUE(takeLedPushes().empty()) << "lamp test must stay on at tick " << ifc->ticks;
    }
  }
  std::vector<Ifc::CardState> want(4, Ifc::ACTIVE_ALL_LEDS_ON);
  want.resize(6, Ifc::ACTIVE);
  EXPECT_EQ(seen, want);
  EXPECT_EQ(ifc->allLedsOnCntr(), 0u);
  // In ACTIVE every tick pushes the model with pins 0 and 1 off.
  EXPECT_EQ(takeLedPushes().size(), 8u);
  ifc->tick();
  auto pushes = takeLedPushes();
  ASSERT_EQ(pushes.size(), 4u);
  EXPECT_EQ(pushes[0].first & 0x3u, 0x3u);
  EXPECT_EQ(pushes[1].first & 0x3u, 0u);
}

TEST_F(IfcFsm, FailedResultsStillReachActive) {
  ifc->tick();
  allResults(0, 5, 1);
  for (unsigned i = 0; i < 3; ++i)
    EXPECT_EQ(ifc->selfTestStatus(static_cast<Ifc::SelfTestId>(i)), Ifc::FAILED);
  EXPECT_TRUE(logs->contains("SELF_TEST_ADC failed"));
  EXPECT_TRUE(ifc->card().m_hwErrMon.isActive("ADS1000 ADC"));
  EXPECT_TRUE(ifc->card().m_hwErrMon.isActive("MAX6602 TempSensor"));
  EXPECT_FALSE(ifc->card().m_hwErrMon.isActive("PCA9552BS Driver"));
  for (int i = 0; i < 6; ++i)
    ifc->tick();
  EXPECT_EQ(ifc->state(), Ifc::ACTIVE);
}

TEST_F(IfcFsm, SilentDriversLeadToFailWithLampTestLeftOn) {
  ifc->tick();
  takeLedPushes();
  unsigned tick = 1;
  while (ifc->state() == Ifc::SELF_TESTS_BUSY && tick < 30) {
    ifc->tick();
    ++tick;
  }
  EXPECT_EQ(ifc->state(), Ifc::FAIL);
  EXPECT_EQ(tick, 13u);
  EXPECT_TRUE(logs->contains("Failed to receive self test results within timeout period"));
  EXPECT_TRUE(takeLedPushes().empty());
  ifc->tick();
  EXPECT_EQ(ifc->state(), Ifc::FAIL);
}

TEST_F(IfcFsm, AbsentLedDriverGivesUpAfterTenAttempts) {
  link.present = false;
  for (unsigned tick = 1; tick <= 10; ++tick) {
    ifc->tick();
    EXPECT_EQ(ifc->state(), Ifc::START_SELF_TESTS) << "tick " << tick;
  }
  EXPECT_EQ(logs->count("Failed to start selftests"), 10u);
  ifc->tick();
  EXPECT_EQ(ifc->state(), Ifc::ACTIVE);
  EXPECT_EQ(ifc->selfTestStatus(Ifc::SELF_TEST_PCA9552_DEVICE), Ifc::NOT_STARTED);
  EXPECT_TRUE(link.sent.empty());
  ifc->tick();
  EXPECT_TRUE(logs->contains("Unable to update LEDs"));
}

TEST_F(IfcFsm, I2cQueueFullRetriesOnNextTick) {
  ifc->i2cFails = true;
  ifc->tick();
  EXPECT_EQ(ifc->state(), Ifc::START_SELF_TESTS);
  EXPECT_EQ(ifc->selfTestStatus(Ifc::SELF_TEST_ADC), Ifc::NOT_STARTED);
  EXPECT_EQ(ifc->selfTestStatus(Ifc::SELF_TEST_PCA9552_DEVICE), Ifc::STARTED);
  ifc->i2cFails = false;
  ifc->tick();
  EXPECT_EQ(ifc->state(), Ifc::SELF_TESTS_BUSY);
  EXPECT_EQ(ifc->selftestTimer(), 0u);
}

struct PortCase {
  const char* name;
  uint32_t wordA;
  uint32_t wordB;
  uint16_t steady, slow, fast;
};
// Ports 1..8 sit on pins 8, 10, 12, 14, 9, 11, 13, 15.
const PortCase kPortCases[] = {
    {"all_zero_blink_slowly", 0, 0, 0, 0xFF00, 0},
    {"a_only_blinks_fast", 0x1, 0, 0, 0xFF00 & ~0x0100, 0x0100},
    {"b_only_is_off", 0, 0x2, 0, 0xFF00 & ~0x0400, 0},
    {"b_high_byte_counts", 0, 0x100, 0, 0xFF00 & ~0x0100, 0},
    {"a_and_b_steady", 0x10, 0x1000, 0x0200, 0xFF00 & ~0x0200, 0},
    {"bits_past_port_8_ignored", 0xFFFFFF00, 0, 0, 0xFF00, 0},
    {"all_on", 0xFF, 0xFF, 0xFF00, 0, 0},
};
class PortLeds : public IfcFsm, public ::testing::WithParamInterface<PortCase> {};
TEST_P(PortLeds, FollowPortFlags) {
  const auto& c = GetParam();
  ifc->deliver(hwmsg::encodePortLed({0xABCD, c.wordA, c.wordB}));
  EXPECT_EQ(ifc->card().m_vocalAlarm, 0xABCDu);
  EXPECT_EQ(ifc->leds().steadyLeds(), c.steady);
  EXPECT_EQ(ifc->leds().slowLeds(), c.slow);
  EXPECT_EQ(ifc->leds().fastLeds(), c.fast);
  EXPECT_EQ(takeLedPushes().size(), 4u) << "message 29 pushes in every state";
  // The chassis reads what the LEDs show.
  EXPECT_EQ(common(CO::CO_CARD_STATE, commonrec::CARDSTATE_LEDS_ON).num, c.steady);
  EXPECT_EQ(common(CO::CO_CARD_STATE, commonrec::CARDSTATE_LEDS_SLOW).num, c.slow);
  EXPECT_EQ(common(CO::CO_CARD_STATE, commonrec::CARDSTATE_LEDS_FAST).num, c.fast);
}
INSTANTIATE_NAMED(Ifc, PortLeds, kPortCases);

TEST(IfcLedForPort, NoPinOutsidePorts1To8) {
  EXPECT_EQ(Ifc::ledForPort(0), 0u);
  EXPECT_EQ(Ifc::ledForPort(9), 0u);
}

TEST_F(IfcFsm, TemperatureErrorFollowsSensorsAndSelfTest) {
  const char* kErr = "MAX6602 TempSensor";
  auto& mon = ifc->card().m_hwErrMon;
  ifc->deliver(hwmsg::encodeTemp(hwmsg::TEMP_PROP_STATUS, 2, 0));
  EXPECT_TRUE(mon.isActive(kErr));
  EXPECT_TRUE(logs->contains("Activating HwError bcoz of temp sensor 2"));
  // An all-sensors report that still says 0 for sensor 2 keeps it.
  std::array<hwmsg::TempRecord, 5> recs{};
  for (auto& r : recs)
    r = {40, 1};
  recs[2].status = 0;
  ifc->deliver(hwmsg::encodeTempAll(recs));
  EXPECT_TRUE(mon.isActive(kErr));
  recs[2].status = 1;
  ifc->deliver(hwmsg::encodeTempAll(recs));
  EXPECT_FALSE(mon.isActive(kErr));
  EXPECT_TRUE(ifc->card().m_temperatures[2].statusKnown);
  // A failed self test keeps the error whatever the sensors say.
  ifc->deliver(hwmsg::encodeTemp(hwmsg::TEMP_PROP_SELFTEST, 0, 0));
  EXPECT_TRUE(mon.isActive(kErr));
  ifc->deliver(hwmsg::encodeTemp(hwmsg::TEMP_PROP_STATUS, 1, 1));
  EXPECT_TRUE(mon.isActive(kErr));
  ifc->deliver(hwmsg::encodeTemp(hwmsg::TEMP_PROP_SELFTEST, 0, 1));
  EXPECT_FALSE(mon.isActive(kErr));
  EXPECT_EQ(common(CO::CO_TEMPERATURE, TEMP_VALID, 2).num, 1);
  EXPECT_EQ(common(CO::CO_HW_ERROR, ERR_ACTIVE, 3).num, 0);
}

TEST_F(IfcFsm, TemperatureBadSensorAndPropertyAreNotHandled) {
  auto handle = [&](const Bytes& m) {
    return ifc->handleTempMsg(static_cast<int>(m.size()), reinterpret_cast<const char*>(m.data()));
  };
  EXPECT_FALSE(handle(hwmsg::encodeTemp(0, 5, 30)));
  EXPECT_TRUE(logs->contains("invalid temp sensor 5"));
  EXPECT_FALSE(handle(hwmsg::encodeTemp(7, 0, 0)));
  EXPECT_TRUE(logs->contains("invalid prop 7"));
  EXPECT_FALSE(ifc->card().m_max6602StatusValid);
  EXPECT_TRUE(handle(hwmsg::encodeTemp(0, 4, 55)));
  EXPECT_EQ(ifc->card().m_temperatures[4].temperature, 55);
  EXPECT_TRUE(ifc->card().m_max6602StatusValid);
}

TEST_F(IfcFsm, PowerMonitorIdleRaisesErrorAndInvalidatesVoltages) {
  hwmsg::PowerMonitorMsg pm;
  pm.state = hwmsg::PWRMON_STATE_ACTIVE;
  pm.text = "0x17";
  pm.statusValue = 3;
  for (unsigned i = 0; i < 7; ++i) {
    pm.valid[i] = i != 4;
    pm.millivolts[i] = 1000 + static_cast<int32_t>(i);
  }
  ifc->deliver(hwmsg::encodePwrMon(pm));
  EXPECT_FALSE(ifc->card().m_hwErrMon.isActive("MAX16046 PowerMon"));
  EXPECT_EQ(common(CO::CO_VOLTAGE, VOLT_VALID, 0).num, 1);
  EXPECT_EQ(common(CO::CO_VOLTAGE, VOLT_VALUE, 6).num, 1006);
  EXPECT_EQ(common(CO::CO_VOLTAGE, VOLT_VALID, 4).num, 0);
  EXPECT_EQ(common(CO::CO_VOLTAGE_MONITOR, VMON_VERSION).num, 0x17);
  EXPECT_EQ(common(CO::CO_VOLTAGE_MONITOR, VMON_UPDATE_FAILED).num, 1);

  pm.state = hwmsg::PWRMON_STATE_IDLE;
  pm.errorFlag = 0;
  ifc->deliver(hwmsg::encodePwrMon(pm));
  EXPECT_TRUE(ifc->card().m_hwErrMon.isActive("MAX16046 PowerMon"));
  for (unsigned i = 0; i < 7; ++i)
    EXPECT_EQ(common(CO::CO_VOLTAGE, VOLT_VALID, i).num, 0) << i;
  EXPECT_EQ(common(CO::CO_VOLTAGE_MONITOR, VMON_HW_ERROR).num, 1);
  EXPECT_EQ(common(CO::CO_STATUS, STATUS_HW_ERROR).num, 1);
  EXPECT_EQ(ifc->card().m_pwrmonStatusValid, 2);
}

TEST_F(IfcFsm, AdcReportsAndAllDataValid) {
  ifc->deliver(hwmsg::encodeAdc(hwmsg::ADC_PROP_POWER, 2750));
  EXPECT_EQ(ifc->card().m_power, 2750);
  EXPECT_EQ(common(CO::CO_STATUS, STATUS_POWER).num, 2750);
  ifc->deliver(hwmsg::encodeAdc(9, 1));
  EXPECT_TRUE(logs->contains("invalid prop 9"));
  EXPECT_TRUE(ifc->card().m_adcStatusValid);
  EXPECT_FALSE(ifc->card().allDataValid());
  ifc->deliver(hwmsg::encodeTemp(0, 0, 40));
  ifc->deliver(pcaReply(pca9552::DoSelfTestsOnAllDevicesReply, 0));
  EXPECT_FALSE(ifc->card().allDataValid());
  ifc->deliver(hwmsg::encodePwrMon({}));
  EXPECT_TRUE(ifc->card().allDataValid());
}

// Each handler drops a message one byte short of its layout; in full these
// would complete a self test or set the port LEDs.
TEST_F(IfcFsm, TruncatedMessagesAreLoggedAndDropped) {
  const Bytes full[] = {hwmsg::encodeAdc(hwmsg::ADC_PROP_SELFTEST, 1),
                        hwmsg::encodeTemp(hwmsg::TEMP_PROP_SELFTEST, 0, 1),
                        hwmsg::encodeTempAll({}),
                        hwmsg::encodePwrMon({}),
                        hwmsg::encodePortLed({1, 0, 0}),
                        pcaReply(pca9552::DoSelfTestsOnAllDevicesReply, 0)};
  for (Bytes msg : full) {
    msg.pop_back();
    ifc->deliver(msg);
  }
  EXPECT_EQ(logs->count("bytes is shorter than"), 5u);
  EXPECT_TRUE(logs->contains("nBytesReceived [15] != nBytesExpected [16]"));
  EXPECT_FALSE(ifc->card().m_adcStatusValid);
  EXPECT_FALSE(ifc->card().m_max6602StatusValid);
  EXPECT_FALSE(ifc->card().m_pca9552StatusValid);
  EXPECT_EQ(ifc->card().m_pwrmonStatusValid, 0);
  EXPECT_EQ(ifc->selfTestStatus(Ifc::SELF_TEST_ADC), Ifc::NOT_STARTED);
  EXPECT_EQ(ifc->card().m_vocalAlarm, 0u);
  EXPECT_EQ(ifc->leds().slowLeds(), 0u);
}

TEST_F(IfcFsm, Pca9552ReplyCommands) {
  ifc->deliver(pcaReply(pca9552::SetOutputValueOfSelectedPinsReply, 1, 0x300, 2));
  EXPECT_TRUE(logs->contains("Failed to set pins=0x300 to BLINK_RATE_0 [=2]"));
  ifc->deliver(pcaReply(5, 0));
  EXPECT_TRUE(logs->contains("Message received with invalid command value [5]"));
  EXPECT_FALSE(ifc->card().m_pca9552StatusValid);
}

// Lines the card owes for every message are written for every one at an
// ordinary rate (10 a second, here for two minutes of the limits' clock);
// only a flood meets the log limit.
struct OwedCase {
  const char* name;
  Bytes msg;          // a message to the controller,
  const char* typed;  // or a line an engineer types on the console
  const char* line;
};

Bytes withText(uint32_t id, const std::string& text) {
  Bytes b = hwmsg::encodeWords({id});
  b.insert(b.end(), text.begin(), text.end());
  return b;
}

Bytes shortened(Bytes b) {
  b.pop_back();
  return b;
}

const OwedCase kOwed[] = {
    {"unknown_msgid", hwmsg::encodeWords({4242, 0}), nullptr, "Unknown msgid 4242 received"},
    {"udp_too_short", withText(MSG_UDP, "172.30.20.10"), nullptr, "Message received is too short"},
    {"udp_not_answered", withText(MSG_UDP, std::string("172.30.20.10\0\0\0", 15) + "abc"), nullptr,
     "no need to send response or response send failed!"},
    {"adc_property", hwmsg::encodeAdc(9, 0), nullptr, "invalid prop 9"},
    {"temp_sensor", hwmsg::encodeTemp(0, 5, 40), nullptr, "invalid temp sensor 5"},
    {"temp_property", hwmsg::encodeTemp(7, 0, 0), nullptr, "invalid prop 7"},
    {"pca_size", shortened(pcaReply(pca9552::DoSelfTestsOnAllDevicesReply, 0)), nullptr,
     "nBytesReceived [15] != nBytesExpected [16]"},
    {"pca_set_failed", pcaReply(pca9552::SetOutputValueOfSelectedPinsReply, 1, 0x300, 2), nullptr,
     "Failed to set pins=0x300"},
    {"pca_command", pcaReply(5, 0), nullptr, "invalid command value [5]"},
    {"port_status_short", shortened(hwmsg::encodePortLed({1, 0, 0})), nullptr,
     "bytes is shorter than"},
    {"velm_get_output", {}, "velm get ipbx_no_such", "(command) - output="},
    {"velm_get_ended", {}, "velm get ipbx_no_such", "command ended"},
};

class OwedLine : public IfcFsm, public ::testing::WithParamInterface<OwedCase> {};

TEST_P(OwedLine, IsWrittenEveryTimeAtTenASecond) {
  testsupport::LimitClock clock;
  logs->clear();
  const unsigned n = 1200;
  for (unsigned i = 0; i < n; ++i, clock.advance(100)) {
    if (GetParam().typed != nullptr) {
      std::ostringstream os;
      Odebug::runCommandLine(GetParam().typed, os);
    } else {
      ifc->deliver(GetParam().msg);
    }
  }
  EXPECT_EQ(logs->count(GetParam().line), n);
  EXPECT_FALSE(logs->contains("similar messages suppressed"));
}

INSTANTIATE_NAMED(Ifc, OwedLine, kOwed);

}  // namespace
