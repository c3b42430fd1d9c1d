// The card process on a bench inside this test's namespaces: eth0 and eth1
// are veth ends whose peers (management gateway 172.30.30.100, chassis
// 172.30.20.10, provider network 10.20.30.1/24) sit in a namespace of their
// own, and the controller's writes arrive through the UDP front end as they
// do in the chassis. What the card did is read back from the kernel.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "CardWithPeers.h"
#include "TestSupport.h"
#include "process/executeCommand.h"
#include "velm/Velm_util.h"

namespace {

constexpr int kBoardSlot = 2;  // the card counts slots from 1: N = 3
constexpr auto kBringUpLimit = std::chrono::seconds(60);
const char* const kMainLog = "/tmp/main.log";
const char* const kMarker = "/tmp/card_up_and_running";

const char* const kNetworkSetup =
    "mkdir -p /run/netns && { mountpoint -q /run/netns || mount -t tmpfs none /run/netns; } && "
    "ip netns add fxspeer && "
    "ip link add eth0 type veth peer name bp0 netns fxspeer && "
    "ip link add eth1 type veth peer name dc0 netns fxspeer && "
    "ip -n fxspeer link set lo up && "
    "ip -n fxspeer addr add 172.30.30.100/24 dev bp0 && "
    "ip -n fxspeer addr add 172.30.20.10/24 dev bp0 && "
    "ip -n fxspeer link set bp0 up && "
    "ip -n fxspeer addr add 10.20.30.1/24 dev dc0 && "
    "ip -n fxspeer link set dc0 up";

// Fixed command texts of this test only; values from the test's tables
// never go through a shell.
std::string sh(const std::string& command) {
  std::string out;
  otn::executeCommand(command, true, &out, nullptr, false);
  return out;
}

using testsupport::countOf;
using testsupport::exists;
using testsupport::readFile;
using testsupport::waitFor;

int set(const std::string& object, const std::string& column, int row, const std::string& value) {
  return testsupport::runTool("icscctl", {"set", object, column, std::to_string(row), value})
      .status;
}

// Writes `columns` of `row` in order; the status of the first write that
// fails, else 0.
int setRow(const std::string& object, int row,
           std::initializer_list<std::pair<const char*, std::string>> columns) {
  for (const auto& [column, value] : columns) {
    if (int status = set(object, column, row, value))
      return status;
  }
  return 0;
}

std::string firewall() {
  return sh("iptables -S");
}

class CardNetworkBench : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string out;
    ASSERT_TRUE(otn::executeCommand(kNetworkSetup, true, &out, nullptr, false)) << out;
    // The vconfig stand-in lives next to the built binaries.
    const char* path = std::getenv("PATH");
    m_card.env = std::string("PATH=") + FXS_BIN_DIR + ":" + (path ? path : "/usr/bin:/bin");
    m_card.boardSlot = kBoardSlot;
    m_card.mainLog = kMainLog;
    auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_card.start(kBringUpLimit));
    auto left = kBringUpLimit - (std::chrono::steady_clock::now() - t0);
    ASSERT_TRUE(waitFor([] { return exists(kMarker); }, left)) << "no bring-up; card log:\n"
                                                               << readFile(kMainLog);
  }

  testsupport::CardWithPeers m_card{testsupport::CardWithPeers::ENGINE |
                                    testsupport::CardWithPeers::FRONT_END |
                                    testsupport::CardWithPeers::DRIVERS};
};

TEST_F(CardNetworkBench, BringUpGivesBackplaneAddressAndManagementRouting) {
  std::string eth0 = sh("ip -o -4 addr show dev eth0") + sh("ip -o link show dev eth0");
  EXPECT_NE(eth0.find("172.30.30.3/24"), std::string::npos) << eth0;
  EXPECT_NE(eth0.find("link/ether 02:a5:3c:00:50:03"), std::string::npos) << eth0;
  EXPECT_NE(eth0.find("state UP"), std::string::npos) << eth0;

  std::string rules = sh("ip rule show");
  EXPECT_EQ(countOf(rules, "rt_mgmt"), 6u) << rules;
  const char* const wantRules[] = {
      "from all oif eth0 lookup rt_mgmt",
      "from all iif eth0 lookup rt_mgmt",
      "from all to 172.30.30.0/24 iif lo lookup rt_mgmt",
      "from 172.30.30.0/24 iif lo lookup rt_mgmt",
      "from all to 172.30.20.0/24 iif lo lookup rt_mgmt",
      "from 172.30.20.0/24 iif lo lookup rt_mgmt",
  };
  for (const char* r : wantRules)
    EXPECT_NE(rules.find(r), std::string::npos) << r << "\n" << rules;

  std::string mgmt = sh("ip route show table rt_mgmt");
  EXPECT_NE(mgmt.find("172.30.30.0/24 dev eth0"), std::string::npos) << mgmt;
  EXPECT_NE(mgmt.find("default via 172.30.30.100 dev eth0"), std::string::npos) << mgmt;
  EXPECT_EQ(sh("ip route show table main").find("172.30.30.0/24"), std::string::npos);
  EXPECT_NE(readFile("/etc/iproute2/rt_tables").find("9 rt_mgmt"), std::string::npos);
  // The chassis subnet is reached only through the management table.
  std::string toChassis = sh("ip route get 172.30.20.10");
  EXPECT_NE(toChassis.find("via 172.30.30.100 dev eth0"), std::string::npos) << toChassis;
  EXPECT_NE(readFile(kMainLog).find("notifying healthmonitor card is up and running"),
            std::string::npos);
}

TEST_F(CardNetworkBench, RouteRowGoesIntoTheKernelAndOutAgain) {
  const std::string table = "IfmNetworkRouteConfigTable";
  // Only a row that names its interface can be taken out again.
  ASSERT_EQ(setRow(table, 3,
                   {{"ifmNetworkRouteConfigIPDestination", "192.168.50.0"},
                    {"ifmNetworkRouteConfigNetmask", "255.255.255.0"},
                    {"ifmNetworkRouteConfigGateway", "172.30.30.100"},
                    {"ifmNetworkRouteConfigInterface", "eth0"}}),
            0);
  EXPECT_EQ(sh("ip route show 192.168.50.0/24"), "") << "only the in-use column applies a row";

  ASSERT_EQ(set(table, "ifmNetworkRouteConfigInUse", 3, "1"), 0) << readFile(kMainLog);
  EXPECT_NE(sh("ip route show 192.168.50.0/24").find("via 172.30.30.100 dev eth0"),
            std::string::npos);

  auto walk = testsupport::runTool("icscctl", {"walk", "IfmNetworkRouteStatusTable"});
  ASSERT_EQ(walk.status, 0) << walk.out;
  const char* const wantStatus[] = {
      "row 3 ifmNetworkRouteStatusInUse = true",
      "row 3 ifmNetworkRouteStatusIPDestination = 192.168.50.0",
      "row 3 ifmNetworkRouteStatusNetmask = 255.255.255.0",
      "row 3 ifmNetworkRouteStatusGateway = 172.30.30.100",
      "row 3 ifmNetworkRouteStatusFlags = 0",
      "row 3 ifmNetworkRouteStatusInterface = eth1",
  };
  for (const char* line : wantStatus)
    EXPECT_NE(walk.out.find(line), std::string::npos) << line << "\n" << walk.out;

  ASSERT_EQ(set(table, "ifmNetworkRouteConfigInUse", 3, "0"), 0);
  EXPECT_EQ(sh("ip route show 192.168.50.0/24"), "") << readFile(kMainLog);
  // Taking out a route the kernel no longer has is accepted and changes nothing.
  EXPECT_EQ(set(table, "ifmNetworkRouteConfigInUse", 3, "0"), 0);

  // Rows the kernel would refuse or that make no sense end as refusals or
  // no-ops, never as a half-made route.
  struct Case {
    const char* destination;
    const char* netmask;
    const char* gateway;
    int want;  // icscctl exit status
  } cases[] = {
      {"192.168.51.0", "abc", "172.30.30.100", 0},             // bad netmask: accepted, nothing set
      {"192.168.52.0", "255.255.255.0", "192.0.2.77", 1},      // unreachable gateway: refused
      {"192.168.53.0", "255.255.255.0", "1.2.3.4;reboot", 1},  // not an address: refused
  };
  int row = 10;
  for (const Case& c : cases) {
    ASSERT_EQ(setRow(table, row,
                     {{"ifmNetworkRouteConfigIPDestination", c.destination},
                      {"ifmNetworkRouteConfigNetmask", c.netmask},
                      {"ifmNetworkRouteConfigGateway", c.gateway}}),
              0);
    EXPECT_EQ(set(table, "ifmNetworkRouteConfigInUse", row, "1"), c.want) << c.destination;
    EXPECT_EQ(sh(std::string("ip route show ") + c.destination + "/24"), "") << c.destination;
    ++row;
  }
}

TEST_F(CardNetworkBench, ProviderServerOpensItsSixRulesAndDisablingClosesThem) {
  const std::string before = firewall();
  const std::string table = "AccountTable";
  ASSERT_EQ(set(table, "providerEnable", 0, "1"), 0);
  ASSERT_EQ(set(table, "registerDomainName", 0, "10.20.30.40:5060"), 0) << readFile(kMainLog);

  // The rule texts are the golden SipMediaRules set; here the kernel holds
  // all six and gives them back.
  std::string opened = firewall();
  EXPECT_EQ(countOf(opened, "10.20.30.40"), 6u) << opened;
  EXPECT_NE(opened.find("-A INPUT -s 10.20.30.40/32 -i eth1+ -p udp -m udp --dport 5060 -j ACCEPT"),
            std::string::npos)
      << opened;

  // Disabling alone changes nothing; the next server write cleans up.
  ASSERT_EQ(set(table, "providerEnable", 0, "0"), 0);
  EXPECT_EQ(firewall(), opened);
  ASSERT_EQ(set(table, "authDomainName", 0, ""), 0);
  EXPECT_EQ(firewall(), before);
}

TEST_F(CardNetworkBench, HostileServerTextsChangeNothing) {
  const std::string table = "AccountTable";
  ASSERT_EQ(set(table, "providerEnable", 1, "1"), 0);
  const std::string before = firewall();
  const char* const hostile[] = {
      "1.2.3.4;reboot:5060",
      "$(id).example:5060",
      "`touch /tmp/pwned`.x:5060",
      "10.20.30.40 -j DROP:5060",
      "10.20.30.40:0",
      "10.20.30.40:70000",
      "1.2.3:5060",
      "10.20.30.40",
      // More than one host, or none: the firewall component refuses them.
      "10.20.30.40/0:5060",
      "10.20.30.40/8:5060",
      "sip.provider.example:5060",
      "255.255.255.255:5060",
      "224.0.0.1:5060",
      // A line of its own in the log, were it not escaped.
      "10.20.30.40\n[ERROR] Ifc.cpp:1 (run) - forged:5060",
  };
  Velm_util velm;
  for (const char* text : hostile) {
    EXPECT_EQ(set(table, "registerDomainName", 1, text), 1) << text;
    EXPECT_EQ(firewall(), before) << text;
    // The engine took the value before the firewall refused it.
    std::string kept;
    EXPECT_EQ(velm.get("register_domain_name", kept, 1, -1), 0);
    EXPECT_EQ(kept, text);
  }
  EXPECT_FALSE(exists("/tmp/pwned"));
  std::string log = readFile(kMainLog);
  EXPECT_EQ(log.find("\n[ERROR] Ifc.cpp:1 (run) - forged"), std::string::npos) << "forged line";
  EXPECT_NE(log.find("10.20.30.40\\n[ERROR] Ifc.cpp:1 (run) - forged:5060"), std::string::npos)
      << log;
  EXPECT_NE(log.find("address filter '10.20.30.40/0' is not a single IPv4 host"),
            std::string::npos);
  ASSERT_TRUE(m_card.main.alive());
  // A good text after all of them still opens its rules.
  ASSERT_EQ(set(table, "registerDomainName", 1, "10.20.30.41:5080"), 0);
  std::string after = firewall();
  EXPECT_EQ(countOf(after, "10.20.30.41"), 6u) << after;
  EXPECT_NE(after.find("-s 10.20.30.41/32 -i eth1+ -p udp -m udp --dport 5080"), std::string::npos);
  EXPECT_NE(after.find("-d 10.20.30.41/32 -o eth1+ -p udp -m udp --sport 5060"), std::string::npos);
}

TEST_F(CardNetworkBench, LinkRowWithoutVlanSupportIsRefusedClearly) {
  // Probe the kernel the way the card would use it.
  bool vlanSupport = otn::executeCommand(
      "ip link add link eth1 name eth1.4000 type vlan id 4000 && ip link del eth1.4000", true,
      nullptr, nullptr, false);
  const std::string table = "IfmNetworkLinkConfigTable";
  ASSERT_EQ(setRow(table, 0,
                   {{"ifmNetworkLinkConfigIP", "10.20.30.5"},
                    {"ifmNetworkLinkConfigNetmask", "255.255.255.0"},
                    {"ifmNetworkLinkConfigGateway", "0.0.0.0"},
                    {"ifmNetworkLinkConfigParent", "eth1"},
                    {"ifmNetworkLinkConfigVlanId", "100"}}),
            0);
  const std::string before = firewall();
  int status = set(table, "ifmNetworkLinkConfigInService", 0, "1");
  if (!vlanSupport) {
    EXPECT_EQ(status, 1);
    EXPECT_NE(readFile(kMainLog).find("the kernel has no VLAN (802.1Q) support"), std::string::npos)
        << readFile(kMainLog);
    EXPECT_EQ(sh("ip -o link show").find("eth1.100"), std::string::npos);
    EXPECT_EQ(firewall(), before) << "no openings for a subnet that has no interface";
  } else {
    EXPECT_EQ(status, 0);
    EXPECT_NE(sh("ip -o -4 addr show dev eth1.100").find("10.20.30.5/24"), std::string::npos);
    EXPECT_EQ(countOf(firewall(), "10.20.30.5/24"), 4u);
    ASSERT_EQ(set(table, "ifmNetworkLinkConfigInService", 0, "0"), 0);
    EXPECT_EQ(sh("ip -o link show").find("eth1.100"), std::string::npos);
    EXPECT_EQ(firewall(), before);
  }
  EXPECT_TRUE(m_card.main.alive());
}

}  // namespace
