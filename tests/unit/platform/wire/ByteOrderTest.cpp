#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "wire/ByteOrder.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kFields = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};

TEST(ByteOrder, SameBytesReadInEitherOrder) {
  wire::LeReader le(kFields.data(), kFields.size());
  EXPECT_EQ(le.u8(), 0x01);
  EXPECT_EQ(le.u16(), 0x0302);
  EXPECT_EQ(le.u32(), 0x07060504u);
  wire::BeReader be(kFields.data(), kFields.size());
  EXPECT_EQ(be.u8(), 0x01);
  EXPECT_EQ(be.u16(), 0x0203);
  EXPECT_EQ(be.u32(), 0x04050607u);
  EXPECT_TRUE(le.ok() && be.ok());
  EXPECT_EQ(le.left(), 0u);
}

TEST(ByteOrder, SixtyFourBitWords) {
  const Bytes b = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(wire::LeReader(b.data(), b.size()).u64(), 0x0807060504030201u);
  EXPECT_EQ(wire::BeReader(b.data(), b.size()).u64(), 0x0102030405060708u);
  Bytes out(8);
  wire::BeWriter(out.data(), out.size()).u64(0x0102030405060708u);
  EXPECT_EQ(out, b);
  wire::LeReader shortRead(b.data(), 7);
  EXPECT_EQ(shortRead.u64(), 0u);
  EXPECT_FALSE(shortRead.ok());
}

TEST(ByteOrder, WritersLayOutWhatReadersExpect) {
  Bytes le(11), be(11);
  wire::LeWriter lw(le.data(), le.size());
  wire::BeWriter bw(be.data(), be.size());
  lw.u8(0xAB);
  lw.u16(0x1234);
  lw.i32(-2);
  lw.u32(0xA1B2C3D4);
  bw.u8(0xAB);
  bw.u16(0x1234);
  bw.i32(-2);
  bw.u32(0xA1B2C3D4);
  EXPECT_EQ(le, (Bytes{0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0xD4, 0xC3, 0xB2, 0xA1}));
  EXPECT_EQ(be, (Bytes{0xAB, 0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFE, 0xA1, 0xB2, 0xC3, 0xD4}));
  EXPECT_EQ(lw.size(), 11u);
  wire::BeReader r(be.data(), be.size());
  r.skip(3);
  EXPECT_EQ(r.i32(), -2);
}

// A read past the end gives 0, consumes nothing and stays failed, even for
// a later read that would fit.
struct ShortReadCase {
  const char* name;
  size_t len;
  size_t readsOk;  // of the sequence u16, u32, u8
};

const ShortReadCase kShortReads[] = {
    {"empty", 0, 0},        {"one_byte", 1, 0}, {"half_of_the_word", 4, 1},
    {"all_but_last", 6, 2}, {"exact", 7, 3},
};

class ShortRead : public ::testing::TestWithParam<ShortReadCase> {};

TEST_P(ShortRead, FailsAtTheFirstFieldPastTheEnd) {
  const auto& c = GetParam();
  wire::LeReader r(kFields.data(), c.len);
  uint32_t got[3] = {r.u16(), r.u32(), r.u8()};
  const uint32_t want[3] = {0x0201, 0x06050403, 0x07};
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(got[i], i < c.readsOk ? want[i] : 0u) << i;
  EXPECT_EQ(r.ok(), c.readsOk == 3);
}

INSTANTIATE_NAMED(Wire, ShortRead, kShortReads);

TEST(ByteOrder, NullBufferReadsNothing) {
  wire::LeReader r(nullptr, 100);
  EXPECT_EQ(r.u8(), 0);
  EXPECT_FALSE(r.ok());
  wire::LeWriter w(nullptr, 100);
  w.u8(1);
  EXPECT_FALSE(w.ok());
}

struct TextCase {
  const char* name;
  Bytes field;
  std::string want;
};

const TextCase kTexts[] = {
    {"nul_padded", {'a', 'b', 0, 0, 0}, "ab"},
    {"fills_the_field", {'a', 'b', 'c', 'd', 'e', 'X'}, "abcde"},
    {"stops_at_first_nul", {'a', 0, 'b', 0, 0}, "a"},
    {"all_nul", {0, 0, 0, 0, 0}, ""},
};

class TextField : public ::testing::TestWithParam<TextCase> {};

// The field is 5 bytes; whatever follows it is not text.
TEST_P(TextField, EndsAtNulOrFieldSize) {
  const auto& c = GetParam();
  wire::LeReader r(c.field.data(), c.field.size());
  EXPECT_EQ(std::string(r.text(5)), c.want);
  EXPECT_EQ(r.pos(), 5u);
}

INSTANTIATE_NAMED(Wire, TextField, kTexts);

TEST(ByteOrder, TextPastTheEndIsEmptyAndPrintable) {
  Bytes b = {'a', 'b'};
  wire::LeReader r(b.data(), b.size());
  std::string_view t = r.text(5);
  EXPECT_TRUE(t.empty());
  EXPECT_NE(t.data(), nullptr);
  EXPECT_FALSE(r.ok());
}

TEST(ByteOrder, WrittenTextIsCutAndPadded) {
  Bytes b(8, 0xEE);
  wire::LeWriter w(b.data(), b.size());
  w.text("abcdef", 4);
  w.text("x", 3);
  EXPECT_EQ(b, (Bytes{'a', 'b', 'c', 'd', 'x', 0, 0, 0xEE}));
}

// A write that does not fit writes nothing and fails the writer for good.
TEST(ByteOrder, WriterStopsAtCapacity) {
  Bytes b(5, 0xEE);
  wire::BeWriter w(b.data(), b.size());
  w.u32(0x01020304);
  w.u16(0xAAAA);
  w.u8(0x05);
  EXPECT_FALSE(w.ok());
  EXPECT_EQ(w.size(), 4u);
  EXPECT_EQ(b, (Bytes{1, 2, 3, 4, 0xEE}));
  uint8_t payload[2] = {9, 9};
  wire::LeWriter z(b.data(), 1);
  z.bytes(payload, 2);
  z.zeros(1);
  EXPECT_FALSE(z.ok());
  EXPECT_EQ(b[0], 1);
}

}  // namespace
