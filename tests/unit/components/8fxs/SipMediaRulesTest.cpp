// The firewall openings as iptables-restore gets them: the one place the
// rule texts are written out; the tables' tests compare against these sets.
#include <gtest/gtest.h>

#include "SipMediaRules.h"

namespace {

std::string script(const std::vector<IptableRule>& rules) {
  return iptables::restoreScript(rules, false).value_or("refused");
}

TEST(SipMediaRules, ServerAndSubnetOpeningsAsTheFirewallGetsThem) {
  EXPECT_EQ(script(sipmedia::serverRules("10.20.30.40", 5080)),
            "*filter\n"
            "-A INPUT -p udp -s 10.20.30.40 -i eth1+ --dport 5080 -j ACCEPT\n"
            "-A OUTPUT -p udp -d 10.20.30.40 -o eth1+ --sport 5060 -j ACCEPT\n"
            "-A INPUT -p icmp -s 10.20.30.40 -i eth1+ -j ACCEPT\n"
            "-A OUTPUT -p icmp -d 10.20.30.40 -o eth1+ -j ACCEPT\n"
            "-A INPUT -p udp -s 10.20.30.40 -i eth1+ --dport 50000:50100 -j ACCEPT\n"
            "-A OUTPUT -p udp -d 10.20.30.40 -o eth1+ --sport 50000:50100 -j ACCEPT\n"
            "COMMIT\n");
  EXPECT_EQ(script(sipmedia::subnetRules("10.1.2.0/24")),
            "*filter\n"
            "-A INPUT -p udp -s 10.1.2.0/24 -i eth1+ --dport 50000:50100 -j ACCEPT\n"
            "-A OUTPUT -p udp -d 10.1.2.0/24 -o eth1+ --sport 50000:50100 -j ACCEPT\n"
            "-A INPUT -p udp -s 10.1.2.0/24 -i eth1+ --dport 5060 -j ACCEPT\n"
            "-A OUTPUT -p udp -d 10.1.2.0/24 -o eth1+ --sport 5060 -j ACCEPT\n"
            "COMMIT\n");
}

}  // namespace
