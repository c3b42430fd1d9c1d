// One firewall rule as a value. The numeric enumeration values are part of
// the card's interface (docs/firewall.md lists them); ruleArguments() turns a
// rule into the iptables match arguments after checking every text in it.
// An address filter is a single host unless the rule says it is a subnet, so
// that a text from outside can never open the card to a whole network.
#pragma once

#include <optional>
#include <string>
#include <vector>

class IptableRule {
 public:
  enum Chain : int {
    CHAIN_NAT_PREROUTING = 0,
    CHAIN_NAT_POSTROUTING = 1,
    CHAIN_NAT_OUTPUT = 2,
    CHAIN_FORWARD = 3,
    CHAIN_INPUT = 4,  // filter INPUT: traffic for the card
    CHAIN_MANGLE_PREROUTING = 5,
    CHAIN_MANGLE_INPUT = 6,
    CHAIN_MANGLE_FORWARD = 7,
    CHAIN_MANGLE_OUTPUT = 8,
    CHAIN_MANGLE_POSTROUTING = 9,
    CHAIN_OUTPUT = 10,  // filter OUTPUT: traffic from the card
  };
  enum Jump : int {
    JUMP_ACCEPT = 0,
    JUMP_DROP = 1,
    JUMP_REJECT = 2,
    JUMP_RETURN = 3,
  };
  enum Protocol : int {
    PROTOCOL_ALL = 0,
    PROTOCOL_TCP = 1,
    PROTOCOL_UDP = 2,   // SIP signalling and RTP media
    PROTOCOL_ICMP = 3,  // the portless protocol opened towards each server
  };
  enum State : int {
    STATE_ANY = 0,  // no connection-tracking match
    STATE_NEW = 1,
    STATE_ESTABLISHED = 2,
    STATE_RELATED_ESTABLISHED = 3,
  };
  enum Direction : int {
    DIRECTION_IN = 0,   // -i: arriving on the interface
    DIRECTION_OUT = 1,  // -o: leaving through the interface
  };
  enum AddressForm : int {
    ADDRESS_HOST = 0,    // a.b.c.d
    ADDRESS_SUBNET = 1,  // a.b.c.d/p
  };

  IptableRule(Chain chain, Jump jump, Protocol protocol, State state);

  void addSourcePort(int port);
  void addDestinationPort(int port);
  void addSourcePortRange(int first, int last);
  void addDestinationPortRange(int first, int last);
  // `negate` matches every address but this one.
  void setSourceIpFilter(const std::string& address, bool negate, AddressForm form = ADDRESS_HOST);
  void setDestinationIpFilter(const std::string& address, bool negate,
                              AddressForm form = ADDRESS_HOST);
  // `withSubInterfaces` also matches the interface's VLANs (eth1 and eth1.*).
  void setInterfaceFilter(Direction direction, const std::string& name, bool withSubInterfaces);

  Chain chain() const { return m_chain; }
  Jump jump() const { return m_jump; }
  Protocol protocol() const { return m_protocol; }
  State state() const { return m_state; }

  struct PortMatch {
    bool set = false;
    int first = 0;
    int last = 0;
  };
  struct AddressMatch {
    bool set = false;
    std::string address;
    bool negate = false;
    AddressForm form = ADDRESS_HOST;
  };
  struct InterfaceMatch {
    bool set = false;
    Direction direction = DIRECTION_IN;
    std::string name;
    bool withSubInterfaces = false;
  };
  const PortMatch& sourcePorts() const { return m_sourcePorts; }
  const PortMatch& destinationPorts() const { return m_destinationPorts; }
  const AddressMatch& sourceAddress() const { return m_source; }
  const AddressMatch& destinationAddress() const { return m_destination; }
  const InterfaceMatch& interfaceFilter() const { return m_interface; }

  bool operator==(const IptableRule& other) const;
  bool operator!=(const IptableRule& other) const { return !(*this == other); }

 private:
  Chain m_chain;
  Jump m_jump;
  Protocol m_protocol;
  State m_state;
  PortMatch m_sourcePorts;
  PortMatch m_destinationPorts;
  AddressMatch m_source;
  AddressMatch m_destination;
  InterfaceMatch m_interface;
};

namespace iptables {

// One IPv4 host in dotted form (as inet_pton reads it): no prefix, no mask,
// no host name, not 0.0.0.0, 255.255.255.255 or a multicast address.
bool isHostAddress(const std::string& text);
// Such a host, "/" and a prefix length of 1 to 32 (0 would match everyone).
bool isSubnet(const std::string& text);
bool isValidInterfaceName(const std::string& text);

// The table ("filter", "nat", "mangle") and chain name of a rule; false for
// a value outside the enumeration.
bool chainOf(IptableRule::Chain chain, std::string& table, std::string& name);

// Match and target arguments of one rule ("-p udp -s ... -j ACCEPT"), or
// nothing when the rule is not valid; `why` then tells what is wrong.
std::optional<std::vector<std::string>> ruleArguments(const IptableRule& rule,
                                                      std::string* why = nullptr);

// Input for "iptables-restore --noflush" that appends (-A) or deletes (-D)
// every rule, one section per table; nothing when any rule is not valid.
std::optional<std::string> restoreScript(const std::vector<IptableRule>& rules, bool remove,
                                         std::string* why = nullptr);

}  // namespace iptables
