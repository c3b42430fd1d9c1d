// The network manager against the kernel, on a veth pair inside the test's
// own network namespace (tests/nsrun).
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "net/NetworkManagerInterface.h"
#include "process/executeCommand.h"

using netlink_route::Address;

namespace {

bool sh(const std::string& command, std::string* out = nullptr) {
  return otn::executeCommand(command, true, out, nullptr, true);
}

Address prefix(const char* text) {
  return Address(text, Address::TYPE_IPV4_PREFIX);
}

netlink_route::Route route(const char* name, const char* destination, const char* gateway = "") {
  netlink_route::Route r(name);
  r.setDestination(prefix(destination));
  if (*gateway != '\0')
    r.setGateway(prefix(gateway));
  return r;
}

class KernelNet : public ::testing::Test {
 protected:
  void SetUp() override {
    sh("ip link del vt0 2>/dev/null; true");
    ASSERT_TRUE(sh("ip link add vt0 type veth peer name vt1"));
    ASSERT_TRUE(sh("ip link set vt1 up"));
  }
  void TearDown() override { sh("ip link del vt0 2>/dev/null; true"); }

  // vt0 up with 10.9.0.1/24, so that 10.9.0.2 is a reachable gateway.
  void bringUpVt0() {
    netlink_route::Interface vt0("vt0");
    vt0.addIp(prefix("10.9.0.1/24"), false);
    vt0.setUp();
    ASSERT_TRUE(nm.update_interface(vt0, false));
  }

  NetworkManagerInterface nm;
  testsupport::LogCapture log;
};

TEST_F(KernelNet, AddressMacAndLinkStateReadBack) {
  netlink_route::Interface vt0("vt0");
  vt0.addIp(prefix("10.9.0.1/24"), false);
  vt0.setMac(Address("02:a5:3c:00:50:05", Address::TYPE_MAC));
  vt0.setUp();
  ASSERT_TRUE(nm.update_interface(vt0, false));
  // Applying the same address again counts as success.
  ASSERT_TRUE(nm.update_interface(vt0, false));

  netlink_route::Interface read("vt0");
  ASSERT_TRUE(nm.get_interface(read));
  ASSERT_EQ(read.getIps().size(), 1u);
  EXPECT_EQ(read.getIps()[0].getAddress(), "10.9.0.1/24");
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
  removal.addIp(prefix("10.9.0.1/24"), false);
  ASSERT_TRUE(nm.update_interface(removal, true));
  netlink_route::Interface empty("vt0");
  ASSERT_TRUE(nm.get_interface(empty));
  EXPECT_TRUE(empty.getIps().empty());
}

TEST_F(KernelNet, RefusalsFailWithOneLineNamingTheCause) {
  netlink_route::Interface none("nosuch0"), badMac("vt0"), multicast("vt0");
  badMac.setMac(Address("02:zz:3c:00:50:05", Address::TYPE_MAC));
  // The kernel refuses a multicast MAC; its reason is logged.
  multicast.setMac(Address("01:00:5e:00:00:01", Address::TYPE_MAC));
  netlink_route::Route unreachable = route("Route4", "192.168.6.0/24", "10.77.0.1");
  netlink_route::Vlan badName("vt0.0"), orphan("nosuch1.5");
  EXPECT_FALSE(nm.get_interface(none));
  const struct {
    bool ok;
    const char* line;
  } results[] = {
      {nm.update_interface(none, false), "nosuch0 not found"},
      {nm.update_interface(badMac, false), "MAC '02:zz:3c:00:50:05' of vt0 is not valid"},
      {nm.update_interface(multicast, false), "Cannot assign requested address"},
      {nm.update_route(unreachable, false), "Network is unreachable"},
      {nm.update_vlan(badName, false), "VLAN name 'vt0.0' is not parent.<1..4095>"},
      {nm.update_vlan(orphan, false), "parent nosuch1 of VLAN nosuch1.5 not found"},
  };
  for (const auto& r : results) {
    EXPECT_FALSE(r.ok) << r.line;
    EXPECT_TRUE(log.contains(r.line)) << r.line;
  }
  EXPECT_TRUE(log.contains("Route4"));
}

TEST_F(KernelNet, RouteAddLookUpDelete) {
  bringUpVt0();
  netlink_route::Route added = route("Route3", "192.168.5.0/24", "10.9.0.2");
  ASSERT_TRUE(nm.update_route(added, false));
  ASSERT_TRUE(nm.update_route(added, false)) << "re-applying replaces";

  netlink_route::Route found = route("route", "192.168.5.0/24");
  ASSERT_TRUE(nm.get_route(found));
  EXPECT_EQ(found.getName(), "route");
  EXPECT_TRUE(found.isAddedToKernel());
  EXPECT_EQ(found.getDestination().getAddress(), "192.168.5.0/24");
  EXPECT_EQ(found.getGateway().getAddress(), "10.9.0.2");
  EXPECT_EQ(found.getDevice(), "vt0");

  // Same address, other prefix: a different route.
  netlink_route::Route other = route("tester", "192.168.5.0/25");
  ASSERT_TRUE(nm.get_route(other));
  EXPECT_EQ(other.getName(), "");

  ASSERT_TRUE(nm.update_route(added, true));
  netlink_route::Route gone = route("route", "192.168.5.0/24");
  ASSERT_TRUE(nm.get_route(gone));
  EXPECT_EQ(gone.getName(), "");
  EXPECT_FALSE(gone.isAddedToKernel());
}

TEST_F(KernelNet, DefaultRouteWithPrefixedGatewayAndDeviceRoute) {
  bringUpVt0();
  netlink_route::Route def = route("default", "0.0.0.0/0", "10.9.0.2/24");
  ASSERT_TRUE(nm.update_route(def, false));
  std::string shown;
  ASSERT_TRUE(sh("ip route show default", &shown));
  EXPECT_NE(shown.find("default via 10.9.0.2 dev vt0"), std::string::npos) << shown;

  netlink_route::Route onLink = route("Route1", "172.16.1.0/24");
  onLink.setDevice("vt0");
  ASSERT_TRUE(nm.update_route(onLink, false));
  ASSERT_TRUE(sh("ip route show 172.16.1.0/24", &shown));
  EXPECT_NE(shown.find("dev vt0"), std::string::npos) << shown;
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
  // A VLAN interface comes up only over a parent that is up.
  ASSERT_TRUE(sh("ip link set vt0 up"));
  netlink_route::Vlan vlan("vt0.100");
  vlan.addIp(prefix("10.1.2.3/24"), false);
  vlan.setUp();
  bool created = nm.update_vlan(vlan, false);
  if (!supported) {
    EXPECT_FALSE(created);
    EXPECT_TRUE(log.contains("the kernel has no VLAN (802.1Q) support"));
    GTEST_SKIP() << "kernel without 802.1Q VLAN support: cannot create vt0.100 "
                    "(./dev test --vm runs this test on a kernel with VLANs)";
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
