#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "velm/VelmWire.h"

using namespace velmwire;

namespace {

std::vector<uint8_t> encode(const Request& req) {
  std::vector<uint8_t> buf(MAX_REQUEST_SIZE);
  Status st;
  size_t n = encodeRequest(req, buf.data(), buf.size(), st);
  EXPECT_EQ(st, Status::OK);
  buf.resize(n);
  return buf;
}

std::vector<uint8_t> encode(const Reply& rep) {
  std::vector<uint8_t> buf(MAX_REPLY_SIZE);
  Status st;
  size_t n = encodeReply(rep, buf.data(), buf.size(), st);
  EXPECT_EQ(st, Status::OK);
  buf.resize(n);
  return buf;
}

}  // namespace

TEST(VelmWire, RequestRoundTripKeepsEveryField) {
  const std::string longestName(MAX_NAME_LEN, 'n');  // requests only view their text
  const Request cases[] = {
      {Op::GET, 1, -1, -1, "ipbx_interdigit_duration", ""},
      {Op::SET, 0xfffffffe, 7, 39, "ipbx_speed_dial_array_", "5551234"},
      {Op::SET, 3, 15, 12, "sip_auth_password", std::string_view("a\0b", 3)},
      {Op::COMMIT, 42, -1, -1, "", ""},
      {Op::DUMP, 9, 120, -1, "", "ipbx_"},
      {Op::SET, 5, INT32_MIN, INT32_MAX, longestName, "v"},
  };
  for (const Request& in : cases) {
    std::vector<uint8_t> bytes = encode(in);
    Request out;
    ASSERT_EQ(decodeRequest(bytes.data(), bytes.size(), out), Status::OK) << in.name;
    EXPECT_EQ(out.op, in.op);
    EXPECT_EQ(out.seq, in.seq);
    EXPECT_EQ(out.index1, in.index1);
    EXPECT_EQ(out.index2, in.index2);
    EXPECT_EQ(out.name, in.name);
    EXPECT_EQ(out.value, in.value);
  }
}

TEST(VelmWire, LayoutIsLittleEndianWhateverTheHost) {
  Request req{Op::SET, 0x01020304, -1, 2, "ab", "c"};
  const std::vector<uint8_t> want = {1, 2, 0x04, 0x03, 0x02, 0x01, 0xff, 0xff, 0xff, 0xff, 2,
                                     0, 0, 0,    2,    0,    'a',  'b',  1,    0,    'c'};
  EXPECT_EQ(encode(req), want);
}

TEST(VelmWire, ReplyRoundTripWithLargestValue) {
  std::string big(MAX_VALUE_LEN, 'x');
  const Reply cases[] = {
      {Op::GET, 1, 0, "velmora 2.4.1 (bench)"},
      {Op::GET, 2, RC_NO_SUCH_PARAMETER, ""},
      {Op::DUMP, 3, 57, big},
      {Op::REBOOT, 4, RC_IO, ""},
  };
  for (const Reply& in : cases) {
    std::vector<uint8_t> bytes = encode(in);
    Reply out;
    ASSERT_EQ(decodeReply(bytes.data(), bytes.size(), out), Status::OK);
    EXPECT_EQ(out.op, in.op);
    EXPECT_EQ(out.seq, in.seq);
    EXPECT_EQ(out.rc, in.rc);
    EXPECT_EQ(out.value, in.value);
  }
}

TEST(VelmWire, EncodeRefusesOversizeFieldsAndSmallBuffers) {
  uint8_t buf[MAX_REQUEST_SIZE];
  Status st;
  std::string longName(MAX_NAME_LEN + 1, 'n');
  EXPECT_EQ(encodeRequest({Op::GET, 1, -1, -1, longName, ""}, buf, sizeof buf, st), 0u);
  EXPECT_EQ(st, Status::BAD_LENGTH);
  std::string longValue(MAX_VALUE_LEN + 1, 'v');
  EXPECT_EQ(encodeRequest({Op::SET, 1, -1, -1, "a", longValue}, buf, sizeof buf, st), 0u);
  EXPECT_EQ(st, Status::BAD_LENGTH);
  Request fits{Op::GET, 1, -1, -1, "abcdef", ""};
  size_t need = encode(fits).size();
  EXPECT_EQ(encodeRequest(fits, buf, need - 1, st), 0u);
  EXPECT_EQ(st, Status::NO_ROOM);
  EXPECT_EQ(encodeRequest(fits, buf, need, st), need);
  uint8_t rbuf[REPLY_HEADER_SIZE + 2];
  EXPECT_EQ(encodeReply({Op::GET, 1, 0, "abc"}, rbuf, sizeof rbuf, st), 0u);
  EXPECT_EQ(st, Status::NO_ROOM);
}

TEST(VelmWire, EveryTruncationIsRejected) {
  std::vector<uint8_t> req = encode(Request{Op::SET, 7, 3, -1, "ipbx_line_name", "Line 4"});
  std::vector<uint8_t> rep = encode(Reply{Op::GET, 7, 0, "Line 4"});
  Request rq;
  Reply rp;
  for (size_t len = 0; len < req.size(); ++len)
    EXPECT_NE(decodeRequest(req.data(), len, rq), Status::OK) << "request length " << len;
  for (size_t len = 0; len < rep.size(); ++len)
    EXPECT_NE(decodeReply(rep.data(), len, rp), Status::OK) << "reply length " << len;
}

struct DecodeCase {
  const char* name;
  std::vector<uint8_t> bytes;
  Status want;
};

// A valid reply is {1, op, seq x4, rc x4, len x2, value}.
const DecodeCase kReplyCases[] = {
    {"empty", {}, Status::TOO_SHORT},
    {"header_only_one_short", {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Status::TOO_SHORT},
    {"minimal_get", {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Status::OK},
    {"wrong_version", {2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Status::BAD_VERSION},
    {"op_zero", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Status::BAD_OP},
    {"op_past_last", {1, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Status::BAD_OP},
    {"length_past_end", {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 'a', 'b'}, Status::BAD_LENGTH},
    {"length_huge", {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 'a'}, Status::BAD_LENGTH},
    {"trailing_byte", {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 'a', 'b'}, Status::TRAILING_DATA},
    {"negative_rc", {1, 1, 0, 0, 0, 0, 0xfe, 0xff, 0xff, 0xff, 0, 0}, Status::OK},
};

// A valid request is {1, op, seq x4, i1 x4, i2 x4, nlen x2, name, vlen x2, value}.
const DecodeCase kRequestCases[] = {
    {"empty", {}, Status::TOO_SHORT},
    {"no_value_length", {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 'a'}, Status::TOO_SHORT},
    {"minimal_commit", {1, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Status::OK},
    {"wrong_version", {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Status::BAD_VERSION},
    {"op_unknown", {1, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Status::BAD_OP},
    {"name_past_end",
     {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0, 'a', 0, 0},
     Status::BAD_LENGTH},
    {"name_over_limit",
     {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, MAX_NAME_LEN + 1, 0},
     Status::BAD_LENGTH},
    {"value_past_end",
     {1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 'x'},
     Status::BAD_LENGTH},
    {"trailing_byte",
     {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9},
     Status::TRAILING_DATA},
};

class DecodeReplyCases : public ::testing::TestWithParam<DecodeCase> {};
class DecodeRequestCases : public ::testing::TestWithParam<DecodeCase> {};
TEST_P(DecodeReplyCases, ReturnsExpectedStatus) {
  Reply out;
  EXPECT_EQ(decodeReply(GetParam().bytes.data(), GetParam().bytes.size(), out), GetParam().want);
}
TEST_P(DecodeRequestCases, ReturnsExpectedStatus) {
  Request out;
  EXPECT_EQ(decodeRequest(GetParam().bytes.data(), GetParam().bytes.size(), out), GetParam().want);
}
INSTANTIATE_NAMED(Wire, DecodeReplyCases, kReplyCases);
INSTANTIATE_NAMED(Wire, DecodeRequestCases, kRequestCases);

TEST(VelmWire, CredentialNamesAreRecognised) {
  const struct {
    const char* name;
    bool secret;
  } cases[] = {
      {"nat_stun_server_password", true},
      {"nat_stun_server_user_name", true},
      {"sip_auth_user", true},
      {"voip_provider_USERNAME", true},
      {"ipbx_interdigit_duration", false},
      {"ata_firmware_revision", false},
      {"sip_user_agent", false},
      {"", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(isCredentialName(c.name), c.secret) << c.name;
}
