#include "net/netlink_route.h"

#include <cstdio>

namespace netlink_route {

namespace {

// Reads a decimal number of at most `maxDigits` digits starting at `pos`.
bool readDecimal(const std::string& text, size_t& pos, unsigned maxValue, unsigned& value) {
  size_t start = pos;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + static_cast<unsigned>(text[pos] - '0');
    if (value > maxValue || pos - start >= 3)
      return false;
    ++pos;
  }
  return pos > start;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
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

bool parseMac(const std::string& text, std::array<uint8_t, 6>& mac) {
  if (text.size() != 17)
    return false;
  for (size_t i = 0; i < 6; ++i) {
    int hi = hexDigit(text[i * 3]);
    int lo = hexDigit(text[i * 3 + 1]);
    if (hi < 0 || lo < 0 || (i < 5 && text[i * 3 + 2] != ':'))
      return false;
    mac[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

std::string formatIpv4(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", (v >> 24) & 0xffu, (v >> 16) & 0xffu,
                (v >> 8) & 0xffu, v & 0xffu);
  return buf;
}

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
  size_t pos = dot + 1;
  unsigned id = 0;
  // Up to four digits, no leading zero: the DEV_PLUS_VID_NO_PAD naming.
  while (pos < name.size() && name[pos] >= '0' && name[pos] <= '9' && pos - dot <= 4) {
    id = id * 10 + static_cast<unsigned>(name[pos] - '0');
    ++pos;
  }
  if (pos != name.size() || pos == dot + 1 || name[dot + 1] == '0' || id < 1 || id > 4095)
    return false;
  parent = name.substr(0, dot);
  vlanId = static_cast<uint16_t>(id);
  return true;
}

}  // namespace netlink_route
