// Server texts as the controller writes them and the addresses the firewall
// component takes: whatever the text, an accepted address is one IPv4 host
// (or, for a subnet, such a host and a prefix of 1 to 32) and the rules built
// from it become exactly one iptables-restore line each.
#include <arpa/inet.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "SipMediaRules.h"
#include "net/IptableRule.h"

namespace {

void check(bool ok) {
  if (!ok)
    std::abort();
}

bool dottedHost(const std::string& text) {
  in_addr a{};
  return text.find('\0') == std::string::npos && inet_pton(AF_INET, text.c_str(), &a) == 1;
}

// One -A line per rule inside a single filter section, nothing else.
void checkScript(const std::vector<IptableRule>& rules) {
  std::string why;
  auto script = iptables::restoreScript(rules, false, &why);
  if (!script) {
    check(!why.empty());
    return;
  }
  size_t lines = std::count(script->begin(), script->end(), '\n');
  check(lines == rules.size() + 2);
  check(script->rfind("*filter\n", 0) == 0);
  check(script->find('\0') == std::string::npos && script->find('\r') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  if (iptables::isHostAddress(text))
    check(dottedHost(text) && text.find('/') == std::string::npos && text != "0.0.0.0" &&
          text != "255.255.255.255");
  if (iptables::isSubnet(text)) {
    size_t slash = text.find('/');
    int prefix = std::atoi(text.c_str() + slash + 1);
    check(dottedHost(text.substr(0, slash)) && prefix >= 1 && prefix <= 32);
  }

  std::string address;
  int port = 0;
  if (sipmedia::splitServerText(text, address, port)) {
    check(port >= 1 && port <= 65535);
    check(text.compare(0, address.size(), address) == 0);
    std::vector<IptableRule> rules = sipmedia::serverRules(address, port);
    check(rules.size() == 6);
    auto script = iptables::restoreScript(rules, false);
    check(script.has_value() == iptables::isHostAddress(address));
    checkScript(rules);
  }
  checkScript(sipmedia::subnetRules(text));
  return 0;
}
