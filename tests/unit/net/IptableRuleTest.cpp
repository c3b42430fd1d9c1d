#include <gtest/gtest.h>

#include "TestSupport.h"
#include "net/IptableRule.h"

namespace {

using R = IptableRule;

R sipIn(const std::string& source) {
  R r(R::CHAIN_INPUT, R::JUMP_ACCEPT, R::PROTOCOL_UDP, R::STATE_ANY);
  r.addDestinationPort(5060);
  r.setSourceIpFilter(source, false);
  r.setInterfaceFilter(R::DIRECTION_IN, "eth1", true);
  return r;
}

struct ArgsCase {
  const char* name;
  R rule;
  std::string want;  // joined arguments, "" when refused
};

R build(R r, void (*f)(R&)) {
  f(r);
  return r;
}

const ArgsCase kArgsCases[] = {
    {"sip_in", sipIn("10.20.30.40"), "-p udp -s 10.20.30.40 -i eth1+ --dport 5060 -j ACCEPT"},
    {"icmp_no_port",
     build(R(R::CHAIN_INPUT, R::JUMP_ACCEPT, R::PROTOCOL_ICMP, R::STATE_ANY),
           [](R& r) { r.setSourceIpFilter("sip.example-provider.net", false); }),
     "-p icmp -s sip.example-provider.net -j ACCEPT"},
    {"negated_exact_interface_state",
     build(R(R::CHAIN_FORWARD, R::JUMP_DROP, R::PROTOCOL_TCP, R::STATE_NEW),
           [](R& r) {
             r.setSourceIpFilter("10.0.0.0/8", true);
             r.setInterfaceFilter(R::DIRECTION_IN, "eth0", false);
           }),
     "-p tcp ! -s 10.0.0.0/8 -i eth0 -m conntrack --ctstate NEW -j DROP"},
    {"option_injection", sipIn("-j DROP"), ""},
    {"leading_hyphen_host", sipIn("-example.net"), ""},
    {"newline_in_filter", sipIn("10.1.1.1\n-A INPUT -j DROP"), ""},
    {"bad_octet_not_a_host", sipIn("1.2.3.999"), ""},
    {"port_on_icmp",
     build(R(R::CHAIN_INPUT, R::JUMP_ACCEPT, R::PROTOCOL_ICMP, R::STATE_ANY),
           [](R& r) { r.addDestinationPort(5060); }),
     ""},
    {"reversed_range",
     build(R(R::CHAIN_INPUT, R::JUMP_ACCEPT, R::PROTOCOL_UDP, R::STATE_ANY),
           [](R& r) { r.addDestinationPortRange(50100, 50000); }),
     ""},
    {"port_zero",
     build(R(R::CHAIN_INPUT, R::JUMP_ACCEPT, R::PROTOCOL_UDP, R::STATE_ANY),
           [](R& r) { r.addSourcePort(0); }),
     ""},
    {"unknown_chain", R(static_cast<R::Chain>(11), R::JUMP_ACCEPT, R::PROTOCOL_UDP, R::STATE_ANY),
     ""},
    {"unknown_jump", R(R::CHAIN_INPUT, static_cast<R::Jump>(4), R::PROTOCOL_UDP, R::STATE_ANY), ""},
    {"bad_interface",
     build(R(R::CHAIN_INPUT, R::JUMP_ACCEPT, R::PROTOCOL_UDP, R::STATE_ANY),
           [](R& r) { r.setInterfaceFilter(R::DIRECTION_IN, "eth1;ls", true); }),
     ""},
};

class RuleArguments : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(RuleArguments, BuildsOrRefuses) {
  testsupport::LogCapture log;
  auto args = iptables::ruleArguments(GetParam().rule);
  if (GetParam().want.empty()) {
    EXPECT_FALSE(args.has_value());
    EXPECT_TRUE(log.contains("firewall rule refused")) << "refusal must be logged";
    return;
  }
  ASSERT_TRUE(args.has_value());
  std::string joined;
  for (const std::string& a : *args)
    joined += (joined.empty() ? "" : " ") + a;
  EXPECT_EQ(joined, GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Net, RuleArguments, ::testing::ValuesIn(kArgsCases),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(RestoreScript, OneSectionPerTableAndDeleteLines) {
  R nat(R::CHAIN_NAT_PREROUTING, R::JUMP_ACCEPT, R::PROTOCOL_ALL, R::STATE_ANY);
  auto add = iptables::restoreScript({sipIn("10.20.30.40"), nat}, false);
  ASSERT_TRUE(add.has_value());
  EXPECT_EQ(*add,
            "*filter\n-A INPUT -p udp -s 10.20.30.40 -i eth1+ --dport 5060 -j ACCEPT\nCOMMIT\n"
            "*nat\n-A PREROUTING -j ACCEPT\nCOMMIT\n");
}

TEST(RestoreScript, OneBadRuleRefusesTheWholeList) {
  testsupport::LogCapture log;
  EXPECT_FALSE(iptables::restoreScript({sipIn("10.20.30.40"), sipIn("1.2.3.4;reboot")}, false));
}

TEST(RuleEquality, EveryFieldCounts) {
  R base = sipIn("10.20.30.40");
  EXPECT_EQ(base, sipIn("10.20.30.40"));
  EXPECT_NE(base, sipIn("10.20.30.41"));
  R other = sipIn("10.20.30.40");
  other.addDestinationPort(5080);
  EXPECT_NE(base, other);
  R exact = sipIn("10.20.30.40");
  exact.setInterfaceFilter(R::DIRECTION_IN, "eth1", false);
  EXPECT_NE(base, exact);
}

}  // namespace
