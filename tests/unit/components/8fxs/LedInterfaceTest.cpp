#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "FakeLedDriverLink.h"
#include "TestSupport.h"
#include "drivermsg/pca9552Wire.h"
#include "ledInterface.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Pca9552Wire, RequestLayoutIsLittleEndianAt42Bytes) {
  pca9552::Pca9552Request req;
  req.command = 2;
  req.deviceId = 0x0102;
  req.pinMask = 0xFF03;
  req.value = 3;
  req.replyMode = 1;
  req.replyMsgId = 7;
  req.replyQueue = "/queueToMain";
  auto bytes = pca9552::encodeRequest(req);
  Bytes want = {0x02, 0x00, 0x02, 0x01, 0x03, 0xFF, 0x03, 0x00, 0x01, 0x00, 0x07, 0x00};
  want.resize(42, 0);
  std::copy(req.replyQueue.begin(), req.replyQueue.end(), want.begin() + 12);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), want);
  // A longer name is cut at 30 bytes, without terminator.
  req.replyQueue = std::string(40, 'q');
  bytes = pca9552::encodeRequest(req);
  EXPECT_EQ(Bytes(bytes.begin() + 12, bytes.end()), Bytes(30, 'q'));
  auto back = pca9552::decodeRequest(bytes.data(), bytes.size());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->replyQueue, std::string(30, 'q'));
}

struct LenCase {
  const char* name;
  size_t len;
  bool request;
  bool ok;
};
const LenCase kLenCases[] = {
    {"request_short", 41, true, false}, {"request_exact", 42, true, true},
    {"request_long", 43, true, false},  {"request_empty", 0, true, false},
    {"reply_short", 15, false, false},  {"reply_exact", 16, false, true},
    {"reply_long", 17, false, false},   {"reply_request_size", 42, false, false},
};
class Pca9552Length : public ::testing::TestWithParam<LenCase> {};
TEST_P(Pca9552Length, OnlyExactSizeDecodes) {
  Bytes buf(64, 0x11);
  const auto& c = GetParam();
  bool got = c.request ? pca9552::decodeRequest(buf.data(), c.len).has_value()
                       : pca9552::decodeReply(buf.data(), c.len).has_value();
  EXPECT_EQ(got, c.ok);
}
INSTANTIATE_NAMED(Wire, Pca9552Length, kLenCases);

TEST(Pca9552Wire, ReplyFieldsDecodedFromFixedBytes) {
  Bytes raw = {7, 0, 0, 0, 3, 0, 0, 0, 0x03, 0xFF, 1, 0, 2, 0, 0xAA, 0xBB};
  auto r = pca9552::decodeReply(raw.data(), raw.size());
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->msgId, 7u);
  EXPECT_EQ(r->command, 3);
  EXPECT_EQ(r->pinMask, 0xFF03);
  EXPECT_EQ(r->result, 1);
  EXPECT_EQ(r->value, 2);
  auto again = pca9552::encodeReply(*r);
  raw[14] = raw[15] = 0;  // unused bytes are written as zero
  EXPECT_EQ(Bytes(again.begin(), again.end()), raw);
}

class LedIfc : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(led.initLedInterface()); }
  // (pin mask, value) of each request sent so far.
  std::vector<std::pair<unsigned, unsigned>> sentPins() const {
    std::vector<std::pair<unsigned, unsigned>> out;
    for (const auto& d : link.sent) {
      auto req = pca9552::decodeRequest(d.data(), d.size());
      EXPECT_TRUE(req.has_value());
      if (req) {
        EXPECT_EQ(req->command, pca9552::SetOutputValueOfSelectedPinsRequest);
        EXPECT_EQ(req->replyMsgId, 7);
        EXPECT_EQ(req->replyMode, 1);
        EXPECT_EQ(req->replyQueue, "/queueToMain");
        out.emplace_back(req->pinMask, req->value);
      }
    }
    return out;
  }
  testsupport::LogCapture logs;
  FakeLedDriverLink link;
  LedInterface led{7, &link};
};

TEST_F(LedIfc, EachPinLivesInExactlyOneSet) {
  led.ledOn(5, true, true);
  led.ledOn(5, false, false);
  EXPECT_EQ(led.steadyLeds(), 1u << 5);
  EXPECT_EQ(led.fastLeds(), 0u);
  led.ledOn(8, true, false);
  led.ledOn(9, true, true);
  led.ledOn(8, true, true);
  EXPECT_EQ(led.slowLeds(), 0u);
  EXPECT_EQ(led.fastLeds(), (1u << 8) | (1u << 9));
  led.ledOff(9);
  EXPECT_EQ(led.fastLeds(), 1u << 8);
  led.ledOn(16, false, false);  // not a pin: ignored rather than throwing
  EXPECT_EQ(led.steadyLeds(), 1u << 5);
  ASSERT_TRUE(led.updateLeds());
  std::vector<std::pair<unsigned, unsigned>> want = {
      {~((1u << 5) | (1u << 8)) & 0xFF03, pca9552::OFF},
      {0, pca9552::ON},  // pin 5 never reaches the driver
      {0, pca9552::BLINK_RATE_0},
      {1u << 8, pca9552::BLINK_RATE_1}};
  EXPECT_EQ(sentPins(), want);
}

TEST_F(LedIfc, LampTestAndAllOff) {
  led.ledOn(10, true, false);
  led.allLedsOn(false);
  EXPECT_EQ(led.steadyLeds(), 0xFFFF);
  EXPECT_EQ(led.slowLeds(), 0u);
  ASSERT_TRUE(led.updateLeds());
  EXPECT_EQ(sentPins()[0].first, 0u);
  EXPECT_EQ(sentPins()[1], std::make_pair(0xFF03u, 0u));
  led.allLedsOff();
  EXPECT_EQ(led.steadyLeds() | led.slowLeds() | led.fastLeds(), 0u);
}

TEST_F(LedIfc, AbsentDriverSendsNothing) {
  link.present = false;
  EXPECT_FALSE(led.setPca9552Leds(0x100, pca9552::ON));
  EXPECT_FALSE(led.updateLeds());
  EXPECT_FALSE(led.doSelfTests());
  EXPECT_TRUE(link.sent.empty());
  EXPECT_TRUE(logs.contains("[ERROR] "));
  EXPECT_TRUE(logs.contains("pca9552Driver is not listening"));
  logs.clear();
  EXPECT_FALSE(led.canExecuteRequests(false));
  EXPECT_TRUE(logs.contains("[DEBUG1] "));
}

TEST_F(LedIfc, FailedSendIsReportedButAllFourAreTried) {
  link.failSend = true;
  EXPECT_FALSE(led.updateLeds());
  EXPECT_EQ(logs.count("Failed to send msg to pca9552Driver to set pins"), 4u);
  EXPECT_FALSE(led.doSelfTests());
  EXPECT_TRUE(
      logs.contains("Failed to send msg to pca9552Driver to request self tests: "
                    "Connection refused"));
}

TEST_F(LedIfc, SelfTestRequest) {
  ASSERT_TRUE(led.doSelfTests());
  ASSERT_EQ(link.sent.size(), 1u);
  auto req = pca9552::decodeRequest(link.sent[0].data(), link.sent[0].size());
  ASSERT_TRUE(req.has_value());
  EXPECT_EQ(req->command, pca9552::DoSelfTestsOnAllDevicesRequest);
  EXPECT_EQ(req->pinMask, 0);
  EXPECT_EQ(req->value, 0);
}

TEST(LedIfcInit, FailuresLeaveItUninitialised) {
  testsupport::LogCapture logs;
  for (bool failCreate : {true, false}) {
    FakeLedDriverLink link;
    link.failCreate = failCreate;
    link.failBind = !failCreate;
    LedInterface led(7, &link);
    EXPECT_FALSE(led.initLedInterface());
    EXPECT_FALSE(led.setPca9552Leds(0x100, 0));
    EXPECT_TRUE(link.sent.empty());
  }
  EXPECT_TRUE(logs.contains("Failed to create socket: Too many open files"));
  EXPECT_TRUE(logs.contains("Failed to bind socket: Address already in use"));
  EXPECT_TRUE(logs.contains("m_bInitialized == false => unable to send message to pca9552Driver"));
}

struct ConsoleCase {
  const char* name;
  bool on;
  const char* arg;
  const char* want;
  uint16_t wantSteady;
};
const ConsoleCase kConsoleCases[] = {
    {"on_hex", true, "0x8", "LED LED Port 1 put on successfully\n", 0x0100},
    {"on_octal", true, "010", "LED LED Port 1 put on successfully\n", 0x0100},
    {"on_15", true, "15", "LED LED Port 8 put on successfully\n", 0x8000},
    {"on_16", true, "16", "Wrong LED id to put on\n", 0},
    {"on_negative", true, "-1", "Wrong LED id to put on\n", 0},
    {"on_garbage", true, "port", "Wrong LED id to put on\n", 0},
    {"off_ok", false, "1", "LED LED Fail put off successfully\n", 0},
    {"off_bad", false, "99", "Wrong LED id to put off\n", 0},
};
class LedConsole : public ::testing::TestWithParam<ConsoleCase> {};
TEST_P(LedConsole, Output) {
  FakeLedDriverLink link;
  LedInterface led(7, &link);
  led.initLedInterface();
  std::ostringstream os;
  if (GetParam().on)
    led.dbgLedOn(GetParam().arg, os);
  else
    led.dbgLedOff(GetParam().arg, os);
  EXPECT_EQ(os.str(), GetParam().want);
  EXPECT_EQ(led.steadyLeds(), GetParam().wantSteady);
  bool accepted = std::string(GetParam().want).find("Wrong") == std::string::npos;
  EXPECT_EQ(link.sent.size(), accepted ? 4u : 0u);
}
INSTANTIATE_NAMED(Led, LedConsole, kConsoleCases);

}  // namespace
