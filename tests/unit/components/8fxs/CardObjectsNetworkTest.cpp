// The registry's network side: the objects registered in the places of the
// account and network tables are the classes that act on the firewall and
// the kernel, and the tables find each other through the registry.
#include <gtest/gtest.h>

#include "AccountTableExt.h"
#include "CardObjects.h"
#include "IcscObjectsNetMan.h"
#include "TestSupport.h"
#include "icsc/IcscProtocol.h"

namespace {

class NullSink : public IcscResponseSink {
 public:
  bool sendResponse(std::string_view, const uint8_t*, size_t) override { return true; }
};

class RegistryNetwork : public ::testing::Test {
 protected:
  testsupport::LogCapture log{9};
  CardObjects card;
  NullSink sink;
  IcscProtocolIfc engine{nullptr, &card, &sink};
};

template <typename T>
bool isA(IcscObject* o) {
  return dynamic_cast<T*>(o) != nullptr;
}

TEST_F(RegistryNetwork, AccountAndNetworkPlacesHoldTheActingClasses) {
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

TEST_F(RegistryNetwork, TablesReachTheRegisteredSiblingsAndOneNetworkManager) {
  NetManRegistry& registry = card;
  EXPECT_EQ(static_cast<IcscObject*>(registry.getLinkConfigTable()), engine.findObject(27));
  EXPECT_EQ(static_cast<IcscObject*>(registry.getRouteConfigTable()), engine.findObject(29));
  ASSERT_NE(registry.getNetworkManager(), nullptr);
  EXPECT_EQ(registry.getNetworkManager(), card.getNetworkManager()) << "one client per process";
}

TEST_F(RegistryNetwork, StatusTablesReadTheConfigurationRowsOfTheRegistry) {
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
