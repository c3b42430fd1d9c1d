// The mapped object classes over a recording Velm_util: the index rule of
// each class, its limits and messages, the text forms of each value type and
// the named examples of the tables.
#include <gtest/gtest.h>

#include <string>

#include "FakeVelmUtil.h"
#include "MappedObjects.h"
#include "TestSupport.h"

using mappedtest::MappedClass;
using mappedtest::mappedClasses;
using mappedtest::Second;

namespace {

int expectedFirst(const MappedClass& c, unsigned row) {
  return c.desc->isTable ? static_cast<int>(row) : -1;
}

int expectedSecond(const MappedClass& c, unsigned column) {
  switch (c.second) {
    case Second::MINUS_ONE:
      return -1;
    case Second::ZERO:
      return 0;
    case Second::COLUMN:
      return static_cast<int>(column);
    case Second::GROUP_LINE:
      return column >= 8 && column <= 15 ? static_cast<int>(column) - 8 : -1;
  }
  return -2;
}

// A text every value type reads without error.
const char* sampleText(IcscType t) {
  return t == IcscType::STRING ? "x y" : "1";
}

class EveryClass : public ::testing::TestWithParam<MappedClass> {
 protected:
  FakeVelmUtil velm;
  testsupport::LogCapture log{9};
};

// Each column of the first and last row reaches one parameter with the
// class's index rule, in both directions.
TEST_P(EveryClass, EachCellUsesTheClassIndexRule) {
  const MappedClass& c = GetParam();
  auto obj = c.make(&velm);
  ASSERT_EQ(obj->getRowCount(), c.desc->rows);
  ASSERT_EQ(obj->getColumnCount(), c.desc->columnCount);
  for (unsigned row : {0u, obj->getRowCount() - 1}) {
    for (unsigned col = 0; col < obj->getColumnCount(); ++col) {
      SCOPED_TRACE(std::string(c.name) + " row " + std::to_string(row) + " col " +
                   std::to_string(col));
      const mapping::MappingRow* m = mapping::findRow(*c.table, col);
      ASSERT_NE(m, nullptr);
      int i1 = expectedFirst(c, row);
      int i2 = expectedSecond(c, col);
      velm.put(m->param, i1, i2, sampleText(c.desc->columns[col].type));
      velm.calls.clear();
      IcscProperty* p = obj->getProp(col);
      p->selectRow(row);
      ASSERT_TRUE(obj->update(p, row));
      ASSERT_EQ(velm.calls.size(), 1u);
      EXPECT_EQ(velm.calls[0].op, "get");
      EXPECT_EQ(velm.calls[0].name, m->param);
      EXPECT_EQ(velm.calls[0].index1, i1);
      EXPECT_EQ(velm.calls[0].index2, i2);
      if (c.status) {
        EXPECT_FALSE(obj->updated(p, row));
        EXPECT_EQ(velm.calls.size(), 1u) << "a refused write reaches the engine";
        continue;
      }
      ASSERT_TRUE(obj->updated(p, row));
      ASSERT_EQ(velm.calls.size(), 2u);
      EXPECT_EQ(velm.calls[1].op, "set");
      EXPECT_EQ(velm.calls[1].name, m->param);
      EXPECT_EQ(velm.calls[1].index1, i1);
      EXPECT_EQ(velm.calls[1].index2, i2);
      EXPECT_EQ(velm.calls[1].value, sampleText(c.desc->columns[col].type));
    }
  }
}

TEST_P(EveryClass, RowPastTheEndIsRefusedWithTheRange) {
  const MappedClass& c = GetParam();
  auto obj = c.make(&velm);
  unsigned rows = obj->getRowCount();
  IcscProperty* p = obj->getProp(0);
  EXPECT_FALSE(obj->update(p, rows));
  std::string want = std::string(c.name) + ": Out of range: row=" + std::to_string(rows) +
                     ", expected=[0.." + std::to_string(rows - 1) + "]";
  EXPECT_TRUE(log.contains("(update) - " + want)) << want;
  if (!c.status) {
    EXPECT_FALSE(obj->updated(p, rows));
    EXPECT_TRUE(log.contains("(updated) - " + want)) << want;
  }
  EXPECT_TRUE(velm.calls.empty());
}

TEST_P(EveryClass, ColumnPastTheEndIsInvalid) {
  const MappedClass& c = GetParam();
  auto obj = c.make(&velm);
  unsigned cols = obj->getColumnCount();
  IcscColumnDesc beyond{cols, "beyond", "OBJ_BEYOND", IcscType::STRING, IcscAccess::RW};
  std::mutex lock;
  IcscProperty p(beyond, obj->getRowCount(), lock);
  EXPECT_FALSE(obj->update(&p, 0));
  std::string want = std::string(c.name) + ": Invalid column [" + std::to_string(cols) + "]";
  EXPECT_EQ(log.count(want), 1u) << want;
  if (!c.status) {
    EXPECT_FALSE(obj->updated(&p, 0));
    EXPECT_EQ(log.count(want), 2u) << want;
  }
  EXPECT_TRUE(velm.calls.empty());
}

// A failed get names the property by its own symbol (list entries too) and
// leaves the value that was there.
TEST_P(EveryClass, FailedGetKeepsValueAndNamesTheProperty) {
  const MappedClass& c = GetParam();
  auto obj = c.make(&velm);
  unsigned row = obj->getRowCount() - 1;
  for (unsigned col : {0u, obj->getColumnCount() - 1}) {
    IcscProperty* p = obj->getProp(col);
    p->selectRow(row);
    const mapping::MappingRow* m = mapping::findRow(*c.table, col);
    velm.put(m->param, expectedFirst(c, row), expectedSecond(c, col),
             sampleText(c.desc->columns[col].type));
    ASSERT_TRUE(obj->update(p, row));
    std::string before = p->text(row);
    velm.getResult = -5;
    EXPECT_FALSE(obj->update(p, row));
    velm.getResult = 0;
    EXPECT_EQ(p->text(row), before);
    std::string want = std::string(c.name) + "::update() failed: id=" + std::to_string(c.desc->id) +
                       ", prop=" + c.desc->columns[col].symbol + "[" + std::to_string(col) + "]";
    EXPECT_TRUE(log.contains(want)) << want;
  }
}

class WritableClass : public EveryClass {};
class StatusClass : public EveryClass {};

TEST_P(WritableClass, FailedSetIsReported) {
  const MappedClass& c = GetParam();
  auto obj = c.make(&velm);
  unsigned col = obj->getColumnCount() - 1;
  IcscProperty* p = obj->getProp(col);
  p->selectRow(0);
  velm.setResult = -1;
  EXPECT_FALSE(obj->updated(p, 0));
  std::string want = std::string(c.name) + "::updated() failed: id=" + std::to_string(c.desc->id) +
                     ", prop=" + c.desc->columns[col].symbol + "[" + std::to_string(col) + "]";
  EXPECT_TRUE(log.contains(want)) << want;
}

TEST_P(StatusClass, RefusesEveryWrite) {
  const MappedClass& c = GetParam();
  auto obj = c.make(&velm);
  unsigned past = obj->getRowCount() + 3;
  for (unsigned row : {0u, past}) {
    EXPECT_FALSE(obj->updated(obj->getProp(0), row));
    EXPECT_TRUE(log.contains("[WARNING]"));
    EXPECT_TRUE(log.contains(std::string(c.name) +
                             "::updated() not implemented: id=0, row=" + std::to_string(row)));
  }
  EXPECT_FALSE(obj->updated(nullptr, 2));
  EXPECT_TRUE(log.contains(std::string(c.name) + "::updated() not implemented: id=??, row=2"));
  EXPECT_TRUE(velm.calls.empty());
  EXPECT_FALSE(log.contains("Out of range"));
}

INSTANTIATE_NAMED(Mapped, EveryClass, mappedClasses());
INSTANTIATE_NAMED(Mapped, WritableClass, mappedClasses(false));
INSTANTIATE_NAMED(Mapped, StatusClass, mappedClasses(true));

// One cell read from a given engine text and written back.
struct CellCase {
  const char* name;
  const char* cls;
  unsigned row;
  unsigned column;
  const char* param;  // expected engine parameter
  int index1;
  int index2;
  const char* engineText;
  const char* stored;  // property value as text after the read
  const char* sent;    // text the write sends back
};

const CellCase kCells[] = {
    {"sdp_name_keeps_capitals", "SdpAudioCodecDynamicCodeScalar", 0, 4, "sdp_NSE_codec_dyn_pt", -1,
     -1, "101", "101", "101"},
    {"slac_bool_two_is_true", "SlacConfigurationScalar", 0, 10, "slac_ring_type", -1, -1, "2",
     "true", "1"},
    {"port_name_row_zero", "PortConfigurationTable", 2, 2, "ipbx_line_name", 2, 0, "Line 3",
     "Line 3", "Line 3"},
    {"outgoing_block_empty", "OutgoingBlockListTable", 1, 5, "ipbx_outgoing_block_list_", 1, 5, "",
     "", ""},
    {"password_unchanged", "AccountTable", 15, 24, "auth_user_password", 15, -1, " p@ss w0rd;# ",
     " p@ss w0rd;# ", " p@ss w0rd;# "},
};

void PrintTo(const CellCase& k, std::ostream* os) {
  *os << k.name;
}

class Cell : public ::testing::TestWithParam<CellCase> {};

TEST_P(Cell, ReadsAndWritesBack) {
  const CellCase& k = GetParam();
  const MappedClass* c = mappedtest::findClass(k.cls);
  ASSERT_NE(c, nullptr);
  FakeVelmUtil velm;
  auto obj = c->make(&velm);
  velm.put(k.param, k.index1, k.index2, k.engineText);
  IcscProperty* p = obj->getProp(k.column);
  p->selectRow(k.row);
  ASSERT_TRUE(obj->update(p, k.row));
  EXPECT_EQ(p->text(k.row), k.stored);
  ASSERT_TRUE(obj->updated(p, k.row));
  ASSERT_EQ(velm.calls.size(), 2u);
  EXPECT_EQ(velm.calls[1].name, k.param);
  EXPECT_EQ(velm.calls[1].index1, k.index1);
  EXPECT_EQ(velm.calls[1].index2, k.index2);
  EXPECT_EQ(velm.calls[1].value, k.sent);
}

INSTANTIATE_NAMED(Examples, Cell, kCells);

// The account table's credentials go to the engine but never into a log line,
// also when the write fails.
TEST(AccountCredentials, NeverLogged) {
  testsupport::LogCapture log{9};
  FakeVelmUtil velm;
  AccountTable t{&velm};
  const std::string secret = "Zq9-secret-Value";
  for (unsigned col : {AccountTable::OBJ_ACCOUNT_USERNAME, AccountTable::OBJ_ACCOUNT_AUTHUSERNAME,
                       AccountTable::OBJ_ACCOUNT_AUTHUSERPASSWORD}) {
    t.getProp(col)->setValueAt(4, secret);
    t.getProp(col)->selectRow(4);
    velm.setResult = 0;
    EXPECT_TRUE(t.updated(t.getProp(col), 4));
    velm.setResult = -1;
    EXPECT_FALSE(t.updated(t.getProp(col), 4));
    velm.getResult = -1;
    EXPECT_FALSE(t.update(t.getProp(col), 4));
    velm.getResult = 0;
  }
  EXPECT_EQ(velm.stored("auth_user_password", 4, -1), secret);
  EXPECT_GE(log.count("AccountTable::updated() failed"), 3u);
  for (const std::string& line : log.lines())
    EXPECT_EQ(line.find(secret), std::string::npos) << line;
}

}  // namespace
