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

auto className = [](const auto& i) { return std::string(i.param.name); };
INSTANTIATE_TEST_SUITE_P(Mapped, EveryClass, ::testing::ValuesIn(mappedClasses()), className);
INSTANTIATE_TEST_SUITE_P(Mapped, WritableClass, ::testing::ValuesIn(mappedClasses(false)),
                         className);
INSTANTIATE_TEST_SUITE_P(Mapped, StatusClass, ::testing::ValuesIn(mappedClasses(true)), className);

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
    {"rtp_u8_truncates", "RtpProtocolScalar", 0, 4, "rtp_packet_duration", -1, -1, "300", "44",
     "44"},
    {"sip_i32_negative", "SipProtocolScalar", 0, 18, "sip_info_hookflash_duration", -1, -1, "-20",
     "-20", "-20"},
    {"gain_i8_negative", "VoiceAndToneParametersScalar", 0, 0, "ipbx_voice_rx_gain", -1, -1, "-6",
     "-6", "-6"},
    {"dtmf_u8_seven_is_digit", "VoiceAndToneParametersScalar", 0, 6, "dtmf_tone_on_time", -1, -1,
     "7", "7", "7"},
    {"slac_i16_negative", "SlacConfigurationScalar", 0, 13, "slac_ring_amplitude", -1, -1, "-300",
     "-300", "-300"},
    {"slac_bool_two_is_true", "SlacConfigurationScalar", 0, 10, "slac_ring_type", -1, -1, "2",
     "true", "1"},
    {"tone_string_unchanged", "CallProgressTonesScalar", 0, 3, "ipbx_stuttered_dial_tone", -1, -1,
     " 350+440 @-13, 0.1 ;*# ", " 350+440 @-13, 0.1 ;*# ", " 350+440 @-13, 0.1 ;*# "},
    {"port_name_row_zero", "PortConfigurationTable", 2, 2, "ipbx_line_name", 2, 0, "Line 3",
     "Line 3", "Line 3"},
    {"port_enable_bool", "PortConfigurationTable", 2, 0, "ipbx_line_enable_", 2, 0, "0", "false",
     "0"},
    {"mode_hex", "OperatingModeTable", 5, 0, "ipbx_mode", 5, -1, "0x1F", "31", "31"},
    {"mode_no_digits", "OperatingModeTable", 5, 21, "ipbx_voip_alternative_provider_available", 5,
     -1, "abc", "0", "0"},
    {"mode_bool_empty_is_true", "OperatingModeTable", 1, 12, "ipbx_hot_line_dialing", 1, -1, "",
     "true", "1"},
    {"impedance_entry_nine", "SlacImpedanceCommandsTable", 9, 0, "slac_impedance_commands_", 9, -1,
     "wr 0x44, 0x1f; rd #2", "wr 0x44, 0x1f; rd #2", "wr 0x44, 0x1f; rd #2"},
    {"three_way_calling", "SubscriptionServiceSettingsTable", 3, 22,
     "ipbx_three_way_calling_service", 3, -1, "1", "true", "1"},
    {"busy_forward_empty", "CallForwardingTable", 0, 5, "ipbx_busy_forward_dial_string", 0, -1, "",
     "", ""},
    {"forward_list_first", "CallForwardListTable", 3, 0, "ipbx_call_forward_list_", 3, 0, "*72 555",
     "*72 555", "*72 555"},
    {"speed_dial_last", "SpeedDialsTable", 7, 39, "ipbx_speed_dial_array_", 7, 39, "#9,0123 4",
     "#9,0123 4", "#9,0123 4"},
    {"blocking_list_last", "CallBlockingListTable", 7, 29, "ipbx_blocked_number_list_", 7, 29,
     "555", "555", "555"},
    {"outgoing_block_empty", "OutgoingBlockListTable", 1, 5, "ipbx_outgoing_block_list_", 1, 5, "",
     "", ""},
    {"group_line", "AccountTable", 3, 12, "group_line_enable", 3, 4, "0", "false", "0"},
    {"reregister_interval", "AccountTable", 0, 28, "reregister_interval", 0, -1, "3600", "3600",
     "3600"},
    {"password_unchanged", "AccountTable", 15, 24, "auth_user_password", 15, -1, " p@ss w0rd;# ",
     " p@ss w0rd;# ", " p@ss w0rd;# "},
    {"provider_default", "VoipProviderDefaultsTable", 7, 2, "voip_provider_default", 7, -1, "0x10",
     "16", "16"},
    {"ring_names", "SipServerConfigurationTable", 7, 0, "sip_distinctive_ring_names_", 7, -1,
     "Bellcore-dr2", "Bellcore-dr2", "Bellcore-dr2"},
    {"fc_decimal", "FeaturesCodesTable", 0, 0, "ipbx_fc_call_waiting_enable", 0, -1, "72", "72",
     "72"},
    {"fc_octal", "FeaturesCodesTable", 4, 22, "ipbx_fc_do_not_disturb_enable", 4, -1, "072", "58",
     "58"},
    {"fc_hex", "FeaturesCodesTable", 1, 40, "ipbx_fc_unattended_transfer", 1, -1, "0x48", "72",
     "72"},
    {"fc_truncates", "FeaturesCodesTable", 2, 1, "ipbx_fc_call_waiting_disable", 2, -1, "300", "44",
     "44"},
    {"fc_minus_one", "FeaturesCodesTable", 2, 2, "ipbx_fc_call_trace", 2, -1, "-1", "255", "255"},
    {"fc_not_a_number", "FeaturesCodesTable", 2, 3, "ipbx_fc_call_waiting_caller_id_enable", 2, -1,
     "*70", "0", "0"},
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

INSTANTIATE_TEST_SUITE_P(Examples, Cell, ::testing::ValuesIn(kCells),
                         [](const auto& i) { return std::string(i.param.name); });

// Status reads use the plain conversions; writes never reach the engine.
struct StatusCase {
  unsigned column;
  const char* engineText;
  const char* stored;
};

TEST(AccountStatus, ReadsSignedAndTruncatedValues) {
  const StatusCase cases[] = {{1, "-1", "-1"}, {3, "70000", "4464"}, {0, "0x2", "2"}};
  FakeVelmUtil velm;
  AccountStatusTable t{&velm};
  for (const StatusCase& k : cases) {
    const mapping::MappingRow* m = mapping::findRow(mapping::kAccountStatusTableMapping, k.column);
    velm.put(m->param, 15, -1, k.engineText);
    ASSERT_TRUE(t.update(t.getProp(k.column), 15));
    EXPECT_EQ(t.getProp(k.column)->text(15), k.stored) << "column " << k.column;
  }
}

TEST(IncomingCallHistory, ReadsPerLine) {
  FakeVelmUtil velm;
  IncomingCallHistoryStatusTable t{&velm};
  velm.put("g729_active", 6, -1, "0");
  ASSERT_TRUE(t.update(t.getProp(1), 6));
  EXPECT_EQ(t.getProp(1)->text(6), "false");
  t.getProp(1)->setValueAt(6, true);
  EXPECT_FALSE(t.updated(t.getProp(1), 6));
  EXPECT_EQ(velm.calls.size(), 1u);
}

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
