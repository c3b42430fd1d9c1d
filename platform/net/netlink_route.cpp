#include "net/netlink_route.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace netlink_route {

namespace {

// A decimal number of one to three digits at `pos`, at most `maxValue`; a
// leading zero does not make it octal.
bool readDecimal(const std::string& text, size_t& pos, unsigned maxValue, unsigned& value) {
  const char* first = text.data() + pos;
  const char* last = text.data() + std::min(text.size(), pos + 3);
  auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || value > maxValue)
    return false;
  pos += static_cast<size_t>(end - first);
  return true;
}

}  // namespace

bool parseIpv4(const std::string& text, uint32_t& hostOrder) {
  size_t pos = 0;
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    unsigned octet = 0;
    if (i > 0) {
      if (pos >= text.size() || text[pos] != '.')
        return false;
      ++pos;
    }
    if (!readDecimal(text, pos, 255, octet))
      return false;
    value = (value << 8) | octet;
  }
  if (pos != text.size())
    return false;
  hostOrder = value;
  return true;
}

bool parseIpv4Prefix(const std::string& text, uint32_t& hostOrder, int& prefix) {
  size_t slash = text.find('/');
  if (slash == std::string::npos) {
    prefix = 32;
    return parseIpv4(text, hostOrder);
  }
  size_t pos = slash + 1;
  unsigned p = 0;
  if (!readDecimal(text, pos, 32, p) || pos != text.size())
    return false;
  if (!parseIpv4(text.substr(0, slash), hostOrder))
    return false;
  prefix = static_cast<int>(p);
  return true;
}

// ether_aton_r would also take one-digit octets and trailing blanks.
bool parseMac(const std::string& text, std::array<uint8_t, 6>& mac) {
  if (text.size() != 17)
    return false;
  for (size_t i = 0; i < 6; ++i) {
    const char* first = text.data() + i * 3;
    auto [end, error] = std::from_chars(first, first + 2, mac[i], 16);
    if (error != std::errc() || end != first + 2 || (i < 5 && first[2] != ':'))
      return false;
  }
  return true;
}

std::string formatIpv4(uint32_t hostOrder) {
  in_addr address{htonl(hostOrder)};
  char buf[INET_ADDRSTRLEN];
  return inet_ntop(AF_INET, &address, buf, sizeof buf);
}

// Two digits an octet, which ether_ntoa_r does not write.
std::string formatMac(const std::array<uint8_t, 6>& m) {
  char buf[18];
  std::snprintf(buf, sizeof buf, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4],
                m[5]);
  return buf;
}

Address::Address(const std::string& text, int type) : m_text(text), m_type(type) {
  switch (type) {
    case TYPE_IPV4:
      m_valid = parseIpv4(text, m_ipv4);
      break;
    case TYPE_IPV4_PREFIX:
      m_valid = parseIpv4Prefix(text, m_ipv4, m_prefix);
      break;
    case TYPE_MAC:
      m_valid = parseMac(text, m_mac);
      break;
    default:
      m_valid = false;
      break;
  }
}

Address Address::fromIpv4(uint32_t hostOrder, int prefix) {
  return Address(formatIpv4(hostOrder) + "/" + std::to_string(prefix), TYPE_IPV4_PREFIX);
}

Address Address::fromIpv4NoPrefix(uint32_t hostOrder) {
  return Address(formatIpv4(hostOrder), TYPE_IPV4_PREFIX);
}

Interface::Interface(const std::string& name) : m_name(name) {}

void Interface::addIp(const Address& address, bool replace) {
  if (replace)
    m_ips.clear();
  m_ips.push_back(address);
}

bool Vlan::splitName(std::string& parent, uint16_t& vlanId) const {
  const std::string& name = getName();
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0)
    return false;
  const char* first = name.data() + dot + 1;
  const char* last = name.data() + name.size();
  unsigned id = 0;
  auto [end, error] = std::from_chars(first, last, id);
  // No leading zero: the DEV_PLUS_VID_NO_PAD naming.
  if (error != std::errc() || end != last || *first == '0' || id < 1 || id > 4095)
    return false;
  parent = name.substr(0, dot);
  vlanId = static_cast<uint16_t>(id);
  return true;
}

}  // namespace netlink_route
