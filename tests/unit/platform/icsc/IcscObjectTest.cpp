#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "TestSupport.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscGeneratedBases.h"
#include "icsc/IcscOid.h"

namespace {

TEST(Descriptions, FiftyObjectsWithUniqueIdsNamesAndWellFormedColumns) {
  ASSERT_EQ(icscdesc::count(), 50u);
  std::set<uint32_t> ids;
  std::set<std::string> names, symbols;
  const std::regex symbolForm("OBJ_[A-Z0-9_]+");
  for (size_t i = 0; i < icscdesc::count(); ++i) {
    const IcscObjectDesc& d = *icscdesc::all()[i];
    SCOPED_TRACE(d.name);
    EXPECT_EQ(d.id, i + 1) << "ids follow the registration order";
    EXPECT_LE(d.id, icscoid::MAX_OBJECT_ID);
    EXPECT_TRUE(ids.insert(d.id).second);
    EXPECT_TRUE(names.insert(d.name).second);
    EXPECT_GT(d.columnCount, 0u);
    EXPECT_LE(d.columnCount, icscoid::MAX_COLUMN + 1);
    EXPECT_EQ(d.isTable, std::string(d.name).find("Table") != std::string::npos);
    EXPECT_EQ(d.rows == 1, !d.isTable);
    std::set<std::string> props;
    for (unsigned c = 0; c < d.columnCount; ++c) {
      EXPECT_EQ(d.columns[c].column, c);
      EXPECT_TRUE(props.insert(d.columns[c].name).second) << d.columns[c].name;
      EXPECT_TRUE(symbols.insert(d.columns[c].symbol).second) << "used twice";
      EXPECT_TRUE(std::regex_match(d.columns[c].symbol, symbolForm));
      EXPECT_NE(d.columns[c].type, IcscType::NONE);
    }
  }
}

TEST(Descriptions, LookupByNameNumberPropertyOrSymbol) {
  const IcscObjectDesc* t = icscdesc::findByName("TimersScalar");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(icscdesc::findById(t->id), t);
  EXPECT_EQ(icscdesc::findColumn(*t, "3")->column, 3u);
  EXPECT_EQ(icscdesc::findColumn(*t, "ipbxInterdigitDuration")->column, 3u);
  EXPECT_EQ(icscdesc::findColumn(*t, "OBJ_TIMERS_IPBXINTERDIGITDURATION")->column, 3u);
  EXPECT_EQ(icscdesc::findColumn(*t, "24"), nullptr);
  EXPECT_EQ(icscdesc::findColumn(*t, "nope"), nullptr);
  EXPECT_EQ(icscdesc::findByName("Nope"), nullptr);
}

struct NarrowCase {
  const char* name;
  IcscType type;
  int64_t in;
  int64_t want;
};

const NarrowCase kNarrow[] = {
    {"u8_low_bits", IcscType::U8, 300, 44},
    {"u8_negative", IcscType::U8, -1, 255},
    {"u16_low_bits", IcscType::U16, 70000, 4464},
    {"u32_negative", IcscType::U32, -1, 4294967295LL},
    {"i8_wrap", IcscType::I8, 200, -56},
    {"i16_wrap", IcscType::I16, 40000, -25536},
    {"i32_wrap", IcscType::I32, 2147483648LL, -2147483648LL},
    {"bool_nonzero", IcscType::BOOL, 7, 1},
    {"bool_zero", IcscType::BOOL, 0, 0},
};

class PropertyStore : public ::testing::TestWithParam<NarrowCase> {};

TEST_P(PropertyStore, NarrowsToTheColumnType) {
  const NarrowCase& c = GetParam();
  IcscColumnDesc col{0, "p", "OBJ_P", c.type, IcscAccess::RW};
  std::mutex m;
  IcscProperty p(col, 2, m);
  ASSERT_TRUE(p.setValueAt(1, c.in));
  int64_t got = 0;
  ASSERT_TRUE(p.getNumber(1, got));
  EXPECT_EQ(got, c.want);
  ASSERT_TRUE(p.getNumber(0, got));
  EXPECT_EQ(got, 0) << "other rows untouched";
}

INSTANTIATE_NAMED(Icsc, PropertyStore, kNarrow);

TEST(Property, TypeMismatchesAndRowsOutOfRangeAreRefused) {
  IcscColumnDesc num{0, "n", "OBJ_N", IcscType::U16, IcscAccess::RW};
  IcscColumnDesc str{1, "s", "OBJ_S", IcscType::STRING, IcscAccess::RW};
  std::mutex m;
  IcscProperty pn(num, 2, m), ps(str, 2, m);
  EXPECT_FALSE(pn.setValueAt(0, std::string("5")));
  EXPECT_FALSE(ps.setValueAt(0, 5u));
  EXPECT_FALSE(pn.setValueAt(2, 5u));
  uint16_t v;
  EXPECT_FALSE(pn.getValueAt(2, v));
  EXPECT_FALSE(ps.getValueAt(0, v));
  pn.setValueAt(1, 77u);
  std::string s;
  ASSERT_TRUE(pn.getValueAt(1, s));
  EXPECT_EQ(s, "77");
  pn.selectRow(1);
  EXPECT_TRUE(pn.setValue(uint16_t{9}));
  EXPECT_EQ(pn.text(1), "9");
  EXPECT_EQ(pn.text(0), "0");
}

TEST(GeneratedBase, AccessorsReachTheirColumnAndRow) {
  IfmNetworkLinkConfigTableBase t(32);
  EXPECT_TRUE(t.setPropifmNetworkLinkConfigInService(5, true));
  EXPECT_EQ(
      t.getProp(
           IfmNetworkLinkConfigTableBase::OBJ_IFMNETWORKLINKCONFIG_IFMNETWORKLINKCONFIGINSERVICE)
          ->text(5),
      "true");
  std::string ip;
  EXPECT_FALSE(t.getPropifmNetworkLinkConfigIP(32, ip));
  EXPECT_EQ(t.getPropFromOID(t.getOID(2, 5))->getPropertyId(), 2u);
  EXPECT_EQ(t.getPropFromOID(icscoid::object(1, 2, 5)), nullptr) << "other object's OID";
}

TEST(GeneratedBase, StrDumpsRowsAndProperties) {
  TimersScalarBase s;
  s.setPropipbxInterdigitDuration(0, uint16_t{250});
  std::string d = s.str(0, 0);
  EXPECT_EQ(d.rfind("TimersScalar (Scalar, ICSC object 43, rows 1)\n", 0), 0u) << d;
  EXPECT_NE(d.find("  ipbxInterdigitDuration = 250\n"), std::string::npos);
  PortConfigurationTableBase t(8);
  t.setPropipbxLineName(3, "kitchen");
  std::string all = t.str(0, 0);
  EXPECT_NE(all.find("row 7:\n"), std::string::npos);
  std::string one = t.str(3, 1);
  EXPECT_NE(one.find("row 3:\n"), std::string::npos);
  EXPECT_NE(one.find("ipbxLineName = kitchen"), std::string::npos);
  EXPECT_EQ(one.find("row 0:"), std::string::npos);
  EXPECT_NE(t.str(8, 1).find("row 8 out of range [0..7]"), std::string::npos);
}

}  // namespace
