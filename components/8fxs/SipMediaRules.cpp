#include "SipMediaRules.h"

#include <cstdlib>

#include "net/Iptables.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

namespace sipmedia {

namespace {

using R = IptableRule;

enum class Ports {
  NONE,
  PEER,   // the server's own port
  SIP,    // kSipPort
  MEDIA,  // kMediaPortFirst..kMediaPortLast
};

// INPUT rules match traffic arriving on the data port from the peer (source
// address, destination port); OUTPUT rules traffic leaving towards it.
struct Template {
  R::Chain chain;
  R::Protocol protocol;
  Ports ports;
};

constexpr Template kServer[] = {
    {R::CHAIN_INPUT, R::PROTOCOL_UDP, Ports::PEER},
    {R::CHAIN_OUTPUT, R::PROTOCOL_UDP, Ports::SIP},
    {R::CHAIN_INPUT, R::PROTOCOL_ICMP, Ports::NONE},
    {R::CHAIN_OUTPUT, R::PROTOCOL_ICMP, Ports::NONE},
    {R::CHAIN_INPUT, R::PROTOCOL_UDP, Ports::MEDIA},
    {R::CHAIN_OUTPUT, R::PROTOCOL_UDP, Ports::MEDIA},
};

constexpr Template kSubnet[] = {
    {R::CHAIN_INPUT, R::PROTOCOL_UDP, Ports::MEDIA},
    {R::CHAIN_OUTPUT, R::PROTOCOL_UDP, Ports::MEDIA},
    {R::CHAIN_INPUT, R::PROTOCOL_UDP, Ports::SIP},
    {R::CHAIN_OUTPUT, R::PROTOCOL_UDP, Ports::SIP},
};

// Shortest text that can be a dotted quad ("1.2.3.4").
constexpr size_t kMinAddressLength = 7;

template <size_t N>
std::vector<R> instantiate(const Template (&rows)[N], const std::string& address,
                           R::AddressForm form, int peerPort) {
  std::vector<R> rules;
  rules.reserve(N);
  for (const Template& t : rows) {
    R rule(t.chain, R::JUMP_ACCEPT, t.protocol, R::STATE_ANY);
    bool in = t.chain == R::CHAIN_INPUT;
    int first = 0, last = 0;
    switch (t.ports) {
      case Ports::NONE:
        break;
      case Ports::PEER:
        first = last = peerPort;
        break;
      case Ports::SIP:
        first = last = kSipPort;
        break;
      case Ports::MEDIA:
        first = kMediaPortFirst;
        last = kMediaPortLast;
        break;
    }
    if (t.ports != Ports::NONE) {
      if (in)
        rule.addDestinationPortRange(first, last);
      else
        rule.addSourcePortRange(first, last);
    }
    if (in)
      rule.setSourceIpFilter(address, false, form);
    else
      rule.setDestinationIpFilter(address, false, form);
    rule.setInterfaceFilter(in ? R::DIRECTION_IN : R::DIRECTION_OUT, kDataPort, true);
    rules.push_back(rule);
  }
  return rules;
}

}  // namespace

std::vector<IptableRule> serverRules(const std::string& host, int serverPort) {
  return instantiate(kServer, host, R::ADDRESS_HOST, serverPort);
}

std::vector<IptableRule> subnetRules(const std::string& subnet) {
  return instantiate(kSubnet, subnet, R::ADDRESS_SUBNET, 0);
}

bool splitServerText(const std::string& text, std::string& address, int& port) {
  size_t colon = text.find(':');
  address = text.substr(0, colon);
  if (address.find('.') == std::string::npos || address.size() < kMinAddressLength)
    return false;
  const char* rest = colon == std::string::npos ? "" : text.c_str() + colon + 1;
  char* end = nullptr;
  long value = std::strtol(rest, &end, 10);
  if (end == rest || value < 1 || value > 65535)
    return false;
  port = static_cast<int>(value);
  return true;
}

bool deleteUnneeded(std::set<std::string>& opened, const std::set<std::string>& needed,
                    Iptables& iptables,
                    const std::function<std::vector<IptableRule>(const std::string&)>& rulesOf) {
  std::vector<std::string> unused;
  for (const std::string& entry : opened) {
    if (needed.count(entry) == 0)
      unused.push_back(entry);
  }
  for (const std::string& entry : unused) {
    std::vector<IptableRule> rules = rulesOf(entry);
    if (rules.empty()) {
      LOG_ERROR_LIMITED("delete of %s failed because invalid ipPort string", entry.c_str());
      return false;
    }
    LOG_INFO("deleting rules for %s because not needed anymore", entry.c_str());
    if (!iptables.deleteRules(rules))
      return false;
    opened.erase(entry);
  }
  return true;
}

}  // namespace sipmedia
