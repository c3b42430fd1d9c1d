// The common card objects as the chassis sees them: one server over the
// descriptor arrays. The cases are driven by the arrays themselves, so a
// record added to an array is covered without a new test.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "EngineCall.h"
#include "TestSupport.h"
#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/CommonPropertyDescriptor.h"
#include "icsc/ICardObjects.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscProtocol.h"

using namespace icscwire;
using namespace commonrec;
using CO = commonStatCtrl;
using testsupport::readCommon;
using testsupport::writeCommon;

namespace {

constexpr unsigned kTemps = 5, kVolts = 7, kHw = 6, kOper = 3;

// Counts the clock-reference calls; serves the four event tables' cells as
// their descriptor arrays say (row 0, every column).
class FakeCard : public ICardObjects {
 public:
  bool handleTableObjects(const ICSCTlv* req, unsigned, ICSCTlv* resp) override {
    resp->oid = req->oid;
    resp->setValue(true);
    return true;
  }
  bool isReady() override { return true; }
  const CommonPropertyDescriptor* getEventTableDescriptors(uint32_t oid) override {
    unsigned t = icscoid::eventTable(oid);
    return icscoid::isEvent(oid) && t < 4 ? commondesc::eventTable(t).records : nullptr;
  }
  bool isValidEventTableOid(uint32_t oid) override {
    unsigned t = icscoid::eventTable(oid);
    return icscoid::isEvent(oid) && t < 4 && icscoid::eventRow(oid) == 0 &&
           icscoid::eventColumn(oid) < commondesc::eventTable(t).count;
  }
  bool setBpClkReference(uint32_t) override {
    ++bpClkSets;
    return false;
  }
  uint32_t getBpClkReference() override { return 255; }
  int bpClkSets = 0;
};

ICSCTlv number(IcscType t, int64_t v) {
  ICSCTlv c;
  c.setNumber(t, v);
  return c;
}
ICSCTlv text(const std::string& s) {
  ICSCTlv c;
  c.setString(s);
  return c;
}

class Common : public ::testing::Test {
 protected:
  void SetUp() override {
    for (unsigned i = 0; i < kTemps; ++i)
      ASSERT_TRUE(sc.addTemperatureSensor(i, "t" + std::to_string(i)));
    for (unsigned i = 0; i < kVolts; ++i)
      ASSERT_TRUE(sc.addVoltageSensor(i, "v" + std::to_string(i), 1000 + i));
    for (unsigned i = 0; i < kHw; ++i)
      ASSERT_TRUE(sc.addHwError(i, i, "hw" + std::to_string(i)));
    for (unsigned i = 0; i < kOper; ++i)
      ASSERT_TRUE(sc.addOperationalError(i, 256 + i, "op" + std::to_string(i)));
  }
  ICSCTlv get(unsigned object, unsigned record, unsigned instance = 0) {
    return readCommon(sc, object, record, instance);
  }
  ICSCTlv set(unsigned object, unsigned record, const ICSCTlv& v, unsigned instance = 0) {
    return writeCommon(sc, object, record, instance, v);
  }

  testsupport::LogCapture log{9};
  FakeCard card;
  commonStatCtrl sc{"commonStatCtrl", 15, &card, kTemps, kVolts, kHw, kOper, nullptr};
};

// Every array is found by its key and by its number (event tables have
// OIDs of their own), and a record's id is its index: cells are read by id.
TEST(CommonLayout, ArraysAndRecordsAreFoundByNumberAndKey) {
  ASSERT_EQ(commondesc::arrayCount(), size_t{CO::CO_COUNT});
  for (unsigned n = 0; n < commondesc::arrayCount(); ++n) {
    const CommonDescriptorArray& a = commondesc::arrays()[n];
    for (uint32_t r = 0; r < a.count; ++r)
      EXPECT_EQ(a.records[r].propertyId, r) << a.name;
    unsigned found = 99;
    const CommonDescriptorArray* byKey = commondesc::findArray(commondesc::key(a.name), &found);
    if (a.instances == CI_EVENT_TABLE) {
      EXPECT_EQ(byKey, nullptr) << a.name;
      continue;
    }
    EXPECT_EQ(byKey, &a) << a.name;
    EXPECT_EQ(found, n);
    EXPECT_EQ(commondesc::findArray(std::to_string(n)), &a);
  }
  const CommonDescriptorArray& temp = commondesc::arrays()[CO::CO_TEMPERATURE];
  EXPECT_EQ(commondesc::findRecord(temp, "Temp Value"), &temp.records[TEMP_VALUE]);
  EXPECT_EQ(commondesc::findRecord(temp, "max-sensor-value"), &temp.records[TEMP_MAX]);
  EXPECT_EQ(commondesc::findRecord(temp, "valid"), &temp.records[TEMP_VALID]);
  EXPECT_EQ(commondesc::findRecord(temp, "value"), nullptr) << "three records end in value";
  EXPECT_EQ(commondesc::findRecord(temp, "5"), nullptr);
  EXPECT_EQ(commondesc::findArray("Log Transfer"), &commondesc::arrays()[CO::CO_LOG_TRANSFER]);
  EXPECT_EQ(commondesc::findArray("nothing"), nullptr);
}

// Every cell answers with its record's type; arrays without hardware and
// records nothing fills answer their defaults.
TEST_F(Common, EveryCellReadsWithItsTypeAndUntouchedOnesWithTheirDefault) {
  const unsigned counts[] = {0, 1, kTemps, kVolts, kHw, kOper};
  size_t cells = 0;
  for (size_t n = 0; n < commondesc::arrayCount(); ++n) {
    const CommonDescriptorArray& a = commondesc::arrays()[n];
    unsigned instances = counts[a.instances];
    for (unsigned i = 0; i <= instances && a.instances != CI_EVENT_TABLE; ++i) {
      for (size_t r = 0; r < a.count; ++r) {
        ICSCTlv v = get(static_cast<unsigned>(n), static_cast<unsigned>(r), i);
        SCOPED_TRACE(std::string(a.name) + "[" + std::to_string(i) + "] " + a.records[r].label);
        if (i == instances) {
          EXPECT_EQ(v.status, ROW_OUT_OF_RANGE);
          continue;
        }
        ++cells;
        ASSERT_EQ(v.status, OK);
        EXPECT_EQ(v.type, wireType(a.records[r]));
        Value d = defaultValue(a.records[r]);
        if (a.noHardware) {
          EXPECT_EQ(v.num, d.num);
          EXPECT_EQ(v.str, d.str);
        }
      }
    }
    if (a.instances != CI_EVENT_TABLE) {
      EXPECT_EQ(get(static_cast<unsigned>(n), static_cast<unsigned>(a.count)).status,
                NO_SUCH_COLUMN);
    }
  }
  EXPECT_EQ(cells, 12u + 6 + 4 + 11 + 5 * kTemps + 4 * kVolts + 7 + 3 * kHw + 3 * kOper + 4 + 1 +
                       9 + 16 + 5 + 4);
  EXPECT_EQ(get(2, 0).status, NO_SUCH_OBJECT) << "event tables are not common cells";
  EXPECT_EQ(get(40, 0).status, NO_SUCH_OBJECT);
  EXPECT_EQ(get(CO::CO_DOWNLOAD, 7).str, "brd");
  EXPECT_EQ(get(CO::CO_CARD, CARD_TYPE).str, "15");
  EXPECT_EQ(get(CO::CO_CARD, CARD_HW_ERRORS).num, kHw);
  EXPECT_EQ(get(CO::CO_CARD_STATE, CARDSTATE_NAME).str, "UNINITIALIZED");
}

// What every record refuses follows from its descriptor alone: read-only
// records and arrays without hardware refuse any write, writable records a
// value of another type and a text past their length check.
TEST_F(Common, WritesAreRefusedAsTheDescriptorsSay) {
  for (size_t n = 0; n < commondesc::arrayCount(); ++n) {
    const CommonDescriptorArray& a = commondesc::arrays()[n];
    if (a.instances == CI_EVENT_TABLE)
      continue;
    for (size_t r = 0; r < a.count; ++r) {
      const CommonPropertyDescriptor& rec = a.records[r];
      SCOPED_TRACE(std::string(a.name) + " " + rec.label);
      bool writable = rec.readOnly == 0 && !a.noHardware;
      IcscType other = wireType(rec) == IcscType::STRING ? IcscType::U32 : IcscType::STRING;
      ICSCTlv wrong = other == IcscType::STRING ? text("1") : number(other, 1);
      unsigned obj = static_cast<unsigned>(n), rid = static_cast<unsigned>(r);
      EXPECT_EQ(set(obj, rid, wrong).status, writable ? WRONG_TYPE : READ_ONLY);
      if (!writable || wireType(rec) != IcscType::STRING)
        continue;
      uint32_t limit = 0;
      while (limit < 300 && rec.lengthCheck(limit + 1) == 0)
        ++limit;
      if (limit < 300) {
        EXPECT_EQ(set(obj, rid, text(std::string(limit + 1, 'a'))).status, BAD_VALUE_LENGTH);
      }
    }
  }
}

struct WriteCase {
  const char* name;
  unsigned object, record;
  ICSCTlv value;
  uint8_t status;
};

const std::string kGuid = "123e4567-e89b-12d3-a456-426614174000";
const WriteCase kWrites[] = {
    // The value check lets the chassis' references through; the card then
    // refuses them all (no syncE).
    {"bpclk_0", CO::CO_CONTROL, CTRL_BP_CLK_REF, number(IcscType::U8, 0), NOT_SERVED},
    {"bpclk_3", CO::CO_CONTROL, CTRL_BP_CLK_REF, number(IcscType::U8, 3), NOT_SERVED},
    {"bpclk_128", CO::CO_CONTROL, CTRL_BP_CLK_REF, number(IcscType::U8, 128), NOT_SERVED},
    {"bpclk_4", CO::CO_CONTROL, CTRL_BP_CLK_REF, number(IcscType::U8, 4), BAD_VALUE},
    {"bpclk_127", CO::CO_CONTROL, CTRL_BP_CLK_REF, number(IcscType::U8, 127), BAD_VALUE},
    {"bpclk_255", CO::CO_CONTROL, CTRL_BP_CLK_REF, number(IcscType::U8, 255), BAD_VALUE},
    {"guid", CO::CO_CONTROL, 3, text(kGuid), OK},
    {"guid_underscore", CO::CO_CONTROL, 3, text(kGuid.substr(1) + "_"), BAD_VALUE},
    {"guid_short", CO::CO_CONTROL, 3, text(kGuid.substr(1)), BAD_VALUE_LENGTH},
    {"reboot_false", CO::CO_CONTROL, CTRL_REBOOT, number(IcscType::BOOL, 0), OK},
    {"reboot_without_board", CO::CO_CONTROL, CTRL_REBOOT, number(IcscType::BOOL, 1), NOT_SERVED},
    {"ftp_port", CO::CO_LOG_TRANSFER, LOG_PORT, number(IcscType::U32, 2121), OK},
    {"ftp_port_too_big", CO::CO_LOG_TRANSFER, LOG_PORT, number(IcscType::U32, 65536), BAD_VALUE},
    {"ftp_server", CO::CO_LOG_TRANSFER, LOG_SERVER, text("172.30.20.10"), OK},
    {"ftp_server_url", CO::CO_LOG_TRANSFER, LOG_SERVER, text("a/b@c"), BAD_VALUE},
    // What the upload's URL cannot carry is refused here, not at the upload.
    {"ftp_server_with_port", CO::CO_LOG_TRANSFER, LOG_SERVER, text("172.30.20.10:2121"), BAD_VALUE},
    {"ftp_server_bare_ipv6", CO::CO_LOG_TRANSFER, LOG_SERVER, text("2001:db8::7"), BAD_VALUE},
    {"ftp_server_ipv6", CO::CO_LOG_TRANSFER, LOG_SERVER, text("[2001:db8::7]"), OK},
    {"ftp_user_command", CO::CO_LOG_TRANSFER, LOG_USER, text("u\r\nDELE x"), BAD_VALUE},
    {"getlog_dir_up", CO::CO_LOG_TRANSFER, LOG_DIRECTORY, text("logs/../x"), BAD_VALUE},
    {"getlog_without_engine", CO::CO_LOG_TRANSFER, LOG_DIRECTORY, text("logs"), NOT_SERVED},
    {"getlog_state", CO::CO_LOG_TRANSFER, LOG_STATE, number(IcscType::U32, 2), READ_ONLY},
    {"utc_as_u32", CO::CO_CONTROL, CTRL_UTC_TIME, number(IcscType::U32, 5), WRONG_TYPE},
    // The download: this process runs from no load slot.
    {"dld_filename", CO::CO_DOWNLOAD, DLD_FILENAME, text("loads/v2.bundle"), OK},
    {"dld_filename_up", CO::CO_DOWNLOAD, DLD_FILENAME, text("loads/../v2.bundle"), BAD_VALUE},
    {"dld_start_outside_a_slot", CO::CO_DOWNLOAD, DLD_START, number(IcscType::BOOL, 1), NOT_SERVED},
    {"dld_commit_nothing_ready", CO::CO_DOWNLOAD, DLD_COMMIT, number(IcscType::BOOL, 1),
     NOT_SERVED},
    {"dld_commit_timer", CO::CO_DOWNLOAD, DLD_COMMIT_TIMER, number(IcscType::U32, 30), OK},
    {"dld_commit_timer_too_long", CO::CO_DOWNLOAD, DLD_COMMIT_TIMER, number(IcscType::U32, 86401),
     BAD_VALUE},
    {"dld_state", CO::CO_DOWNLOAD, DLD_STATE, number(IcscType::U32, 3), READ_ONLY},
};

class CommonWrite : public Common, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(CommonWrite, AnswersItsStatus) {
  const WriteCase& c = GetParam();
  ICSCTlv before = get(c.object, c.record);
  ICSCTlv r = set(c.object, c.record, c.value);
  EXPECT_EQ(r.status, c.status);
  ICSCTlv after = get(c.object, c.record);
  bool reboot = c.object == CO::CO_CONTROL && c.record == CTRL_REBOOT;  // acts, keeps nothing
  if (c.status == OK && !reboot) {
    EXPECT_EQ(after.num, c.value.num);
    EXPECT_EQ(after.str, c.value.str);
  } else {
    EXPECT_EQ(after.num, before.num) << "a refused write changed nothing";
    EXPECT_EQ(after.str, before.str);
  }
  if (c.status != OK) {
    EXPECT_TRUE(log.contains("refused")) << "one line says why";
  }
}

INSTANTIATE_NAMED(Common, CommonWrite, kWrites);

TEST_F(Common, ClockReferenceReachesTheCardOnlyPastTheValueCheck) {
  for (uint8_t v : {0, 1, 2, 3, 128, 4, 200})
    set(CO::CO_CONTROL, CTRL_BP_CLK_REF, number(IcscType::U8, v));
  EXPECT_EQ(card.bpClkSets, 5);
  EXPECT_EQ(get(CO::CO_CONTROL, CTRL_BP_CLK_REF).num, 255);
  std::ostringstream dump;
  sc.dump(dump);
  EXPECT_NE(dump.str().find("BpClkRef=255"), std::string::npos) << "as the chassis reads it";
}

TEST_F(Common, UtcTimeReadsBackAsWrittenAndAdvances) {
  const int64_t t = 4102444800LL;  // beyond 32 bits on purpose
  EXPECT_EQ(get(CO::CO_CONTROL, CTRL_UTC_TIME).num, 0);
  ASSERT_EQ(set(CO::CO_CONTROL, CTRL_UTC_TIME, number(IcscType::U64, t)).status, OK);
  ICSCTlv v = get(CO::CO_CONTROL, CTRL_UTC_TIME);
  EXPECT_EQ(v.type, IcscType::U64);
  EXPECT_GE(v.num, t);
  EXPECT_LE(v.num, t + 60);
}

TEST_F(Common, PasswordIsNeverReadBackNorShown) {
  const std::string secret = "s3cr3t-Pw";
  EXPECT_EQ(get(CO::CO_LOG_TRANSFER, LOG_PASSWORD).str, "");
  ICSCTlv r = set(CO::CO_LOG_TRANSFER, LOG_PASSWORD, text(secret));
  EXPECT_EQ(r.status, OK);
  EXPECT_EQ(r.str, "********");
  EXPECT_EQ(get(CO::CO_LOG_TRANSFER, LOG_PASSWORD).str, "********");
  std::ostringstream dump;
  sc.dump(dump);
  EXPECT_EQ(dump.str().find(secret), std::string::npos);
  EXPECT_NE(dump.str().find("FTP Password=********"), std::string::npos);
  EXPECT_FALSE(log.contains(secret));
}

// The card's calls fill the cells; out-of-range and unregistered indexes
// change nothing.
TEST_F(Common, CardReportsShowInTheCells) {
  commonStatCtrl fresh("commonStatCtrl", 15, nullptr, 2, 1, 1, 1, nullptr);
  EXPECT_TRUE(fresh.addTemperatureSensor(0, "common.1"));
  EXPECT_FALSE(fresh.addTemperatureSensor(0, "again"));
  EXPECT_FALSE(fresh.addTemperatureSensor(2, "out of range"));
  EXPECT_FALSE(fresh.addHwError(1, 4, "too many"));
  EXPECT_FALSE(fresh.setTemp(0, 1, 1));  // index 1 exists but was never registered
  EXPECT_FALSE(fresh.setTemp(2, 0, 1));
  EXPECT_FALSE(fresh.setVoltage(1, 0, 1));

  for (int v : {40, 35, 52, 44})
    EXPECT_TRUE(sc.setTemp(0, 3, v));
  EXPECT_EQ(get(CO::CO_TEMPERATURE, TEMP_VALUE, 3).num, 44);
  EXPECT_EQ(get(CO::CO_TEMPERATURE, TEMP_MIN, 3).num, 35);
  EXPECT_EQ(get(CO::CO_TEMPERATURE, TEMP_MAX, 3).num, 52);
  EXPECT_EQ(get(CO::CO_TEMPERATURE, TEMP_VALID, 3).num, 0) << "no status report yet";
  EXPECT_TRUE(sc.setTemp(1, 3, 1));
  EXPECT_EQ(get(CO::CO_TEMPERATURE, TEMP_VALID, 3).num, 1);
  EXPECT_TRUE(sc.setTemp(0, 4, -5));
  EXPECT_EQ(get(CO::CO_TEMPERATURE, TEMP_MAX, 4).num, -5) << "the first value sets min and max";

  EXPECT_TRUE(sc.setVoltage(0, 6, 3298));
  EXPECT_TRUE(sc.setVoltage(1, 6, 1));
  EXPECT_FALSE(sc.setVoltage(1, 6, 2));
  EXPECT_EQ(get(CO::CO_VOLTAGE, VOLT_VALUE, 6).num, 3298);
  EXPECT_EQ(get(CO::CO_VOLTAGE, VOLT_VALID, 6).num, 1);
  EXPECT_EQ(get(CO::CO_VOLTAGE, VOLT_NOMINAL, 6).num, 1006);

  EXPECT_EQ(get(CO::CO_STATUS, STATUS_HW_ERROR).num, 0);
  EXPECT_TRUE(sc.setHwErrorActive(4, true));
  EXPECT_FALSE(sc.setHwErrorActive(kHw, true));
  EXPECT_EQ(get(CO::CO_HW_ERROR, ERR_ACTIVE, 4).num, 1);
  EXPECT_EQ(get(CO::CO_HW_ERROR, ERR_NAME, 4).str, "hw4");
  EXPECT_EQ(get(CO::CO_STATUS, STATUS_HW_ERROR).num, 1);
  EXPECT_TRUE(sc.setHwErrorActive(4, false));
  EXPECT_EQ(get(CO::CO_STATUS, STATUS_HW_ERROR).num, 0);
  // The clock alarms follow the operational alarms of the same index.
  EXPECT_TRUE(sc.setOperationalErrorActive(1, true));
  EXPECT_EQ(get(CO::CO_STATUS, STATUS_OPER_ALARM).num, 1);
  EXPECT_EQ(get(CO::CO_STATUS, STATUS_DPLL_ACTIVE_CLK + 1).num, 1);
  EXPECT_EQ(get(CO::CO_STATUS, STATUS_DPLL_ACTIVE_CLK).num, 0);
  EXPECT_EQ(get(CO::CO_OPER_ALARM, ERR_ID, 1).num, 257);

  sc.setSlot(3);
  sc.setCardState(5, "ACTIVE");
  EXPECT_EQ(get(CO::CO_CARD, CARD_SLOT).num, 3);
  EXPECT_EQ(get(CO::CO_CARD_STATE, CARDSTATE_VALUE).num, 5);
  EXPECT_EQ(get(CO::CO_CARD_STATE, CARDSTATE_NAME).str, "ACTIVE");
  sc.setLeds(0x0102, 0x0400, 0x8000);
  EXPECT_EQ(get(CO::CO_CARD_STATE, CARDSTATE_LEDS_ON).num, 0x0102);
  EXPECT_EQ(get(CO::CO_CARD_STATE, CARDSTATE_LEDS_SLOW).num, 0x0400);
  EXPECT_EQ(get(CO::CO_CARD_STATE, CARDSTATE_LEDS_FAST).num, 0x8000);
  std::ostringstream dump;
  sc.dump(dump);
  EXPECT_NE(dump.str().find("voltage[6]: Voltage Name=v6, Voltage Value=3298"), std::string::npos)
      << dump.str();
}

// Through the engine and the wire: NEXT goes from the (absent) object cells
// over every common cell, in number, instance, record order, to the event
// cells and then ends; a u64 write survives the codec both ways.
TEST_F(Common, EngineWalksCommonThenEventCells) {
  testsupport::LastAnswerSink sink;
  IcscProtocolIfc engine(&sc, &card, &sink);
  uint32_t id = 0;
  auto call = [&](uint8_t op, const ICSCTlv& c) {
    return testsupport::engineCall(engine, sink, op, c, ++id);
  };
  ICSCTlv cell;
  size_t common = 0, events = 0;
  auto order = [](uint32_t oid) {
    return (uint64_t{icscoid::commonNumber(oid)} << 32) | (icscoid::commonInstance(oid) << 8) |
           icscoid::commonRecord(oid);
  };
  uint64_t previous = 0;
  for (int guard = 0; guard < 1000; ++guard) {
    ICSCTlv r = call(NEXT, cell);
    if (r.status == END_OF_OBJECTS)
      break;
    ASSERT_EQ(r.status, OK);
    ASSERT_FALSE(icscoid::isObject(r.oid));
    if (icscoid::isCommon(r.oid)) {
      ASSERT_EQ(events, 0u) << "common cells come before event cells";
      ASSERT_TRUE(common == 0 || order(r.oid) > previous);
      previous = order(r.oid);
      ++common;
    } else {
      ASSERT_TRUE(icscoid::isEvent(r.oid));
      ++events;
    }
    cell.oid = r.oid;
  }
  EXPECT_EQ(common, 12u + 6 + 4 + 11 + 5 * kTemps + 4 * kVolts + 7 + 3 * kHw + 3 * kOper + 4 + 1 +
                        9 + 16 + 5 + 4);
  EXPECT_EQ(events, 1u + 11 + 7 + 1);

  ICSCTlv utc = number(IcscType::U64, 0x123456789ALL);
  utc.oid = icscoid::common(CO::CO_CONTROL, CTRL_UTC_TIME, 0);
  EXPECT_EQ(call(SET, utc).status, OK);
  ICSCTlv read;
  read.oid = utc.oid;
  EXPECT_GE(call(GET, read).num, 0x123456789ALL);
}

}  // namespace
