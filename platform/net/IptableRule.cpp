#include "net/IptableRule.h"

#include <arpa/inet.h>

#include <charconv>
#include <map>

namespace {

struct ChainRow {
  IptableRule::Chain chain;
  const char* table;
  const char* name;
};
constexpr ChainRow kChains[] = {
    {IptableRule::CHAIN_NAT_PREROUTING, "nat", "PREROUTING"},
    {IptableRule::CHAIN_NAT_POSTROUTING, "nat", "POSTROUTING"},
    {IptableRule::CHAIN_NAT_OUTPUT, "nat", "OUTPUT"},
    {IptableRule::CHAIN_FORWARD, "filter", "FORWARD"},
    {IptableRule::CHAIN_INPUT, "filter", "INPUT"},
    {IptableRule::CHAIN_MANGLE_PREROUTING, "mangle", "PREROUTING"},
    {IptableRule::CHAIN_MANGLE_INPUT, "mangle", "INPUT"},
    {IptableRule::CHAIN_MANGLE_FORWARD, "mangle", "FORWARD"},
    {IptableRule::CHAIN_MANGLE_OUTPUT, "mangle", "OUTPUT"},
    {IptableRule::CHAIN_MANGLE_POSTROUTING, "mangle", "POSTROUTING"},
    {IptableRule::CHAIN_OUTPUT, "filter", "OUTPUT"},
};
constexpr const char* kJumps[] = {"ACCEPT", "DROP", "REJECT", "RETURN"};
constexpr const char* kProtocols[] = {"all", "tcp", "udp", "icmp"};
constexpr const char* kStates[] = {"", "NEW", "ESTABLISHED", "RELATED,ESTABLISHED"};
// 224.0.0.0/4
constexpr uint32_t kMulticastHighNibble = 0xe;

template <size_t N>
const char* lookup(const char* const (&names)[N], int value) {
  return value >= 0 && static_cast<size_t>(value) < N ? names[value] : nullptr;
}

bool validPorts(const IptableRule::PortMatch& p) {
  return !p.set || (p.first >= 1 && p.last <= 65535 && p.first <= p.last);
}

std::string portText(const IptableRule::PortMatch& p) {
  return p.first == p.last ? std::to_string(p.first)
                           : std::to_string(p.first) + ":" + std::to_string(p.last);
}

}  // namespace

IptableRule::IptableRule(Chain chain, Jump jump, Protocol protocol, State state)
    : m_chain(chain), m_jump(jump), m_protocol(protocol), m_state(state) {}

void IptableRule::addSourcePort(int port) {
  m_sourcePorts = {true, port, port};
}
void IptableRule::addDestinationPort(int port) {
  m_destinationPorts = {true, port, port};
}
void IptableRule::addSourcePortRange(int first, int last) {
  m_sourcePorts = {true, first, last};
}
void IptableRule::addDestinationPortRange(int first, int last) {
  m_destinationPorts = {true, first, last};
}
void IptableRule::setSourceIpFilter(const std::string& address, bool negate, AddressForm form) {
  m_source = {true, address, negate, form};
}
void IptableRule::setDestinationIpFilter(const std::string& address, bool negate,
                                         AddressForm form) {
  m_destination = {true, address, negate, form};
}
void IptableRule::setInterfaceFilter(Direction direction, const std::string& name,
                                     bool withSubInterfaces) {
  m_interface = {true, direction, name, withSubInterfaces};
}

bool IptableRule::operator==(const IptableRule& o) const {
  auto ports = [](const PortMatch& a, const PortMatch& b) {
    return a.set == b.set && a.first == b.first && a.last == b.last;
  };
  auto addr = [](const AddressMatch& a, const AddressMatch& b) {
    return a.set == b.set && a.address == b.address && a.negate == b.negate && a.form == b.form;
  };
  return m_chain == o.m_chain && m_jump == o.m_jump && m_protocol == o.m_protocol &&
         m_state == o.m_state && ports(m_sourcePorts, o.m_sourcePorts) &&
         ports(m_destinationPorts, o.m_destinationPorts) && addr(m_source, o.m_source) &&
         addr(m_destination, o.m_destination) && m_interface.set == o.m_interface.set &&
         m_interface.direction == o.m_interface.direction &&
         m_interface.name == o.m_interface.name &&
         m_interface.withSubInterfaces == o.m_interface.withSubInterfaces;
}

namespace iptables {

bool isHostAddress(const std::string& text) {
  in_addr a{};
  // inet_pton stops at a NUL that the text would still carry along.
  if (text.find('\0') != std::string::npos || inet_pton(AF_INET, text.c_str(), &a) != 1)
    return false;
  uint32_t v = ntohl(a.s_addr);
  return v != 0 && v != 0xffffffffu && (v >> 28) != kMulticastHighNibble;
}

bool isSubnet(const std::string& text) {
  size_t slash = text.find('/');
  if (slash == std::string::npos)
    return false;
  // The prefix is one or two decimal digits, nothing else.
  const char* first = text.data() + slash + 1;
  const char* last = text.data() + text.size();
  unsigned p = 0;
  auto [end, error] = std::from_chars(first, last, p);
  return error == std::errc() && end == last && last - first <= 2 && p >= 1 && p <= 32 &&
         isHostAddress(text.substr(0, slash));
}

bool isValidInterfaceName(const std::string& text) {
  if (text.empty() || text.size() > 15 || text[0] == '-')
    return false;
  for (char c : text) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '_' || c == '-';
    if (!ok)
      return false;
  }
  return true;
}

bool chainOf(IptableRule::Chain chain, std::string& table, std::string& name) {
  for (const ChainRow& row : kChains) {
    if (row.chain == chain) {
      table = row.table;
      name = row.name;
      return true;
    }
  }
  return false;
}

std::optional<std::vector<std::string>> ruleArguments(const IptableRule& rule, std::string* why) {
  auto refuse = [why](const std::string& text) {
    if (why != nullptr)
      *why = text;
    return std::nullopt;
  };
  std::string table, chain;
  const char* protocol = lookup(kProtocols, rule.protocol());
  const char* jump = lookup(kJumps, rule.jump());
  const char* state = lookup(kStates, rule.state());
  if (!chainOf(rule.chain(), table, chain) || protocol == nullptr || jump == nullptr ||
      state == nullptr) {
    return refuse("chain " + std::to_string(rule.chain()) + ", jump " +
                  std::to_string(rule.jump()) + ", protocol " + std::to_string(rule.protocol()) +
                  " or state " + std::to_string(rule.state()) + " unknown");
  }
  bool portsAllowed =
      rule.protocol() == IptableRule::PROTOCOL_TCP || rule.protocol() == IptableRule::PROTOCOL_UDP;
  if ((rule.sourcePorts().set || rule.destinationPorts().set) && !portsAllowed)
    return refuse(std::string("port match on protocol ") + protocol);
  if (!validPorts(rule.sourcePorts()) || !validPorts(rule.destinationPorts()))
    return refuse("port outside 1..65535 or reversed range");
  std::vector<std::string> args;
  if (rule.protocol() != IptableRule::PROTOCOL_ALL)
    args.insert(args.end(), {"-p", protocol});
  std::string bad;
  auto addAddress = [&](const IptableRule::AddressMatch& m, const char* option) {
    if (!m.set)
      return true;
    bool subnet = m.form == IptableRule::ADDRESS_SUBNET;
    if (!(subnet ? isSubnet(m.address) : isHostAddress(m.address))) {
      bad = "address filter '" + m.address + "' is not " +
            (subnet ? "an IPv4 subnet a.b.c.d/p with p 1..32"
                    : "a single IPv4 host (no prefix, no host name, not 0.0.0.0, broadcast or "
                      "multicast)");
      return false;
    }
    if (m.negate)
      args.push_back("!");
    args.insert(args.end(), {option, m.address});
    return true;
  };
  if (!addAddress(rule.sourceAddress(), "-s") || !addAddress(rule.destinationAddress(), "-d"))
    return refuse(bad);
  const IptableRule::InterfaceMatch& ifm = rule.interfaceFilter();
  if (ifm.set) {
    if (!isValidInterfaceName(ifm.name) || (ifm.direction != IptableRule::DIRECTION_IN &&
                                            ifm.direction != IptableRule::DIRECTION_OUT)) {
      return refuse("interface filter '" + ifm.name + "' direction " +
                    std::to_string(ifm.direction) + " not valid");
    }
    args.insert(args.end(), {ifm.direction == IptableRule::DIRECTION_IN ? "-i" : "-o",
                             ifm.withSubInterfaces ? ifm.name + "+" : ifm.name});
  }
  if (rule.sourcePorts().set)
    args.insert(args.end(), {"--sport", portText(rule.sourcePorts())});
  if (rule.destinationPorts().set)
    args.insert(args.end(), {"--dport", portText(rule.destinationPorts())});
  if (rule.state() != IptableRule::STATE_ANY)
    args.insert(args.end(), {"-m", "conntrack", "--ctstate", state});
  args.insert(args.end(), {"-j", jump});
  return args;
}

std::optional<std::string> restoreScript(const std::vector<IptableRule>& rules, bool remove,
                                         std::string* why) {
  std::map<std::string, std::string> sections;  // table -> lines, in a stable order
  for (const IptableRule& rule : rules) {
    auto args = ruleArguments(rule, why);
    if (!args)
      return std::nullopt;
    std::string table, chain;
    chainOf(rule.chain(), table, chain);
    std::string line = (remove ? "-D " : "-A ") + chain;
    for (const std::string& a : *args)
      line += " " + a;
    sections[table] += line + "\n";
  }
  std::string script;
  for (const auto& [table, lines] : sections)
    script += "*" + table + "\n" + lines + "COMMIT\n";
  return script;
}

}  // namespace iptables
