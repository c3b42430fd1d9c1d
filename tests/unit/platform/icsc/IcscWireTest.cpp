#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "icsc/IcscWire.h"

using namespace icscwire;

namespace {

using testsupport::cellOf;

struct RoundTripCase {
  const char* name;
  std::vector<ICSCTlv> cells;
};

const RoundTripCase kRoundTrips[] = {
    {"no_cells", {}},
    {"get_request", {cellOf(0x802B0300, IcscType::NONE, 0)}},
    {"u8_max", {cellOf(1, IcscType::U8, 255)}},
    {"u16", {cellOf(2, IcscType::U16, 4464)}},
    {"u32_max", {cellOf(3, IcscType::U32, 4294967295LL)}},
    {"i8_min", {cellOf(4, IcscType::I8, -128)}},
    {"i16_neg", {cellOf(5, IcscType::I16, -25536)}},
    {"i32_min", {cellOf(6, IcscType::I32, -2147483648LL)}},
    {"bool_true", {cellOf(7, IcscType::BOOL, 1)}},
    {"string_with_nul", {cellOf(8, IcscType::STRING, 0, std::string("a\0b #*", 6))}},
    {"empty_string", {cellOf(9, IcscType::STRING, 0, "")}},
    {"mixed",
     {cellOf(1, IcscType::U16, 250), cellOf(2, IcscType::STRING, 0, "x"),
      cellOf(3, IcscType::BOOL, 0)}},
};

class WireRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(WireRoundTrip, DecodesWhatItEncoded) {
  const auto& cells = GetParam().cells;
  Header h;
  h.op = SET | RESPONSE;
  h.status = NOT_SERVED;
  h.requestId = 0xDEADBEEF;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(encode(h, cells.data(), cells.size(), bytes));
  Header got;
  std::vector<ICSCTlv> out;
  ASSERT_EQ(decode(bytes.data(), bytes.size(), got, out), Decode::OK);
  EXPECT_EQ(got.op, h.op);
  EXPECT_EQ(got.status, h.status);
  EXPECT_EQ(got.requestId, h.requestId);
  ASSERT_EQ(out.size(), cells.size());
  for (size_t i = 0; i < cells.size(); ++i) {
    EXPECT_EQ(out[i].oid, cells[i].oid);
    EXPECT_EQ(out[i].type, cells[i].type);
    EXPECT_EQ(out[i].num, cells[i].num);
    EXPECT_EQ(out[i].str, cells[i].str);
  }
}

INSTANTIATE_NAMED(Wire, WireRoundTrip, kRoundTrips);

TEST(WireLayout, FieldsAreBigEndianAtFixedOffsets) {
  Header h;
  h.op = GET;
  h.requestId = 0x01020304;
  ICSCTlv c = cellOf(0x80AABBCC, IcscType::U16, 0x1234);
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(encode(h, &c, 1, bytes));
  const std::vector<uint8_t> want = {1,    GET,  0,    1,    1, 2, 3,    4,  // header
                                     0x80, 0xAA, 0xBB, 0xCC, 2, 0, 0x00, 0x02, 0x12, 0x34};
  EXPECT_EQ(bytes, want);
}

struct DecodeCase {
  const char* name;
  std::vector<uint8_t> bytes;
  Decode want;
};

const DecodeCase kDecodeCases[] = {
    {"empty", {}, Decode::TOO_SHORT},
    {"seven_bytes", {1, 1, 0, 0, 0, 0, 0}, Decode::TOO_SHORT},
    {"header_only", {1, 1, 0, 0, 0, 0, 0, 9}, Decode::OK},
    {"bad_version", {2, 1, 0, 0, 0, 0, 0, 9}, Decode::BAD_VERSION},
    {"too_many_cells", {1, 1, 0, 65, 0, 0, 0, 9}, Decode::TOO_MANY_CELLS},
    {"count_without_cells", {1, 1, 0, 1, 0, 0, 0, 9}, Decode::TRUNCATED},
    {"partial_cell_header", {1, 1, 0, 1, 0, 0, 0, 9, 0x80, 0, 0, 0, 0}, Decode::TRUNCATED},
    {"value_past_end",
     {1, 2, 0, 1, 0, 0, 0, 9, 0x80, 0, 0, 0, 8, 0, 0, 5, 'a', 'b'},
     Decode::TRUNCATED},
    {"huge_length", {1, 2, 0, 1, 0, 0, 0, 9, 0x80, 0, 0, 0, 8, 0, 0xFF, 0xFF}, Decode::TRUNCATED},
    {"unknown_type", {1, 2, 0, 1, 0, 0, 0, 9, 0x80, 0, 0, 0, 10, 0, 0, 0}, Decode::BAD_TYPE},
    {"u16_with_one_byte",
     {1, 2, 0, 1, 0, 0, 0, 9, 0x80, 0, 0, 0, 2, 0, 0, 1, 7},
     Decode::BAD_LENGTH},
    {"none_with_value", {1, 1, 0, 1, 0, 0, 0, 9, 0x80, 0, 0, 0, 0, 0, 0, 1, 7}, Decode::BAD_LENGTH},
    {"bool_of_two", {1, 2, 0, 1, 0, 0, 0, 9, 0x80, 0, 0, 0, 7, 0, 0, 1, 2}, Decode::BAD_LENGTH},
    {"trailing_byte", {1, 1, 0, 0, 0, 0, 0, 9, 0}, Decode::TRAILING_BYTES},
    {"good_get", {1, 1, 0, 1, 0, 0, 0, 9, 0x80, 0, 0, 0, 0, 0, 0, 0}, Decode::OK},
};

class WireDecode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(WireDecode, ReturnsExpectedResult) {
  const auto& c = GetParam();
  // Decode from an exact-size heap copy so that ASan catches any over-read.
  std::vector<uint8_t> exact(c.bytes);
  Header h;
  std::vector<ICSCTlv> cells;
  EXPECT_EQ(decode(exact.empty() ? nullptr : exact.data(), exact.size(), h, cells), c.want);
}

INSTANTIATE_NAMED(Wire, WireDecode, kDecodeCases);

TEST(WireEncode, RefusesAnswersBeyondTheQueueMessage) {
  Header h;
  ICSCTlv big = cellOf(1, IcscType::STRING, 0, std::string(MAX_MESSAGE, 'x'));
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(encode(h, &big, 1, bytes));
  big.str.resize(MAX_MESSAGE - HEADER_SIZE - CELL_HEADER_SIZE);
  EXPECT_TRUE(encode(h, &big, 1, bytes));
  EXPECT_EQ(bytes.size(), MAX_MESSAGE);
}

// The front end reads and rewrites the request id of whatever it forwards,
// valid or not; nothing else in the message changes.
TEST(WireRequestId, PeekAndPokeNeedOnlyAHeader) {
  std::vector<uint8_t> bad = {9, 0xFF, 0, 200, 0x11, 0x22, 0x33, 0x44, 0xAB};
  uint32_t id = 0;
  ASSERT_TRUE(peekRequestId(bad.data(), bad.size(), id));
  EXPECT_EQ(id, 0x11223344u);
  ASSERT_TRUE(pokeRequestId(bad.data(), bad.size(), 0xCAFE0001));
  EXPECT_EQ(bad, (std::vector<uint8_t>{9, 0xFF, 0, 200, 0xCA, 0xFE, 0x00, 0x01, 0xAB}));
  std::vector<uint8_t> shortMsg(bad.begin(), bad.begin() + 7);
  EXPECT_FALSE(peekRequestId(shortMsg.data(), shortMsg.size(), id));
  EXPECT_FALSE(pokeRequestId(shortMsg.data(), shortMsg.size(), 1));
  EXPECT_EQ(shortMsg, (std::vector<uint8_t>(bad.begin(), bad.begin() + 7)));
}

}  // namespace
