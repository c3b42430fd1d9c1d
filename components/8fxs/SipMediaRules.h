// The firewall openings for SIP signalling and RTP media on the data port,
// shared by the provider account table (towards one server host) and the
// link table (towards one subnet). The rules are instances of one template
// table; each set is a list of its rows.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "net/IptableRule.h"

class Iptables;

namespace sipmedia {

constexpr int kSipPort = 5060;
constexpr int kMediaPortFirst = 50000;
constexpr int kMediaPortLast = 50100;
constexpr const char* kDataPort = "eth1";

// Six rules towards one server host: SIP on the server's port in and from
// kSipPort out, ICMP in and out, media in and out.
std::vector<IptableRule> serverRules(const std::string& host, int serverPort);
// Four rules towards a subnet a.b.c.d/p: media and SIP, in and out.
std::vector<IptableRule> subnetRules(const std::string& subnet);

// A server text "address:port": the address is the text before the first
// ":" (all of it when there is none) and must hold a "." and be at least 7
// characters long; the port is the decimal number after the ":" (leading
// blanks skipped, reading stops at the first non-digit), 1 to 65535. Whether
// the address is a host the firewall takes is the firewall's own check.
bool splitServerText(const std::string& text, std::string& address, int& port);

// Deletes the rules of every entry of `opened` not in `needed` (rebuilt by
// `rulesOf`; none means the entry is bad) and drops the entry. False at the
// first entry whose rules cannot be rebuilt or deleted; it stays in `opened`.
bool deleteUnneeded(std::set<std::string>& opened, const std::set<std::string>& needed,
                    Iptables& iptables,
                    const std::function<std::vector<IptableRule>(const std::string&)>& rulesOf);

}  // namespace sipmedia
