#include <gtest/gtest.h>

#include "FakeIptables.h"
#include "FakeNetworkManager.h"
#include "IcscObjectsNetMan.h"
#include "SipMediaRules.h"
#include "TestSupport.h"

using netlink_route::Address;

namespace {

struct FakeRegistry : NetManRegistry {
  FakeNetworkManager nm;
  FakeIptables iptables;
  IfmNetworkLinkConfigTable linkConfig{this, &iptables};
  IfmNetworkLinkStatusTable linkStatus{this};
  IfmNetworkRouteConfigTable routeConfig{this};
  IfmNetworkRouteStatusTable routeStatus{this};
  NetworkManagerInterface* getNetworkManager() override { return &nm; }
  IfmNetworkLinkConfigTableBase* getLinkConfigTable() override { return &linkConfig; }
  IfmNetworkRouteConfigTableBase* getRouteConfigTable() override { return &routeConfig; }
};

// ---------------------------------------------------------------- conversions

TEST(NetmaskConversions, BothDirections) {
  struct Case {
    const char* text;
    bool ok;
    int prefix;
  };
  const Case toPrefix[] = {
      {"255.255.255.0", true, 24},   {"0.0.0.0", true, 0},
      {"255.255.255.255", true, 32}, {"255.0.255.0", true, 24},
      {"255.255.128.0", true, 17},   {"abc", false, 0},
      {"255.255.255", false, 0},     {"255.255.255.0junk", true, 24},
  };
  for (const Case& c : toPrefix) {
    int p = -1;
    EXPECT_EQ(netmaskToPrefix(c.text, p), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(p, c.prefix) << c.text;
    }
  }
  const std::pair<int, const char*> toMask[] = {
      {24, "255.255.255.0"},   {0, "0.0.0.0"},          {-3, "0.0.0.0"},
      {32, "255.255.255.255"}, {40, "255.255.255.255"}, {17, "255.255.128.0"},
  };
  for (const auto& [p, text] : toMask) {
    std::string out;
    EXPECT_TRUE(prefixToNetmask(p, out));
    EXPECT_EQ(out, text) << p;
  }
  // The card's reading of a dotted quad is sscanf's, not inet_pton's.
  const std::pair<const char*, uint32_t> quads[] = {
      {"10.1.2.259", 0x0a010203u},  // each octet keeps its low eight bits
      {"010.1.2.3", 0x0a010203u},   // decimal, not octal
      {" 10.1.2.3", 0x0a010203u},  {"10. 1.2.3", 0x0a010203u},  {"+10.1.2.3", 0x0a010203u},
      {"10.1.2.-1", 0x0a0102ffu},  {"10.1.2.3.4", 0x0a010203u}, {"10.1.2.3/24", 0x0a010203u},
      {"0001.2.3.4", 0x01020304u},
  };
  for (const auto& [text, want] : quads) {
    uint32_t v = 0;
    EXPECT_TRUE(parseDottedQuad(text, v)) << text;
    EXPECT_EQ(v, want) << text;
  }
  for (const char* bad : {"", "10.1.2", "10..1.2", "a.b.c.d", "10.1.2.x", "0x0a.1.2.3"}) {
    uint32_t v = 0;
    EXPECT_FALSE(parseDottedQuad(bad, v)) << bad;
  }
  for (const auto& [value, want] : {std::pair<uint32_t, const char*>{0xc0a80501u, "192.168.5.1"},
                                    {0u, "0.0.0.0"},
                                    {0xffffffffu, "255.255.255.255"}}) {
    std::string text;
    EXPECT_TRUE(formatDottedQuad(value, text));
    EXPECT_EQ(text, want);
  }
}

// ---------------------------------------------------------------- link config

class LinkTable : public ::testing::Test {
 protected:
  void setRow(unsigned row, const std::string& ip, const std::string& mask, const std::string& gw,
              const std::string& parent, uint16_t vlan) {
    auto& t = reg.linkConfig;
    t.setPropifmNetworkLinkConfigIP(row, ip);
    t.setPropifmNetworkLinkConfigNetmask(row, mask);
    t.setPropifmNetworkLinkConfigGateway(row, gw);
    t.setPropifmNetworkLinkConfigParent(row, parent);
    t.setPropifmNetworkLinkConfigVlanId(row, vlan);
  }
  bool write(unsigned row, bool inService, unsigned column = 7) {
    reg.linkConfig.setPropifmNetworkLinkConfigInService(row, inService);
    return reg.linkConfig.updated(reg.linkConfig.getProp(column), row);
  }
  testsupport::LogCapture log;
  FakeRegistry reg;
};

TEST_F(LinkTable, OtherColumnsAndBadAddressesAreRefusedOrIgnored) {
  setRow(0, "10.1.2.3", "255.255.255.0", "0.0.0.0", "eth1", 100);
  for (unsigned column = 0; column < 7; ++column)
    EXPECT_TRUE(write(0, true, column)) << column;
  EXPECT_TRUE(reg.nm.calls.empty());
  EXPECT_FALSE(reg.linkConfig.updated(reg.linkConfig.getProp(7), 32));
  EXPECT_TRUE(log.contains("IfmNetworkLinkConfigTable: Out of range: row=32, expected=[0..31]"));
  EXPECT_TRUE(reg.nm.calls.empty());
  EXPECT_TRUE(reg.iptables.calls.empty());
}

TEST_F(LinkTable, EnableCreatesVlanRouteAndFourRules) {
  setRow(2, "10.1.2.3", "255.255.255.0", "10.0.0.1", "eth1", 100);
  ASSERT_TRUE(write(2, true));
  ASSERT_EQ(reg.nm.ops(), (std::vector<std::string>{"update_vlan", "update_route"}));
  EXPECT_EQ(reg.nm.calls[0].name, "eth1.100");
  EXPECT_EQ(reg.nm.calls[0].detail, "10.1.2.3/24 up");
  EXPECT_EQ(reg.nm.calls[1].name, "default");
  EXPECT_EQ(reg.nm.calls[1].detail, "0.0.0.0/0 via 10.0.0.1/24");
  ASSERT_EQ(reg.iptables.calls.size(), 1u);
  EXPECT_TRUE(reg.iptables.calls[0].add);
  EXPECT_EQ(reg.iptables.calls[0].rules, sipmedia::subnetRules("10.1.2.3/24"));
  EXPECT_EQ(reg.linkConfig.vlanIds(), std::set<int32_t>{100});
  EXPECT_TRUE(log.contains("ipmask=10.1.2.3/24"));
}

TEST_F(LinkTable, TakingTheOnlyRowOutRemovesVlanAndRulesSharedOnesStay) {
  setRow(0, "10.1.2.3", "255.255.255.0", "0.0.0.0", "eth1", 100);
  setRow(1, "10.1.2.3", "255.255.255.0", "0.0.0.0", "eth1", 100);
  ASSERT_TRUE(write(0, true));
  ASSERT_TRUE(write(1, true));
  EXPECT_TRUE(log.contains("ip and subnet 10.1.2.3/24 already allowed"));
  EXPECT_EQ(reg.iptables.calls.size(), 1u) << "one entry for two rows of one subnet";

  reg.nm.calls.clear();
  ASSERT_TRUE(write(0, false));
  EXPECT_TRUE(reg.nm.calls.empty()) << "row 1 still uses VLAN 100";
  EXPECT_EQ(reg.iptables.calls.size(), 1u);

  ASSERT_TRUE(write(1, false));
  ASSERT_EQ(reg.nm.ops(), (std::vector<std::string>{"get_vlan", "update_vlan"}));
  EXPECT_EQ(reg.nm.calls[1].name, "eth1.100");
  EXPECT_TRUE(reg.nm.calls[1].remove);
  EXPECT_EQ(reg.nm.calls[1].detail, "10.1.2.3/24 down");
  ASSERT_EQ(reg.iptables.calls.size(), 2u);
  EXPECT_FALSE(reg.iptables.calls[1].add);
  EXPECT_EQ(reg.iptables.calls[1].rules, sipmedia::subnetRules("10.1.2.3/24"));
  EXPECT_TRUE(reg.linkConfig.vlanIds().empty());
  EXPECT_TRUE(reg.linkConfig.allowedSubnets().empty());
}

TEST_F(LinkTable, VlanOnEth0IsLookedForUnderEth1AndKept) {
  setRow(0, "10.7.0.1", "255.255.0.0", "0.0.0.0", "eth0", 7);
  ASSERT_TRUE(write(0, true));
  EXPECT_EQ(reg.nm.calls[0].name, "eth0.7");
  ASSERT_TRUE(write(0, false));
  EXPECT_TRUE(log.contains("Vlan eth1.7 does not exist, will not remove"));
  EXPECT_EQ(reg.linkConfig.vlanIds(), std::set<int32_t>{7});
  log.clear();
  setRow(3, "10.9.0.1", "255.255.255.0", "0.0.0.0", "eth1", 9);
  ASSERT_TRUE(write(3, true));
  EXPECT_TRUE(log.contains("Vlan eth1.7 does not exist, will not remove")) << "repeats";
}

struct RefusedRow {
  const char* name;
  const char* mask;
  const char* parent;
  uint16_t vlan;
  const char* logText;
};

const RefusedRow kRefusedRows[] = {
    {"vlan_zero", "255.255.255.0", "eth1", 0, "vlan-id=0"},
    {"vlan_4096", "255.255.255.0", "eth1", 4096, "vlan-id=4096"},
    {"netmask_abc", "abc", "eth1", 100, "Invalid netmask: 'abc'"},
    {"parent_empty", "255.255.255.0", "", 100, "parent empty"},
    {"parent_not_eth", "255.255.255.0", "wlan0", 100, "parent=wlan0, expecting eth<x>"},
};

class LinkRefused : public LinkTable, public ::testing::WithParamInterface<RefusedRow> {};

TEST_P(LinkRefused, NothingIsCreated) {
  const RefusedRow& c = GetParam();
  setRow(4, "10.1.2.3", c.mask, "10.0.0.1", c.parent, c.vlan);
  EXPECT_FALSE(write(4, true));
  EXPECT_TRUE(log.contains(c.logText));
  EXPECT_TRUE(reg.nm.calls.empty());
  EXPECT_TRUE(reg.iptables.calls.empty());
}

INSTANTIATE_NAMED(NetMan, LinkRefused, kRefusedRows);

TEST_F(LinkTable, FailuresStopTheApplyWithoutRollback) {
  setRow(0, "10.1.2.3", "255.255.255.0", "10.0.0.1", "eth1", 100);
  reg.nm.failing = {"update_vlan"};
  EXPECT_FALSE(write(0, true));
  EXPECT_TRUE(reg.linkConfig.vlanIds().empty());
  EXPECT_TRUE(reg.iptables.calls.empty());

  reg.nm.failing = {"update_route"};
  EXPECT_FALSE(write(0, true));
  EXPECT_EQ(reg.linkConfig.vlanIds(), std::set<int32_t>{100}) << "the VLAN stays";
  EXPECT_TRUE(reg.iptables.calls.empty());

  reg.nm.failing.clear();
  reg.iptables.results = {false};
  EXPECT_FALSE(write(0, true));
  EXPECT_TRUE(reg.linkConfig.allowedSubnets().empty());
  EXPECT_TRUE(write(0, true));
  EXPECT_EQ(reg.linkConfig.allowedSubnets(), std::set<std::string>{"10.1.2.3/24"});

  // A failed delete keeps the entry for the next apply.
  reg.iptables.results = {false};
  EXPECT_FALSE(write(0, false));
  EXPECT_TRUE(log.contains("failed to cleanup ip rules!"));
  EXPECT_EQ(reg.linkConfig.allowedSubnets().size(), 1u);
  ASSERT_TRUE(write(0, true));
  reg.nm.failing = {"get_vlan"};
  EXPECT_FALSE(write(0, false));
  EXPECT_EQ(reg.linkConfig.vlanIds(), std::set<int32_t>{100});
  EXPECT_TRUE(log.contains("getting vlan info eth1.100 fails"));
}

// ---------------------------------------------------------------- link status

TEST_F(LinkTable, StatusReportsTheKernelsVlan) {
  setRow(1, "10.1.2.3", "255.255.255.0", "0.0.0.0", "eth1", 100);
  ASSERT_TRUE(write(1, true));
  auto& st = reg.linkStatus;
  const char* const want[] = {"100",     "eth1.100", "10.1.2.3", "true", "255.255.255.0",
                              "0.0.0.0", "eth1",     "100",      "true"};
  for (unsigned column = 0; column < 9; ++column) {
    ASSERT_TRUE(st.update(st.getProp(column), 1)) << column;
    EXPECT_EQ(st.getProp(column)->text(1), want[column]) << column;
  }

  // Removed from the kernel while out of service: blanked.
  reg.linkConfig.setPropifmNetworkLinkConfigInService(1, false);
  reg.nm.vlans.clear();
  ASSERT_TRUE(st.update(st.getProp(2), 1));
  EXPECT_EQ(st.getProp(2)->text(1), "");
  EXPECT_EQ(st.getProp(8)->text(1), "false");
  // Missing while in service is an error.
  reg.linkConfig.setPropifmNetworkLinkConfigInService(1, true);
  EXPECT_FALSE(st.update(st.getProp(2), 1));
  EXPECT_TRUE(log.contains("vlan with vlanid 100 not found, but should be active "));
}

TEST_F(LinkTable, StatusOfAnUnsetRowIsLeftAlone) {
  reg.linkStatus.setPropifmNetworkLinkStatusIP(5, "keep");
  ASSERT_TRUE(reg.linkStatus.update(reg.linkStatus.getProp(2), 5));
  EXPECT_EQ(reg.linkStatus.getProp(2)->text(5), "keep");
  EXPECT_TRUE(reg.nm.calls.empty());
  EXPECT_FALSE(reg.linkStatus.update(reg.linkStatus.getProp(2), 32));
  reg.nm.failing = {"get_vlan"};
  setRow(5, "10.1.2.3", "255.255.255.0", "0.0.0.0", "eth1", 5);
  EXPECT_FALSE(reg.linkStatus.update(reg.linkStatus.getProp(2), 5));
  EXPECT_TRUE(log.contains("vlan receive failed for eth1.5"));
}

// ---------------------------------------------------------------- routes

class RouteTable : public ::testing::Test {
 protected:
  void setRow(unsigned row, const std::string& dst, const std::string& mask, const std::string& gw,
              const std::string& iface) {
    auto& t = reg.routeConfig;
    t.setPropifmNetworkRouteConfigIPDestination(row, dst);
    t.setPropifmNetworkRouteConfigNetmask(row, mask);
    t.setPropifmNetworkRouteConfigGateway(row, gw);
    t.setPropifmNetworkRouteConfigInterface(row, iface);
  }
  bool write(unsigned row, bool inUse) {
    reg.routeConfig.setPropifmNetworkRouteConfigInUse(row, inUse);
    return reg.routeConfig.updated(reg.routeConfig.getProp(0), row);
  }
  testsupport::LogCapture log;
  FakeRegistry reg;
};

TEST_F(RouteTable, InstallThenRemoveChecksWithTester) {
  setRow(3, "192.168.5.0", "255.255.255.0", "10.0.0.1", "eth1");
  ASSERT_TRUE(write(3, true));
  ASSERT_EQ(reg.nm.calls.size(), 1u);
  EXPECT_EQ(reg.nm.calls[0].op, "update_route");
  EXPECT_EQ(reg.nm.calls[0].name, "Route3");
  EXPECT_EQ(reg.nm.calls[0].detail, "192.168.5.0/24 via 10.0.0.1");
  EXPECT_FALSE(reg.nm.calls[0].remove);

  reg.nm.calls.clear();
  ASSERT_TRUE(write(3, false));
  ASSERT_EQ(reg.nm.ops(), (std::vector<std::string>{"get_route", "update_route"}));
  EXPECT_EQ(reg.nm.calls[0].name, "tester");
  EXPECT_EQ(reg.nm.calls[1].name, "Route3");
  EXPECT_TRUE(reg.nm.calls[1].remove);
  EXPECT_TRUE(reg.nm.routes.empty());

  reg.nm.calls.clear();
  ASSERT_TRUE(write(3, false));
  EXPECT_TRUE(log.contains("route does not exist, will not remove"));
  EXPECT_EQ(reg.nm.ops(), std::vector<std::string>{"get_route"});
}

TEST_F(RouteTable, EdgeRows) {
  // Empty row taken out of use.
  EXPECT_TRUE(write(0, false));
  EXPECT_EQ(log.count("got a row disabled with incorrect parameters"), 1u);
  EXPECT_TRUE(log.contains("will return succes for this update because this are probably empty"));
  // Bad netmask on install: accepted, nothing installed.
  setRow(1, "192.168.5.0", "abc", "10.0.0.1", "eth1");
  EXPECT_TRUE(write(1, true));
  EXPECT_TRUE(log.contains("Invalid netmask: abc"));
  // ... and refused on removal.
  EXPECT_FALSE(write(1, false));
  EXPECT_TRUE(reg.nm.calls.empty());
  // Without an interface the row counts as empty before its netmask is read.
  setRow(1, "192.168.5.0", "abc", "10.0.0.1", "");
  EXPECT_TRUE(write(1, false));
  EXPECT_EQ(log.count("got a row disabled with incorrect parameters"), 2u);
  EXPECT_EQ(log.count("Invalid netmask: abc"), 2u);
  // Columns 1..7 only store; 8 is no column of the table.
  EXPECT_TRUE(reg.routeConfig.updated(reg.routeConfig.getProp(5), 1));
  EXPECT_FALSE(reg.routeConfig.updated(reg.routeConfig.getProp(0), 32));
  EXPECT_TRUE(log.contains("IfmNetworkRouteConfigTable: Out of range: row=32, expected=[0..31]"));
  reg.nm.failing = {"get_route"};
  setRow(2, "192.168.6.0", "255.255.255.0", "", "eth1");
  EXPECT_FALSE(write(2, false));
  EXPECT_TRUE(log.contains("getting route to test fails"));
}

TEST_F(RouteTable, GatewayFromTheInterfaceAddress) {
  netlink_route::Interface vlan("eth1.100");
  vlan.addIp(Address("10.1.2.3/24", Address::TYPE_IPV4_PREFIX), false);
  reg.nm.interfaces.emplace("eth1.100", vlan);
  setRow(4, "172.16.0.0", "255.255.0.0", "", "eth1.100");
  ASSERT_TRUE(write(4, true));
  EXPECT_EQ(reg.nm.calls.back().detail, "172.16.0.0/16 via 10.1.2.3/24");

  setRow(5, "172.17.0.0", "255.255.0.0", "", "");
  ASSERT_TRUE(write(5, true));
  EXPECT_EQ(reg.nm.calls.back().detail, "172.17.0.0/16");

  setRow(6, "172.18.0.0", "255.255.0.0", "", "eth9");
  EXPECT_FALSE(write(6, true));
  EXPECT_TRUE(log.contains("failed to get interface specified in route"));
  reg.nm.interfaces.emplace("eth7", netlink_route::Interface("eth7"));
  setRow(7, "172.19.0.0", "255.255.0.0", "", "eth7");
  EXPECT_FALSE(write(7, true));
  EXPECT_TRUE(log.contains("interface does not have an ip!"));
}

TEST_F(RouteTable, StatusReportsTheKernelsRoute) {
  setRow(3, "192.168.5.0", "255.255.255.0", "10.0.0.1", "eth1");
  ASSERT_TRUE(write(3, true));
  auto& st = reg.routeStatus;
  st.setPropifmNetworkRouteStatusFlags(3, 77);
  // Flags are overwritten with 0; index, metric and ref are not written.
  const std::pair<unsigned, const char*> want[] = {
      {1, "true"}, {2, "192.168.5.0"}, {3, "255.255.255.0"}, {4, "10.0.0.1"},
      {5, "0"},    {6, "0"},           {8, "eth1"}};
  for (unsigned column = 0; column < 9; ++column)
    ASSERT_TRUE(st.update(st.getProp(column), 3)) << column;
  for (const auto& [column, text] : want)
    EXPECT_EQ(st.getProp(column)->text(3), text) << column;
  for (const char* column : {"INDEX", "METRIC", "REF"}) {
    EXPECT_EQ(log.count(std::string("IfmNetworkRouteStatusTable::update - Not implemented for "
                                    "OBJ_IFMNETWORKROUTESTATUS_IFMNETWORKROUTESTATUS") +
                        column),
              1u)
        << column;
  }

  // Out of use: untouched.
  reg.routeConfig.setPropifmNetworkRouteConfigInUse(3, false);
  reg.nm.calls.clear();
  ASSERT_TRUE(st.update(st.getProp(1), 3));
  EXPECT_TRUE(reg.nm.calls.empty());
  EXPECT_FALSE(st.update(st.getProp(1), 32));
}

// Every way the status read can miss the kernel's route leaves the row as
// it was; only a netmask that is no dotted quad refuses the read.
struct RouteStatusMiss {
  const char* name;
  const char* netmask;
  const char* failingOp;
  const char* kernelDestination;  // the route the kernel holds; null: none
  unsigned column;
  bool result;
  const char* log;         // null: none expected
  const char* columnText;  // after the read
};
const RouteStatusMiss kRouteStatusMisses[] = {
    {"netmask_not_dotted", "abc", nullptr, nullptr, 2, false, "Invalid netmask: abc", "keep"},
    {"lookup_fails", "255.255.255.0", "get_route", nullptr, 2, true,
     "failed to get route for update with destination 192.168.5.0/24", "keep"},
    {"kernel_gives_no_prefix", "255.255.255.0", nullptr, "192.168.5.0", 3, true,
     "Netmask not found: 192.168.5.0", "keep"},
    {"destination_without_prefix_whole", "255.255.255.0", nullptr, "192.168.5.0", 2, true, nullptr,
     "192.168.5.0"},
};

class RouteStatusMisses : public RouteTable,
                          public ::testing::WithParamInterface<RouteStatusMiss> {};

TEST_P(RouteStatusMisses, LeaveTheRow) {
  const RouteStatusMiss& c = GetParam();
  setRow(3, "192.168.5.0", c.netmask, "10.0.0.1", "eth1");
  reg.routeConfig.setPropifmNetworkRouteConfigInUse(3, true);
  if (c.kernelDestination != nullptr) {
    netlink_route::Route kernel("Route3");
    kernel.setDestination(Address(c.kernelDestination, Address::TYPE_IPV4_PREFIX));
    reg.nm.routes.emplace("192.168.5.0/24", kernel);
  }
  if (c.failingOp != nullptr)
    reg.nm.failing = {c.failingOp};
  auto& st = reg.routeStatus;
  st.setPropifmNetworkRouteStatusIPDestination(3, "keep");
  st.setPropifmNetworkRouteStatusNetmask(3, "keep");
  EXPECT_EQ(st.update(st.getProp(c.column), 3), c.result);
  if (c.log != nullptr) {
    EXPECT_TRUE(log.contains(c.log));
  }
  EXPECT_EQ(st.getProp(c.column)->text(3), c.columnText);
}

INSTANTIATE_NAMED(NetMan, RouteStatusMisses, kRouteStatusMisses);

}  // namespace
