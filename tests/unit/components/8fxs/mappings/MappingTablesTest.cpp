#include <gtest/gtest.h>

#include <cctype>
#include <mutex>
#include <set>
#include <string>

#include "FakeVelmUtil.h"
#include "IcscObjects8fxs.h"
#include "MappedObjects.h"
#include "TestSupport.h"

using namespace mapping;

namespace {

// A one-column scratch property per value type to exercise the conversions
// alone.
struct ConvCase {
  const char* name;
  IcscType type;
  const char* engineText;
  const char* want;  // property value as text after the read
  const char* back;  // text written back to the engine
};

const ConvCase kConvCases[] = {
    {"bool_zero", IcscType::BOOL, "0", "false", "0"},
    {"bool_double_zero", IcscType::BOOL, "00", "true", "1"},
    {"bool_word_false", IcscType::BOOL, "false", "true", "1"},
    {"bool_empty", IcscType::BOOL, "", "true", "1"},
    {"bool_two", IcscType::BOOL, "2", "true", "1"},
    {"u16_octal", IcscType::U16, "010", "8", "8"},
    {"u16_hex", IcscType::U16, "0x20", "32", "32"},
    {"u16_hex_upper", IcscType::U16, "0X20", "32", "32"},
    {"u16_truncated", IcscType::U16, "70000", "4464", "4464"},
    {"u16_blanks_and_tail", IcscType::U16, "  42abc", "42", "42"},
    {"u16_no_digits", IcscType::U16, "abc", "0", "0"},
    {"u8_truncated", IcscType::U8, "300", "44", "44"},
    {"u8_seven_is_digit", IcscType::U8, "7", "7", "7"},
    {"u8_hex", IcscType::U8, "0x1F", "31", "31"},
    {"u8_minus_one", IcscType::U8, "-1", "255", "255"},
    {"u8_octal", IcscType::U8, "072", "58", "58"},
    {"u32_large", IcscType::U32, "4294967295", "4294967295", "4294967295"},
    {"u32_saturates", IcscType::U32, "99999999999", "4294967295", "4294967295"},
    {"u32_double_sign", IcscType::U32, "--1", "0", "0"},
    {"i8_wraps", IcscType::I8, "200", "-56", "-56"},
    {"i8_negative", IcscType::I8, "-6", "-6", "-6"},
    {"i16_negative_hex", IcscType::I16, "-0x10", "-16", "-16"},
    {"i16_wraps", IcscType::I16, "40000", "-25536", "-25536"},
    {"i32_negative", IcscType::I32, "-1", "-1", "-1"},
    {"i32_saturates_high", IcscType::I32, "3000000000", "2147483647", "2147483647"},
    {"i32_saturates_low", IcscType::I32, "-3000000000", "-2147483648", "-2147483648"},
    {"string_unchanged", IcscType::STRING, " a, b;*#  ", " a, b;*#  ", " a, b;*#  "},
    {"string_empty", IcscType::STRING, "", "", ""},
};

class Conversion : public ::testing::TestWithParam<ConvCase> {};

TEST_P(Conversion, ReadsAndWritesBack) {
  const ConvCase& c = GetParam();
  IcscColumnDesc col{0, "scratch", "OBJ_SCRATCH", c.type, IcscAccess::RW};
  std::mutex lock;
  IcscProperty prop(col, 1, lock);
  ASSERT_TRUE(textToProperty(c.type, c.engineText, prop));
  EXPECT_EQ(prop.text(0), c.want);
  std::string back;
  ASSERT_TRUE(propertyToText(c.type, prop, back));
  EXPECT_EQ(back, c.back);
}

INSTANTIATE_NAMED(Codec, Conversion, kConvCases);

bool wellFormedParam(const std::string& p) {
  if (p.empty() || p[0] < 'a' || p[0] > 'z')
    return false;
  for (char ch : p) {
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '_')
      return false;
  }
  return true;
}

// The objects the card serves with code of its own rather than the mapping.
const std::set<std::string> kLocalObjects = {
    "IfmNetworkLinkConfigTable", "IfmNetworkLinkStatusTable", "IfmNetworkRouteConfigTable",
    "IfmNetworkRouteStatusTable", "VocalAlarmStatusTable"};

// One walk over every object description and its mapping table.
TEST(MappingTables, EveryColumnIsMappedOnceOrLocal) {
  ASSERT_EQ(mappedtest::allObjects().size(), icscdesc::count());
  for (const mappedtest::MappedClass& object : mappedtest::allObjects()) {
    const MappingTable& table = *object.table;
    const IcscObjectDesc& desc = *table.desc;
    SCOPED_TRACE(desc.name);
    EXPECT_EQ(&desc, object.desc) << "a table maps its own object";
    ASSERT_EQ(table.count, desc.columnCount);
    EXPECT_EQ(table.served, kLocalObjects.count(desc.name) == 0);
    for (unsigned c = 0; c < desc.columnCount; ++c) {
      const IcscColumnDesc& col = desc.columns[c];
      const MappingRow& row = table.rows[c];
      SCOPED_TRACE(col.symbol);
      if (!table.served) {
        EXPECT_EQ(row.param, nullptr) << "a mapping the card never serves";
        EXPECT_EQ(row.index, IndexRule::LOCAL);
        continue;
      }
      ASSERT_NE(row.param, nullptr) << "column neither mapped nor local";
      EXPECT_TRUE(wellFormedParam(row.param)) << row.param;
      EXPECT_EQ(findRow(table, c), &row);
      if (desc.isTable) {
        EXPECT_NE(row.index, IndexRule::SCALAR);
        EXPECT_NE(row.index, IndexRule::LOCAL);
      } else {
        EXPECT_EQ(row.index, IndexRule::SCALAR) << "a scalar's parameters are (-1, -1)";
      }
      if (row.index == IndexRule::ROW_FIXED) {
        EXPECT_GE(row.second, 0);
      }
    }
  }
}

// The status objects are exactly the read-only ones.
TEST(MappingTables, ReadOnlyObjectsAreTheStatusClasses) {
  ASSERT_EQ(mappedtest::mappedClasses().size(), 45u);
  for (const mappedtest::MappedClass& c : mappedtest::mappedClasses())
    EXPECT_EQ(c.table->readOnly, c.status) << c.name;
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
