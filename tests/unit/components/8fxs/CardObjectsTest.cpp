#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "AccountTableExt.h"
#include "CardObjects.h"
#include "IcscObjectsNetMan.h"
#include "MappedObjects.h"
#include "TestSupport.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscProtocol.h"

namespace {

class NullSink : public IcscResponseSink {
 public:
  bool sendResponse(std::string_view, const uint8_t*, size_t) override { return true; }
};

class Registry : public ::testing::Test {
 protected:
  bool cell(uint32_t oid, ICSCTlv& resp) {
    ICSCTlv req;
    req.oid = oid;
    return card.handleTableObjects(&req, 0, &resp);
  }
  testsupport::LogCapture log{9};
  CardObjects card;
  NullSink sink;
  IcscProtocolIfc engine{nullptr, &card, &sink};
};

TEST_F(Registry, TableTwoAnswersWithOnlyTheOid) {
  ICSCTlv r;
  ASSERT_TRUE(cell(icscoid::event(2, 3, 0), r));
  EXPECT_EQ(r.oid, icscoid::event(2, 3, 0));
  EXPECT_EQ(r.type, IcscType::NONE);
}

TEST_F(Registry, TempSensorColumnsAndTheirChecks) {
  card.m_temperatures[4].temperature = 41;
  card.m_temperatures[2].temperature = -7;
  card.m_temperatures[0].statusOk = true;
  card.m_hwErrMon.addError("MAX6602 TempSensor", 1);
  card.m_hwErrMon.setState("MAX6602 TempSensor", true);
  struct {
    unsigned column;
    IcscType type;
    int64_t want;
  } cases[] = {
      {0, IcscType::I32, 41},  {3, IcscType::I32, -7}, {5, IcscType::BOOL, 1},
      {6, IcscType::BOOL, 1},  {7, IcscType::BOOL, 0}, {8, IcscType::BOOL, 1},
      {10, IcscType::BOOL, 1},
  };
  for (const auto& c : cases) {
    ICSCTlv r;
    ASSERT_TRUE(cell(icscoid::event(1, c.column, 0), r)) << c.column;
    EXPECT_EQ(r.type, c.type) << c.column;
    EXPECT_EQ(r.num, c.want) << c.column;
  }
  ICSCTlv r;
  EXPECT_FALSE(cell(icscoid::event(1, 11, 0), r));
  EXPECT_TRUE(log.contains("[WARNING]"));
  EXPECT_TRUE(log.contains("get_status_tempsensor: Illegal column index 11"));
  log.clear();
  EXPECT_FALSE(cell(icscoid::event(1, 11, 1), r));
  EXPECT_TRUE(log.contains("status tempsensor: Illegal row index 1"));
  EXPECT_FALSE(log.contains("Illegal column"));
}

TEST_F(Registry, LedsTableAndUnknownTables) {
  ICSCTlv r;
  ASSERT_TRUE(cell(icscoid::event(3, 0, 0), r));
  EXPECT_EQ(r.num, 0) << "ADS1000 ADC not registered reads false";
  card.m_hwErrMon.addError("ADS1000 ADC", 1);
  card.m_hwErrMon.setState("ADS1000 ADC", true);
  ASSERT_TRUE(cell(icscoid::event(3, 0, 0), r));
  EXPECT_EQ(r.num, 1);
  EXPECT_FALSE(cell(icscoid::event(3, 1, 0), r));
  EXPECT_TRUE(log.contains("[ERROR]"));
  EXPECT_TRUE(log.contains("Illegal column index 1"));
  EXPECT_FALSE(cell(icscoid::event(4, 0, 0), r));
  EXPECT_TRUE(log.contains("Illegal table index 4"));
  EXPECT_FALSE(cell(icscoid::object(43, 0, 0), r));
  EXPECT_TRUE(log.contains("Error in retreiving table pars"));
}

struct OidCase {
  const char* name;
  uint32_t oid;
  bool valid;
};

const OidCase kOids[] = {
    {"t0_c0", icscoid::event(0, 0, 0), true},
    {"t0_c1", icscoid::event(0, 1, 0), false},
    {"t1_c10", icscoid::event(1, 10, 0), true},
    {"t1_c11", icscoid::event(1, 11, 0), false},
    {"t2_c6", icscoid::event(2, 6, 0), true},
    {"t2_c7", icscoid::event(2, 7, 0), false},
    {"t3_c0", icscoid::event(3, 0, 0), true},
    {"t3_c1", icscoid::event(3, 1, 0), false},
    {"t4", icscoid::event(4, 0, 0), false},
    {"row1", icscoid::event(1, 0, 1), false},
    {"bit28", icscoid::event(1, 0, 0) | 0x10000000u, false},
    {"object_kind", icscoid::object(1, 0, 0), false},
    {"kind_11", 0xC0000000u, false},
};

class EventOid : public ::testing::TestWithParam<OidCase> {};

TEST_P(EventOid, Validity) {
  CardObjects card;
  EXPECT_EQ(card.isValidEventTableOid(GetParam().oid), GetParam().valid);
}

INSTANTIATE_NAMED(Registry, EventOid, kOids);

TEST_F(Registry, DescriptorsOnlyForEventTables) {
  EXPECT_NE(card.getEventTableDescriptors(icscoid::event(1, 0, 0)), nullptr);
  EXPECT_EQ(card.getEventTableDescriptors(icscoid::event(4, 0, 0)), nullptr);
  EXPECT_EQ(card.getEventTableDescriptors(icscoid::object(1, 0, 0)), nullptr);
}

TEST_F(Registry, AllDataValidNeedsAPowerReportAndThenStays) {
  card.m_max6602StatusValid = card.m_adcStatusValid = card.m_pca9552StatusValid = true;
  EXPECT_FALSE(card.allDataValid());
  card.m_pwrmonStatusValid = 1;
  EXPECT_TRUE(card.allDataValid());
  card.m_adcStatusValid = false;
  card.m_pwrmonStatusValid = 0;
  EXPECT_TRUE(card.allDataValid());
}

TEST_F(Registry, BpClkReferenceIsNotSupported) {
  EXPECT_FALSE(card.setBpClkReference(1));
  EXPECT_EQ(card.getBpClkReference(), 255u);
  EXPECT_EQ(log.count("does not support syncE"), 2u);
}

TEST_F(Registry, VocalAlarmColumnsAreBitsOfTheWord) {
  card.setVocalAlarm(0x101);
  IcscObject* table = engine.findObject(31);
  IcscObject* wide = engine.findObject(43);  // lends a property id past the table
  ASSERT_NE(table, nullptr);
  struct {
    IcscProperty* prop;
    unsigned row;
    bool ok;
    const char* want;
  } cases[] = {{table->getProp(8), 0, true, "true"},
               {table->getProp(0), 31, true, "true"},
               {table->getProp(1), 5, true, "false"},
               {table->getProp(0), 32, false, ""},
               {wide->getProp(9), 0, false, ""}};
  for (const auto& c : cases) {
    EXPECT_EQ(table->update(c.prop, c.row), c.ok) << c.prop->getPropertyId() << "/" << c.row;
    if (c.ok) {
      EXPECT_EQ(c.prop->text(c.row), c.want);
    }
  }
  EXPECT_TRUE(log.contains("VocalAlarmStatusTable: Out of range: row=32, expected=[0..31]"));
  EXPECT_TRUE(log.contains("VocalAlarmStatusTable: Invalid column [9]"));
  EXPECT_TRUE(log.contains("vocal alarm = 257"));
  EXPECT_TRUE(table->updated(table->getProp(0), 0)) << "writes keep the default behaviour";
}

TEST_F(Registry, DumpMembersWritesWordsAndRestoresDigits) {
  card.m_adcStatusValid = true;
  card.m_pwrmonStatusValid = 3;
  std::ostringstream os;
  card.dumpMembers(os);
  os << true;
  std::string s = os.str();
  EXPECT_NE(s.find("m_all_data_valid   = false\n"), std::string::npos);
  EXPECT_NE(s.find("  m_adcStatusValid            = true\n"), std::string::npos);
  EXPECT_NE(s.find("  m_pwrmonStatusValid         = true\n"), std::string::npos);
  EXPECT_EQ(s.back(), '1') << "booleans back to digits";
}

// Every velmora-mapped object is registered as its own class, not as its
// generated base: without an engine its read fails with the class's own
// message, where a bare base would accept it.
TEST_F(Registry, MappedObjectsAreRegisteredAsTheirClasses) {
  for (const mappedtest::MappedClass& c : mappedtest::mappedClasses()) {
    IcscObject* o = engine.findObject(c.desc->id);
    ASSERT_NE(o, nullptr) << c.name;
    log.clear();
    unsigned last = o->getColumnCount() - 1;
    EXPECT_FALSE(o->update(o->getProp(last), o->getRowCount() - 1)) << c.name;
    EXPECT_TRUE(log.contains(std::string(c.name) + "::update() failed: id=" +
                             std::to_string(c.desc->id) + ", prop=" + c.desc->columns[last].symbol))
        << c.name;
  }
}

// The object list and the descriptions agree: each described object is
// registered once, under its own id and name, and nothing else is.
TEST_F(Registry, EveryDescribedObjectIsRegisteredOnce) {
  EXPECT_EQ(engine.objectCount(), icscdesc::count());
  for (size_t i = 0; i < icscdesc::count(); ++i) {
    const IcscObjectDesc& d = *icscdesc::all()[i];
    IcscObject* o = engine.findObject(d.id);
    ASSERT_NE(o, nullptr) << d.name;
    EXPECT_STREQ(o->getName(), d.name);
  }
  EXPECT_FALSE(log.contains("already registered"));
}

// The places of the account and network tables hold the classes that act
// on the firewall and the kernel.
template <typename T>
bool isA(IcscObject* o) {
  return dynamic_cast<T*>(o) != nullptr;
}

TEST_F(Registry, AccountAndNetworkPlacesHoldTheActingClasses) {
  struct Place {
    uint32_t id;
    const char* name;
    bool (*check)(IcscObject*);
  } places[] = {
      {1, "AccountTable", isA<AccountTableExt>},
      {27, "IfmNetworkLinkConfigTable", isA<IfmNetworkLinkConfigTable>},
      {28, "IfmNetworkLinkStatusTable", isA<IfmNetworkLinkStatusTable>},
      {29, "IfmNetworkRouteConfigTable", isA<IfmNetworkRouteConfigTable>},
      {30, "IfmNetworkRouteStatusTable", isA<IfmNetworkRouteStatusTable>},
      {31, "VocalAlarmStatusTable", isA<VocalAlarmStatusTable>},
  };
  for (const Place& p : places) {
    IcscObject* o = engine.findObject(p.id);
    ASSERT_NE(o, nullptr) << p.id;
    EXPECT_STREQ(o->getName(), p.name) << p.id;
    EXPECT_TRUE(p.check(o)) << p.name << " is still a stored-values placeholder";
  }
}

TEST_F(Registry, TablesReachTheRegisteredSiblingsAndOneNetworkManager) {
  NetManRegistry& registry = card;
  EXPECT_EQ(static_cast<IcscObject*>(registry.getLinkConfigTable()), engine.findObject(27));
  EXPECT_EQ(static_cast<IcscObject*>(registry.getRouteConfigTable()), engine.findObject(29));
  ASSERT_NE(registry.getNetworkManager(), nullptr);
  EXPECT_EQ(registry.getNetworkManager(), card.getNetworkManager()) << "one client per process";
}

TEST_F(Registry, StatusTablesReadTheConfigurationRowsOfTheRegistry) {
  // An unset configuration row (VLAN id 0, no destination) is answered
  // without asking the kernel; a set one would be looked up.
  IcscObject* linkStatus = engine.findObject(28);
  IcscObject* routeStatus = engine.findObject(30);
  ASSERT_TRUE(linkStatus && routeStatus);
  EXPECT_TRUE(linkStatus->update(linkStatus->getProp(2), 4));
  EXPECT_TRUE(log.contains("row or parent has invalid data"));
  EXPECT_TRUE(routeStatus->update(routeStatus->getProp(1), 4));
  EXPECT_TRUE(log.contains("route is not in use"));

  card.getLinkConfigTable()->setPropifmNetworkLinkConfigVlanId(5, 100);
  card.getLinkConfigTable()->setPropifmNetworkLinkConfigParent(5, "nosuch0");
  card.getLinkConfigTable()->setPropifmNetworkLinkConfigInService(5, true);
  // No such VLAN in this namespace while its row is in service: refused.
  EXPECT_FALSE(linkStatus->update(linkStatus->getProp(2), 5));
  EXPECT_TRUE(log.contains("vlan with vlanid 100 not found, but should be active"));
}

}  // namespace
