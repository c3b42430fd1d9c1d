// The firewall manager against the kernel's netfilter in the test's own
// network namespace.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "net/Iptables.h"
#include "process/executeCommand.h"

namespace {

using R = IptableRule;

std::vector<R> serverRules(const std::string& ip) {
  std::vector<R> rules;
  R in(R::CHAIN_INPUT, R::JUMP_ACCEPT, R::PROTOCOL_UDP, R::STATE_ANY);
  in.addDestinationPort(5060);
  in.setSourceIpFilter(ip, false);
  in.setInterfaceFilter(R::DIRECTION_IN, "eth1", true);
  rules.push_back(in);
  R out(R::CHAIN_OUTPUT, R::JUMP_ACCEPT, R::PROTOCOL_UDP, R::STATE_ANY);
  out.addSourcePortRange(50000, 50100);
  out.setDestinationIpFilter(ip, false);
  out.setInterfaceFilter(R::DIRECTION_OUT, "eth1", true);
  rules.push_back(out);
  R icmp(R::CHAIN_INPUT, R::JUMP_ACCEPT, R::PROTOCOL_ICMP, R::STATE_ANY);
  icmp.setSourceIpFilter(ip, false);
  icmp.setInterfaceFilter(R::DIRECTION_IN, "eth1", true);
  rules.push_back(icmp);
  return rules;
}

std::string ruleList() {
  std::string out;
  otn::executeCommand("iptables -S", true, &out, nullptr, true);
  return out;
}

using testsupport::countOf;

class KernelFirewall : public ::testing::Test {
 protected:
  void SetUp() override { otn::executeCommand("iptables -F", true, nullptr, nullptr, false); }
  testsupport::LogCapture log;
  Iptables iptables;
};

TEST_F(KernelFirewall, RulesPresentAfterAddAndGoneAfterDelete) {
  ASSERT_TRUE(iptables.addRules(serverRules("10.20.30.40")));
  ASSERT_TRUE(iptables.addRules(serverRules("10.20.30.41")));
  std::string list = ruleList();
  EXPECT_EQ(countOf(list, "-s 10.20.30.40/32 -i eth1+ -p udp -m udp --dport 5060 -j ACCEPT"), 1u)
      << list;
  EXPECT_EQ(countOf(list, "-d 10.20.30.40/32 -o eth1+ -p udp -m udp --sport 50000:50100"), 1u)
      << list;
  EXPECT_EQ(countOf(list, "-s 10.20.30.40/32 -i eth1+ -p icmp -j ACCEPT"), 1u) << list;

  ASSERT_TRUE(iptables.deleteRules(serverRules("10.20.30.40")));
  list = ruleList();
  EXPECT_EQ(countOf(list, "10.20.30.40"), 0u) << list;
  EXPECT_EQ(countOf(list, "10.20.30.41"), 3u) << "only the given rules go: " << list;
}

TEST_F(KernelFirewall, DeleteOfAbsentRuleRemovesNothingOfTheList) {
  ASSERT_TRUE(iptables.addRules({serverRules("10.20.30.40")[0]}));
  EXPECT_FALSE(iptables.deleteRules(serverRules("10.20.30.40")));
  EXPECT_EQ(countOf(ruleList(), "10.20.30.40"), 1u);
  EXPECT_TRUE(log.contains("firewall: delete of 3 rules failed"));
}

TEST_F(KernelFirewall, KernelSideFailureAddsNoneOfTheList) {
  auto rules = serverRules("10.20.30.40");
  // 15 characters and the "+" of the VLAN match: iptables-restore refuses
  // the name as longer than an interface name can be.
  R bad(R::CHAIN_INPUT, R::JUMP_ACCEPT, R::PROTOCOL_UDP, R::STATE_ANY);
  bad.setInterfaceFilter(R::DIRECTION_IN, "abcdefghijklmno", true);
  rules.push_back(bad);
  EXPECT_FALSE(iptables.addRules(rules));
  EXPECT_EQ(countOf(ruleList(), "10.20.30.40"), 0u) << "all or nothing";
}

TEST(FirewallInput, HostileFiltersNeverReachACommand) {
  testsupport::LogCapture log;
  const std::string marker = "/tmp/restore_was_run";
  Iptables guarded(testsupport::markingRestoreProgram(marker));
  for (const char* hostile : {"1.2.3.4;reboot", "$(id).example:5060", "`id`", "10.0.0.1 -j DROP",
                              "-s", "a|b", "", "10.20.30.40/0", "sip.provider.example"}) {
    EXPECT_FALSE(guarded.addRules(serverRules(hostile))) << hostile;
    EXPECT_FALSE(guarded.deleteRules(serverRules(hostile))) << hostile;
  }
  EXPECT_FALSE(testsupport::exists(marker)) << "restore program was started";
  EXPECT_TRUE(log.contains("is not a single IPv4 host"));
  // The stand-in does run for a valid list, so the check above is meaningful.
  EXPECT_TRUE(guarded.addRules(serverRules("10.20.30.40")));
  EXPECT_TRUE(testsupport::exists(marker));
}

}  // namespace
