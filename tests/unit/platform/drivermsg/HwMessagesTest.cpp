#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "drivermsg/hwMessages.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(HwMessages, AdcFieldsFromFixedBytes) {
  Bytes raw = {0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE, 1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF};
  auto m = hwmsg::decodeAdc(raw.data(), raw.size());
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->property, 1u);
  EXPECT_EQ(m->value, -2);
  EXPECT_EQ(hwmsg::encodeAdc(1, -2)[12], 0xFE);
}

TEST(HwMessages, TempAllSensorsArePacked5ByteRecords) {
  std::array<hwmsg::TempRecord, 5> recs{};
  for (int i = 0; i < 5; ++i)
    recs[i] = {0x01020300 + i, static_cast<uint8_t>(i % 2)};
  Bytes raw = hwmsg::encodeTempAll(recs);
  ASSERT_EQ(raw.size(), 37u);
  // Record 2 starts at 12 + 5 * 2 = 22.
  EXPECT_EQ(Bytes(raw.begin() + 22, raw.begin() + 27), (Bytes{0x02, 0x03, 0x02, 0x01, 0x00}));
  auto m = hwmsg::decodeTemp(raw.data(), raw.size());
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->property, 3u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(m->all[i].temperature, 0x01020300 + i);
    EXPECT_EQ(m->all[i].status, i % 2);
  }
}

TEST(HwMessages, PowerMonitorFieldByField) {
  Bytes raw(64, 0);
  raw[0] = 19;
  const char text[] = "ABCDEFGHIJ";  // no terminator within the 8-byte field
  for (int i = 0; i < 8; ++i)
    raw[4 + i] = static_cast<uint8_t>(text[i]);
  raw[12] = 0x5A;
  raw[16] = 1;
  raw[20] = 1;
  for (int i = 0; i < 7; ++i) {
    raw[28 + i] = static_cast<uint8_t>(i != 3);
    uint32_t mv = 1000u + static_cast<uint32_t>(i);
    raw[36 + 4 * i] = static_cast<uint8_t>(mv);
    raw[37 + 4 * i] = static_cast<uint8_t>(mv >> 8);
  }
  auto m = hwmsg::decodePwrMon(raw.data(), raw.size());
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->text, "ABCDEFGH");
  EXPECT_EQ(m->statusValue, 0x5A);
  EXPECT_EQ(m->state, 1u);
  EXPECT_EQ(m->errorFlag, 1);
  EXPECT_EQ(m->valid[3], 0);
  EXPECT_EQ(m->valid[6], 1);
  EXPECT_EQ(m->millivolts[6], 1006);
  EXPECT_EQ(m->raw[0], 'A');
  EXPECT_EQ(hwmsg::encodePwrMon(*m), raw);
}

struct ShortCase {
  const char* name;
  uint32_t id;
  Bytes full;
  size_t needed;
};

class HwShortMessages : public ::testing::TestWithParam<ShortCase> {};

// Every prefix shorter than the layout is refused with the size it needed;
// the full message and an oversized one decode.
TEST_P(HwShortMessages, RefusedBelowLayoutSize) {
  const auto& c = GetParam();
  auto decode = [&](const Bytes& b, size_t* needed) -> bool {
    switch (c.id) {
      case MSG_ADC:
        return hwmsg::decodeAdc(b.data(), b.size(), needed).has_value();
      case MSG_TEMP:
        return hwmsg::decodeTemp(b.data(), b.size(), needed).has_value();
      case MSG_PWRMON:
        return hwmsg::decodePwrMon(b.data(), b.size(), needed).has_value();
      default:
        return hwmsg::decodePortLed(b.data(), b.size(), needed).has_value();
    }
  };
  for (size_t len = 0; len < c.full.size(); ++len) {
    // A copy of exactly len bytes, so a read past it is caught by ASan.
    Bytes prefix(c.full.begin(), c.full.begin() + static_cast<long>(len));
    size_t needed = 0;
    EXPECT_FALSE(decode(prefix, &needed)) << "len " << len;
    if (len >= 12 || c.id != MSG_TEMP) {
      EXPECT_EQ(needed, c.needed) << "len " << len;
    }
  }
  size_t needed = 0;
  EXPECT_TRUE(decode(c.full, &needed));
  Bytes big = c.full;
  big.resize(2000, 0xCC);
  EXPECT_TRUE(decode(big, &needed));
}

const ShortCase kShortCases[] = {
    {"adc", MSG_ADC, hwmsg::encodeAdc(0, 5), 16},
    {"temp_value", MSG_TEMP, hwmsg::encodeTemp(0, 1, 40), 20},
    {"temp_all", MSG_TEMP, hwmsg::encodeTempAll({}), 37},
    {"pwrmon", MSG_PWRMON, hwmsg::encodePwrMon({}), 64},
    {"port_led", MSG_PORT_LED, hwmsg::encodePortLed({1, 2, 3}), 16},
};
INSTANTIATE_NAMED(Wire, HwShortMessages, kShortCases);

TEST(HwMessages, TempUnknownPropertyNeedsOnlyThePropertyWord) {
  Bytes raw = hwmsg::encodeWords({26, 0, 9});
  auto m = hwmsg::decodeTemp(raw.data(), raw.size());
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->property, 9u);
}

TEST(HwMessages, SelfTestRequestsAreRecognised) {
  Bytes adc = hwmsg::adcSelfTestRequest();
  Bytes temp = hwmsg::tempSelfTestRequest();
  EXPECT_EQ(adc, (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(temp.size(), 20u);
  EXPECT_EQ(hwmsg::classifySelfTestRequest(adc.data(), adc.size()), hwmsg::SelfTestKind::ADC);
  EXPECT_EQ(hwmsg::classifySelfTestRequest(temp.data(), temp.size()), hwmsg::SelfTestKind::TEMP);
  EXPECT_EQ(hwmsg::classifySelfTestRequest(adc.data(), 11), hwmsg::SelfTestKind::NONE);
  EXPECT_EQ(hwmsg::classifySelfTestRequest(temp.data(), 16), hwmsg::SelfTestKind::NONE);
  EXPECT_EQ(hwmsg::msgId(adc.data(), 3), 0xFFFFFFFFu);
}

}  // namespace
