#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "drivermsg/udpQueueMsg.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Message 28 from "172.30.30.2" carrying `icsc`, cut to `len` bytes.
Bytes message(size_t len, const std::string& addr = "172.30.30.2", const Bytes& icsc = {7, 8}) {
  Bytes b = {28, 0, 0, 0};
  std::string field = addr;
  field.resize(udpmsg::ADDR_SIZE, '\0');
  b.insert(b.end(), field.begin(), field.end());
  b.insert(b.end(), icsc.begin(), icsc.end());
  b.resize(len);
  return b;
}

struct DecodeCase {
  const char* name;
  Bytes bytes;
  bool complete;
  std::string sender;
  size_t icscLen;
};

const DecodeCase kDecodeCases[] = {
    {"empty", {}, false, "", 0},
    {"part_of_the_id", message(3), false, "", 0},
    {"id_only", message(4), false, "", 0},
    {"part_of_the_address", message(7), false, "172", 0},
    {"address_without_message", message(19), false, "172.30.30.2", 0},
    {"one_byte_message", message(20), true, "172.30.30.2", 1},
    {"address_fills_its_field", message(21, "255.255.255.255X"), true, "255.255.255.255", 2},
    {"empty_address", message(21, ""), true, "", 2},
};

class UdpQueueDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(UdpQueueDecode, ViewsTheFieldsThatArrived) {
  const auto& c = GetParam();
  udpmsg::UdpQueueMsg m;
  EXPECT_EQ(udpmsg::decode(c.bytes.data(), c.bytes.size(), m), c.complete);
  EXPECT_EQ(std::string(m.sender), c.sender);
  EXPECT_NE(m.sender.data(), nullptr);
  EXPECT_EQ(m.icscLen, c.icscLen);
  if (c.complete) {
    EXPECT_EQ(m.id, 28u);
    EXPECT_EQ(m.icsc, c.bytes.data() + udpmsg::HEADER_SIZE);
  }
}

INSTANTIATE_NAMED(Wire, UdpQueueDecode, kDecodeCases);

TEST(UdpQueueMsg, EncodeCutsTheAddressAndPadsIt) {
  Bytes icsc = {1, 2, 3};
  Bytes buf(udpmsg::MAX_SIZE, 0xEE);
  size_t n = udpmsg::encode(28, "10.0.0.7", icsc.data(), icsc.size(), buf.data(), buf.size());
  buf.resize(n);
  EXPECT_EQ(buf, message(22, "10.0.0.7", icsc));
  n = udpmsg::encode(28, "1234567890123456789", icsc.data(), icsc.size(), buf.data(), 22);
  udpmsg::UdpQueueMsg m;
  ASSERT_TRUE(udpmsg::decode(buf.data(), n, m));
  EXPECT_EQ(m.sender, "123456789012345");
}

struct EncodeLimitCase {
  const char* name;
  size_t icscLen;
  size_t cap;
  size_t want;
};

const EncodeLimitCase kEncodeLimits[] = {
    {"largest_message", udpmsg::MAX_ICSC_SIZE, 4096, udpmsg::MAX_SIZE},
    {"one_byte_over_the_queue", udpmsg::MAX_ICSC_SIZE + 1, 4096, 0},
    {"buffer_one_byte_short", 10, udpmsg::HEADER_SIZE + 9, 0},
    {"buffer_exact", 10, udpmsg::HEADER_SIZE + 10, udpmsg::HEADER_SIZE + 10},
};

class UdpQueueEncode : public ::testing::TestWithParam<EncodeLimitCase> {};

TEST_P(UdpQueueEncode, RefusesWhatDoesNotFit) {
  const auto& c = GetParam();
  Bytes icsc(c.icscLen, 0x5A);
  Bytes buf(c.cap);
  EXPECT_EQ(udpmsg::encode(28, "1.2.3.4", icsc.data(), icsc.size(), buf.data(), buf.size()),
            c.want);
}

INSTANTIATE_NAMED(Wire, UdpQueueEncode, kEncodeLimits);

TEST(UdpQueueMsg, BoundedSenderReadsAtMostTheField) {
  const char unterminated[] = {'1', '2', '3', '4', '5', '6', '7', '8',
                               '9', '0', '1', '2', '3', '4', '5', 'X'};
  EXPECT_EQ(udpmsg::boundedSender(unterminated), "123456789012345");
  EXPECT_EQ(udpmsg::boundedSender("10.0.0.7"), "10.0.0.7");
  EXPECT_EQ(udpmsg::boundedSender(nullptr), "");
}

}  // namespace
