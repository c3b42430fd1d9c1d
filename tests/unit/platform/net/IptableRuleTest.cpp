#include <gtest/gtest.h>

#include "TestSupport.h"
#include "net/IptableRule.h"

namespace {

using R = IptableRule;

R sipIn(const std::string& source, R::AddressForm form = R::ADDRESS_HOST) {
  R r(R::CHAIN_INPUT, R::JUMP_ACCEPT, R::PROTOCOL_UDP, R::STATE_ANY);
  r.addDestinationPort(5060);
  r.setSourceIpFilter(source, false, form);
  r.setInterfaceFilter(R::DIRECTION_IN, "eth1", true);
  return r;
}

R subnetIn(const std::string& source) {
  return sipIn(source, R::ADDRESS_SUBNET);
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
           [](R& r) { r.setDestinationIpFilter("223.255.255.254", false); }),
     "-p icmp -d 223.255.255.254 -j ACCEPT"},
    {"negated_exact_interface_state",
     build(R(R::CHAIN_FORWARD, R::JUMP_DROP, R::PROTOCOL_TCP, R::STATE_NEW),
           [](R& r) {
             r.setSourceIpFilter("10.0.0.0/8", true, R::ADDRESS_SUBNET);
             r.setInterfaceFilter(R::DIRECTION_IN, "eth0", false);
           }),
     "-p tcp ! -s 10.0.0.0/8 -i eth0 -m conntrack --ctstate NEW -j DROP"},
    {"subnet", subnetIn("10.1.2.3/24"), "-p udp -s 10.1.2.3/24 -i eth1+ --dport 5060 -j ACCEPT"},
    {"single_host_subnet", subnetIn("10.1.2.3/32"),
     "-p udp -s 10.1.2.3/32 -i eth1+ --dport 5060 -j ACCEPT"},
    // A host filter is one host: nothing that could stand for more passes.
    {"host_with_prefix_0", sipIn("10.20.30.40/0"), ""},
    {"host_with_prefix_32", sipIn("10.20.30.40/32"), ""},
    {"host_with_mask", sipIn("10.20.30.40/255.255.255.255"), ""},
    {"host_unspecified", sipIn("0.0.0.0"), ""},
    {"host_broadcast", sipIn("255.255.255.255"), ""},
    {"host_multicast_first", sipIn("224.0.0.1"), ""},
    {"host_multicast_last", sipIn("239.255.255.255"), ""},
    {"host_name", sipIn("sip.example-provider.net"), ""},
    {"host_octal_looking", sipIn("010.20.30.40"), ""},
    {"host_short_form", sipIn("10.20.30"), ""},
    {"host_nul_inside", sipIn(std::string("10.1.1.1\0-j DROP", 16)), ""},
    {"host_trailing_blank", sipIn("10.1.1.1 "), ""},
    {"subnet_prefix_0", subnetIn("10.1.2.3/0"), ""},
    {"subnet_prefix_33", subnetIn("10.1.2.3/33"), ""},
    {"subnet_without_prefix", subnetIn("10.1.2.3"), ""},
    {"subnet_of_broadcast", subnetIn("255.255.255.255/24"), ""},
    {"subnet_padded_prefix", subnetIn("10.1.2.3/024"), ""},
    {"subnet_two_slashes", subnetIn("10.1.2.3/2/4"), ""},
    {"subnet_signed_prefix", subnetIn("10.1.2.3/+4"), ""},
    {"subnet_blank_in_prefix", subnetIn("10.1.2.3/ 4"), ""},
    {"subnet_prefix_9", subnetIn("10.1.2.3/9"),
     "-p udp -s 10.1.2.3/9 -i eth1+ --dport 5060 -j ACCEPT"},
    {"option_injection", sipIn("-j DROP"), ""},
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
  std::string why;
  auto args = iptables::ruleArguments(GetParam().rule, &why);
  if (GetParam().want.empty()) {
    EXPECT_FALSE(args.has_value());
    EXPECT_FALSE(why.empty()) << "a refusal says why";
    const R::AddressMatch& source = GetParam().rule.sourceAddress();
    if (source.set && std::string(GetParam().name).find("host") == 0) {
      EXPECT_NE(why.find("'" + source.address + "' is not a single IPv4 host"), std::string::npos)
          << why;
    }
    return;
  }
  ASSERT_TRUE(args.has_value());
  std::string joined;
  for (const std::string& a : *args)
    joined += (joined.empty() ? "" : " ") + a;
  EXPECT_EQ(joined, GetParam().want);
}

INSTANTIATE_NAMED(Net, RuleArguments, kArgsCases);

TEST(RestoreScript, OneSectionPerTableAndDeleteLines) {
  R nat(R::CHAIN_NAT_PREROUTING, R::JUMP_ACCEPT, R::PROTOCOL_ALL, R::STATE_ANY);
  auto add = iptables::restoreScript({sipIn("10.20.30.40"), nat}, false);
  ASSERT_TRUE(add.has_value());
  EXPECT_EQ(*add,
            "*filter\n-A INPUT -p udp -s 10.20.30.40 -i eth1+ --dport 5060 -j ACCEPT\nCOMMIT\n"
            "*nat\n-A PREROUTING -j ACCEPT\nCOMMIT\n");
}

TEST(RestoreScript, OneBadRuleRefusesTheWholeList) {
  std::string why;
  EXPECT_FALSE(
      iptables::restoreScript({sipIn("10.20.30.40"), sipIn("1.2.3.4;reboot")}, false, &why));
  EXPECT_NE(why.find("'1.2.3.4;reboot'"), std::string::npos) << why;
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
  EXPECT_NE(sipIn("10.20.30.40/32", R::ADDRESS_SUBNET), sipIn("10.20.30.40/32"));
}

}  // namespace
