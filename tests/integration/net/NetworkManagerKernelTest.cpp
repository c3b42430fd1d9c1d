// The network manager against the kernel, on a veth pair inside the test's
// own network namespace (tests/nsrun).
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "net/NetworkManagerInterface.h"
#include "net/executeCommand.h"

using netlink_route::Address;

namespace {

bool sh(const std::string& command, std::string* out = nullptr) {
  return otn::executeCommand(command, true, out, nullptr, true);
}

class KernelNet : public ::testing::Test {
 protected:
  void SetUp() override {
    sh("ip link del vt0 2>/dev/null; true");
    ASSERT_TRUE(sh("ip link add vt0 type veth peer name vt1"));
    ASSERT_TRUE(sh("ip link set vt1 up"));
  }
  void TearDown() override { sh("ip link del vt0 2>/dev/null; true"); }

  bool hasAddress(const netlink_route::Interface& i, const std::string& text) {
    for (const Address& a : i.getIps())
      if (a.getAddress() == text)
        return true;
    return false;
  }

  NetworkManagerInterface nm;
  testsupport::LogCapture log;
};

TEST_F(KernelNet, AddressMacAndLinkStateReadBack) {
  netlink_route::Interface vt0("vt0");
  vt0.addIp(Address("10.9.0.1/24", Address::TYPE_IPV4_PREFIX), false);
  vt0.setMac(Address("02:a5:3c:00:50:05", Address::TYPE_MAC));
  vt0.setUp();
  ASSERT_TRUE(nm.update_interface(vt0, false));
  // Applying the same address again counts as success.
  ASSERT_TRUE(nm.update_interface(vt0, false));

  netlink_route::Interface read("vt0");
  ASSERT_TRUE(nm.get_interface(read));
  EXPECT_TRUE(hasAddress(read, "10.9.0.1/24"));
  EXPECT_EQ(read.getIps().size(), 1u);
  EXPECT_EQ(read.getMac().getAddress(), "02:a5:3c:00:50:05");
  EXPECT_TRUE(read.isUp());
  std::string shown;
  ASSERT_TRUE(sh("ip -4 -o addr show dev vt0", &shown));
  EXPECT_NE(shown.find("10.9.0.1/24"), std::string::npos) << shown;

  netlink_route::Interface down("vt0");
  down.setDown();
  ASSERT_TRUE(nm.update_interface(down, false));
  netlink_route::Interface again("vt0");
  ASSERT_TRUE(nm.get_interface(again));
  EXPECT_FALSE(again.isUp());

  netlink_route::Interface removal("vt0");
  removal.addIp(Address("10.9.0.1/24", Address::TYPE_IPV4_PREFIX), false);
  ASSERT_TRUE(nm.update_interface(removal, true));
  netlink_route::Interface empty("vt0");
  ASSERT_TRUE(nm.get_interface(empty));
  EXPECT_TRUE(empty.getIps().empty());
}

TEST_F(KernelNet, MissingInterfaceAndBadValuesFailWithOneLine) {
  netlink_route::Interface none("nosuch0");
  EXPECT_FALSE(nm.get_interface(none));
  EXPECT_FALSE(nm.update_interface(none, false));
  EXPECT_TRUE(log.contains("nosuch0 not found"));

  netlink_route::Interface badMac("vt0");
  badMac.setMac(Address("02:zz:3c:00:50:05", Address::TYPE_MAC));
  EXPECT_FALSE(nm.update_interface(badMac, false));
  EXPECT_TRUE(log.contains("MAC '02:zz:3c:00:50:05' of vt0 is not valid"));

  // A multicast MAC is refused by the kernel; its reason is logged.
  netlink_route::Interface multicast("vt0");
  multicast.setMac(Address("01:00:5e:00:00:01", Address::TYPE_MAC));
  EXPECT_FALSE(nm.update_interface(multicast, false));
  EXPECT_TRUE(log.contains("Cannot assign requested address"));
}

TEST_F(KernelNet, RouteAddLookUpDelete) {
  netlink_route::Interface vt0("vt0");
  vt0.addIp(Address("10.9.0.1/24", Address::TYPE_IPV4_PREFIX), false);
  vt0.setUp();
  ASSERT_TRUE(nm.update_interface(vt0, false));

  netlink_route::Route route("Route3");
  route.setDestination(Address("192.168.5.0/24", Address::TYPE_IPV4_PREFIX));
  route.setGateway(Address("10.9.0.2", Address::TYPE_IPV4_PREFIX));
  ASSERT_TRUE(nm.update_route(route, false));
  ASSERT_TRUE(nm.update_route(route, false)) << "re-applying replaces";

  netlink_route::Route found("route");
  found.setDestination(Address("192.168.5.0/24", Address::TYPE_IPV4_PREFIX));
  ASSERT_TRUE(nm.get_route(found));
  EXPECT_EQ(found.getName(), "route");
  EXPECT_TRUE(found.isAddedToKernel());
  EXPECT_EQ(found.getDestination().getAddress(), "192.168.5.0/24");
  EXPECT_EQ(found.getGateway().getAddress(), "10.9.0.2");
  EXPECT_EQ(found.getDevice(), "vt0");

  // Same address, other prefix: a different route.
  netlink_route::Route other("tester");
  other.setDestination(Address("192.168.5.0/25", Address::TYPE_IPV4_PREFIX));
  ASSERT_TRUE(nm.get_route(other));
  EXPECT_EQ(other.getName(), "");

  ASSERT_TRUE(nm.update_route(route, true));
  netlink_route::Route gone("route");
  gone.setDestination(Address("192.168.5.0/24", Address::TYPE_IPV4_PREFIX));
  ASSERT_TRUE(nm.get_route(gone));
  EXPECT_EQ(gone.getName(), "");
  EXPECT_FALSE(gone.isAddedToKernel());
}

TEST_F(KernelNet, DefaultRouteWithPrefixedGatewayAndDeviceRoute) {
  netlink_route::Interface vt0("vt0");
  vt0.addIp(Address("10.9.0.1/24", Address::TYPE_IPV4_PREFIX), false);
  vt0.setUp();
  ASSERT_TRUE(nm.update_interface(vt0, false));

  netlink_route::Route def("default");
  def.setDestination(Address("0.0.0.0/0", Address::TYPE_IPV4_PREFIX));
  def.setGateway(Address("10.9.0.2/24", Address::TYPE_IPV4_PREFIX));
  ASSERT_TRUE(nm.update_route(def, false));
  std::string shown;
  ASSERT_TRUE(sh("ip route show default", &shown));
  EXPECT_NE(shown.find("default via 10.9.0.2 dev vt0"), std::string::npos) << shown;

  netlink_route::Route onLink("Route1");
  onLink.setDestination(Address("172.16.1.0/24", Address::TYPE_IPV4_PREFIX));
  onLink.setDevice("vt0");
  ASSERT_TRUE(nm.update_route(onLink, false));
  ASSERT_TRUE(sh("ip route show 172.16.1.0/24", &shown));
  EXPECT_NE(shown.find("dev vt0"), std::string::npos) << shown;
}

TEST_F(KernelNet, UnreachableGatewayIsRefusedWithKernelReason) {
  netlink_route::Route route("Route4");
  route.setDestination(Address("192.168.6.0/24", Address::TYPE_IPV4_PREFIX));
  route.setGateway(Address("10.77.0.1", Address::TYPE_IPV4_PREFIX));
  EXPECT_FALSE(nm.update_route(route, false));
  EXPECT_TRUE(log.contains("Network is unreachable"));
  EXPECT_TRUE(log.contains("Route4"));
}

TEST_F(KernelNet, VlanAbsentHasIndexZero) {
  netlink_route::Vlan vlan("vt0.7");
  ASSERT_TRUE(nm.get_vlan(vlan));
  EXPECT_EQ(vlan.getVlanIndex(), 0);
  // Deleting what is not there counts as done.
  EXPECT_TRUE(nm.update_vlan(vlan, true));
  // A plain interface is found but is no VLAN.
  netlink_route::Vlan notVlan("vt0");
  ASSERT_TRUE(nm.get_vlan(notVlan));
  EXPECT_EQ(notVlan.getVlanIndex(), 0);
}

TEST_F(KernelNet, VlanCreateReadDelete) {
  bool supported =
      sh("ip link add link vt0 name vt0.9 type vlan id 9 2>/dev/null && "
         "ip link del vt0.9");
  netlink_route::Vlan vlan("vt0.100");
  vlan.addIp(Address("10.1.2.3/24", Address::TYPE_IPV4_PREFIX), false);
  vlan.setUp();
  bool created = nm.update_vlan(vlan, false);
  if (!supported) {
    EXPECT_FALSE(created);
    EXPECT_TRUE(log.contains("the kernel has no VLAN (802.1Q) support"));
    GTEST_SKIP() << "kernel without 802.1Q VLAN support: cannot create vt0.100";
  }
  ASSERT_TRUE(created);
  netlink_route::Vlan read("vt0.100");
  ASSERT_TRUE(nm.get_vlan(read));
  EXPECT_EQ(read.getVlanIndex(), 100);
  EXPECT_TRUE(read.isUp());
  ASSERT_EQ(read.getIps().size(), 1u);
  EXPECT_EQ(read.getIps()[0].getAddress(), "10.1.2.3/24");
  read.setDown();
  ASSERT_TRUE(nm.update_vlan(read, true));
  netlink_route::Vlan gone("vt0.100");
  ASSERT_TRUE(nm.get_vlan(gone));
  EXPECT_EQ(gone.getVlanIndex(), 0);
}

TEST_F(KernelNet, VlanWithBadNameOrMissingParentIsRefused) {
  netlink_route::Vlan badName("vt0.0");
  EXPECT_FALSE(nm.update_vlan(badName, false));
  EXPECT_TRUE(log.contains("VLAN name 'vt0.0' is not parent.<1..4095>"));
  netlink_route::Vlan orphan("nosuch1.5");
  EXPECT_FALSE(nm.update_vlan(orphan, false));
  EXPECT_TRUE(log.contains("parent nosuch1 of VLAN nosuch1.5 not found"));
}

TEST(Commands, StatusAndOutputOfShellCommands) {
  testsupport::LogCapture log;
  std::string out;
  int status = -5;
  EXPECT_TRUE(otn::executeCommand("echo hello", true, &out, &status, true));
  EXPECT_EQ(out, "hello\n");
  EXPECT_EQ(status, 0);
  EXPECT_FALSE(otn::executeCommand("echo oops >&2; exit 3", true, &out, &status, true));
  EXPECT_EQ(status, 3);
  EXPECT_TRUE(log.contains("command 'echo oops >&2; exit 3' failed with status 3: oops"));
}

}  // namespace
