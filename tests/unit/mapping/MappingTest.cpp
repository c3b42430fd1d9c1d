#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "FakeVelmUtil.h"
#include "IcscObjects8fxs.h"
#include "MappedObjects.h"
#include "TestSupport.h"

using namespace mapping;

namespace {

// A one-column scratch object per codec to exercise the conversions alone.
struct ConvCase {
  const char* name;
  Codec codec;
  IcscType type;
  const char* engineText;
  const char* want;  // property value as text after the read
  const char* back;  // text written back to the engine
};

const ConvCase kConvCases[] = {
    {"bool_zero", Codec::BOOL, IcscType::BOOL, "0", "false", "0"},
    {"bool_double_zero", Codec::BOOL, IcscType::BOOL, "00", "true", "1"},
    {"bool_word_false", Codec::BOOL, IcscType::BOOL, "false", "true", "1"},
    {"bool_empty", Codec::BOOL, IcscType::BOOL, "", "true", "1"},
    {"bool_two", Codec::BOOL, IcscType::BOOL, "2", "true", "1"},
    {"u16_octal", Codec::U16, IcscType::U16, "010", "8", "8"},
    {"u16_hex", Codec::U16, IcscType::U16, "0x20", "32", "32"},
    {"u16_hex_upper", Codec::U16, IcscType::U16, "0X20", "32", "32"},
    {"u16_truncated", Codec::U16, IcscType::U16, "70000", "4464", "4464"},
    {"u16_blanks_and_tail", Codec::U16, IcscType::U16, "  42abc", "42", "42"},
    {"u16_no_digits", Codec::U16, IcscType::U16, "abc", "0", "0"},
    {"u8_truncated", Codec::U8, IcscType::U8, "300", "44", "44"},
    {"u8_seven_is_digit", Codec::U8, IcscType::U8, "7", "7", "7"},
    {"u8_hex", Codec::U8, IcscType::U8, "0x1F", "31", "31"},
    {"u8_minus_one", Codec::U8, IcscType::U8, "-1", "255", "255"},
    {"u8_octal", Codec::U8, IcscType::U8, "072", "58", "58"},
    {"u32_large", Codec::U32, IcscType::U32, "4294967295", "4294967295", "4294967295"},
    {"u32_saturates", Codec::U32, IcscType::U32, "99999999999", "4294967295", "4294967295"},
    {"u32_double_sign", Codec::U32, IcscType::U32, "--1", "0", "0"},
    {"i8_wraps", Codec::I8, IcscType::I8, "200", "-56", "-56"},
    {"i8_negative", Codec::I8, IcscType::I8, "-6", "-6", "-6"},
    {"i16_negative_hex", Codec::I16, IcscType::I16, "-0x10", "-16", "-16"},
    {"i16_wraps", Codec::I16, IcscType::I16, "40000", "-25536", "-25536"},
    {"i32_negative", Codec::I32, IcscType::I32, "-1", "-1", "-1"},
    {"i32_saturates_high", Codec::I32, IcscType::I32, "3000000000", "2147483647", "2147483647"},
    {"i32_saturates_low", Codec::I32, IcscType::I32, "-3000000000", "-2147483648", "-2147483648"},
    {"string_unchanged", Codec::STRING, IcscType::STRING, " a, b;*#  ", " a, b;*#  ", " a, b;*#  "},
    {"string_empty", Codec::STRING, IcscType::STRING, "", "", ""},
};

class Conversion : public ::testing::TestWithParam<ConvCase> {};

TEST_P(Conversion, ReadsAndWritesBack) {
  const ConvCase& c = GetParam();
  IcscColumnDesc col{0, "scratch", "OBJ_SCRATCH", c.type, IcscAccess::RW};
  std::mutex lock;
  IcscProperty prop(col, 1, lock);
  ASSERT_TRUE(textToProperty(c.codec, c.engineText, prop));
  EXPECT_EQ(prop.text(0), c.want);
  std::string back;
  ASSERT_TRUE(propertyToText(c.codec, prop, back));
  EXPECT_EQ(back, c.back);
}

INSTANTIATE_TEST_SUITE_P(Codec, Conversion, ::testing::ValuesIn(kConvCases),
                         [](const auto& i) { return std::string(i.param.name); });

IcscType typeOf(Codec c) {
  switch (c) {
    case Codec::BOOL:
      return IcscType::BOOL;
    case Codec::U8:
      return IcscType::U8;
    case Codec::U16:
      return IcscType::U16;
    case Codec::U32:
      return IcscType::U32;
    case Codec::I8:
      return IcscType::I8;
    case Codec::I16:
      return IcscType::I16;
    case Codec::I32:
      return IcscType::I32;
    case Codec::STRING:
      return IcscType::STRING;
  }
  return IcscType::NONE;
}

TEST(MappingTables, EveryColumnMappedOnceAndAgreesWithItsDescription) {
  ASSERT_EQ(mappedtest::mappedClasses().size(), 45u);
  for (const mappedtest::MappedClass& t : mappedtest::mappedClasses()) {
    SCOPED_TRACE(t.table->className);
    EXPECT_STREQ(t.table->className, t.desc->name);
    std::set<unsigned> seen;
    for (size_t i = 0; i < t.table->count; ++i) {
      const MappingRow& r = t.table->rows[i];
      ASSERT_GE(r.span, 1u);
      ASSERT_NE(r.param, nullptr);
      EXPECT_GT(std::strlen(r.param), 0u);
      for (unsigned c = r.column; c < r.column + r.span; ++c) {
        EXPECT_TRUE(seen.insert(c).second) << "column " << c << " mapped twice";
        ASSERT_LT(c, t.desc->columnCount);
        EXPECT_EQ(typeOf(r.codec), t.desc->columns[c].type) << "column " << c;
        if (r.span == 1) {
          EXPECT_STREQ(r.symbol, t.desc->columns[c].symbol);
        } else {
          EXPECT_EQ(std::string(t.desc->columns[c].symbol),
                    std::string(r.symbol) + std::to_string(c - r.column + 1));
        }
      }
      if (r.index == IndexRule::SCALAR) {
        EXPECT_FALSE(t.desc->isTable) << r.symbol;
      }
    }
    EXPECT_EQ(seen.size(), t.desc->columnCount) << "every column is mapped";
  }
}

TEST(MappedObject, NullPropertyIsSilentlyRefused) {
  FakeVelmUtil velm;
  testsupport::LogCapture log{9};
  TimersScalar timers{&velm};
  EXPECT_FALSE(timers.update(nullptr, 0));
  EXPECT_FALSE(timers.updated(nullptr, 0));
  EXPECT_TRUE(velm.calls.empty());
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
