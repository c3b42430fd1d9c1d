// Value classes of the network manager: addresses, interfaces, VLANs and
// routes as the card describes them. They hold no kernel handle; the
// NetworkManagerInterface fills them from the kernel and applies them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace netlink_route {

// An address built from text. Type 3 is an IPv4 address with an optional
// prefix ("10.1.2.3/24"; no prefix means /32), type 1 a plain IPv4 address,
// type 2 a MAC address ("02:a5:3c:00:50:05").
class Address {
 public:
  enum Type : int {
    TYPE_NONE = 0,
    TYPE_IPV4 = 1,
    TYPE_MAC = 2,
    TYPE_IPV4_PREFIX = 3,
  };

  Address() = default;
  Address(const std::string& text, int type);
  static Address fromIpv4(uint32_t hostOrder, int prefix);  // "a.b.c.d/p"
  static Address fromIpv4NoPrefix(uint32_t hostOrder);      // "a.b.c.d"

  const std::string& getAddress() const { return m_text; }
  std::string toString() const { return m_text; }
  int getType() const { return m_type; }
  bool isValid() const { return m_valid; }
  bool empty() const { return m_text.empty(); }

  uint32_t ipv4() const { return m_ipv4; }  // host byte order
  int prefix() const { return m_prefix; }
  const std::array<uint8_t, 6>& mac() const { return m_mac; }

 private:
  std::string m_text;
  int m_type = TYPE_NONE;
  bool m_valid = false;
  uint32_t m_ipv4 = 0;
  int m_prefix = 32;
  std::array<uint8_t, 6> m_mac{};
};

// Strict parsers shared by the value classes and the firewall checks.
bool parseIpv4(const std::string& text, uint32_t& hostOrder);
bool parseIpv4Prefix(const std::string& text, uint32_t& hostOrder, int& prefix);
bool parseMac(const std::string& text, std::array<uint8_t, 6>& mac);
std::string formatIpv4(uint32_t hostOrder);
std::string formatMac(const std::array<uint8_t, 6>& mac);

class AddedToKernelInterface {
 public:
  virtual ~AddedToKernelInterface() = default;
  bool isAddedToKernel() const { return m_addedToKernel; }
  void setAddedToKernel(bool added) { m_addedToKernel = added; }

 private:
  bool m_addedToKernel = false;
};

class Interface : public AddedToKernelInterface {
 public:
  enum class LinkState { UNCHANGED, UP, DOWN };

  explicit Interface(const std::string& name);

  const std::string& getName() const { return m_name; }
  // `replace` drops the addresses already in the value first.
  void addIp(const Address& address, bool replace);
  const std::vector<Address>& getIps() const { return m_ips; }
  void clearIps() { m_ips.clear(); }
  void setMac(const Address& mac) { m_mac = mac; }
  const Address& getMac() const { return m_mac; }
  void setUp() { m_linkState = LinkState::UP; }
  void setDown() { m_linkState = LinkState::DOWN; }
  bool isUp() const { return m_linkState == LinkState::UP; }
  LinkState linkState() const { return m_linkState; }
  int getIndex() const { return m_index; }
  void setIndex(int index) { m_index = index; }

 private:
  std::string m_name;
  std::vector<Address> m_ips;
  Address m_mac;
  LinkState m_linkState = LinkState::UNCHANGED;
  int m_index = 0;
};

// A VLAN interface named parent.vid (e.g. "eth1.100").
class Vlan : public Interface {
 public:
  explicit Vlan(const std::string& name) : Interface(name) {}
  // The VLAN id the kernel reports; 0 when no such VLAN interface exists.
  int getVlanIndex() const { return m_vlanIndex; }
  void setVlanIndex(int vlanIndex) { m_vlanIndex = vlanIndex; }
  // Splits the name into parent and id; false unless it is parent.<1..4095>.
  bool splitName(std::string& parent, uint16_t& vlanId) const;

 private:
  int m_vlanIndex = 0;
};

// An IPv4 route of the main table, found by its destination.
class Route : public AddedToKernelInterface {
 public:
  explicit Route(const std::string& name) : m_name(name) {}

  const std::string& getName() const { return m_name; }
  void setName(const std::string& name) { m_name = name; }
  void setDestination(const Address& destination) { m_destination = destination; }
  const Address& getDestination() const { return m_destination; }
  void setGateway(const Address& gateway) { m_gateway = gateway; }
  const Address& getGateway() const { return m_gateway; }
  // Outgoing interface; optional when a gateway is given.
  void setDevice(const std::string& device) { m_device = device; }
  const std::string& getDevice() const { return m_device; }

 private:
  std::string m_name;
  Address m_destination;
  Address m_gateway;
  std::string m_device;
};

}  // namespace netlink_route
