#include "AccountTableExt.h"

#include <cstdlib>

#include "CellCheck.h"
#include "trace/TraceObject.h"

namespace {

constexpr int kSipPort = 5060;
constexpr int kMediaPortFirst = 50000;
constexpr int kMediaPortLast = 50100;
const char* const kDataPort = "eth1";
// Shortest text that can be a dotted quad ("1.2.3.4").
constexpr size_t kMinIpLength = 7;

bool isServerColumn(unsigned column) {
  return column == AccountTableBase::OBJ_ACCOUNT_AUTHDOMAINNAME ||
         column == AccountTableBase::OBJ_ACCOUNT_PROXYDOMAINNAME ||
         column == AccountTableBase::OBJ_ACCOUNT_REGISTERDOMAINNAME;
}

}  // namespace

AccountTableExt::AccountTableExt(Velm_util* velm, Iptables* iptables)
    : AccountTable(velm), m_velm(velm), m_iptables(iptables) {}

bool AccountTableExt::accountUpdated(IcscProperty* prop, unsigned row) {
  return AccountTable::updated(prop, row);
}

bool AccountTableExt::updated(IcscProperty* prop, unsigned row) {
  if (!cellcheck::cellValid(CELL_SITE, "AccountTableExt", row, kRows, prop))
    return false;
  if (!accountUpdated(prop, row))
    return false;
  if (!isServerColumn(prop->getPropertyId()))
    return true;
  std::string text = "NONE";
  prop->getValue(text);
  if (text == "NONE")
    return false;
  return updatedValue(text, row);
}

bool AccountTableExt::updatedValue(const std::string& value, unsigned row) {
  bool enabled = false;
  if (!getPropproviderEnable(row, enabled))
    enabled = false;
  if (enabled && value.find("0.0.0.0") == std::string::npos && !value.empty()) {
    if (!addIpRulesIfNotPresent(value)) {
      LOG_ERROR("adding rules for ip %s failed", value.c_str());
      return false;
    }
  }
  return cleanupNotNeededRules();
}

bool AccountTableExt::addIpRulesIfNotPresent(const std::string& ipPort) {
  if (m_allowedServers.count(ipPort) != 0) {
    LOG_DEBUG1("ip and port already allowed");
    return true;
  }
  std::vector<IptableRule> rules = generateRules(ipPort);
  if (rules.empty()) {
    LOG_ERROR("addIpRules failed because generating rules failed for %s", ipPort.c_str());
    return false;
  }
  LOG_INFO("adding rules for %s", ipPort.c_str());
  bool added = m_iptables->addRules(rules);
  if (added)
    m_allowedServers.insert(ipPort);
  return added;
}

bool AccountTableExt::cleanupNotNeededRules() {
  if (m_allowedServers.empty())
    return true;
  std::vector<std::string> unused;
  for (const std::string& entry : m_allowedServers) {
    bool needed = false;
    for (unsigned row = 0; row < kRows && !needed; ++row) {
      bool enabled = false;
      if (!getPropproviderEnable(row, enabled) || !enabled)
        continue;
      std::string reg = "NONE", auth = "NONE", proxy = "NONE";
      getPropregisterDomainName(row, reg);
      getPropauthDomainName(row, auth);
      getPropproxyDomainName(row, proxy);
      for (const std::string* server : {&reg, &auth, &proxy}) {
        if (*server != "NONE" && !server->empty() && *server == entry)
          needed = true;
      }
    }
    if (!needed)
      unused.push_back(entry);
  }
  for (const std::string& server : unused) {
    std::vector<IptableRule> rules = generateRules(server);
    if (rules.empty()) {
      LOG_ERROR("delete of %s failed because invalid ipPort string", server.c_str());
      return false;
    }
    LOG_INFO("deleting rules for %s because not needed anymore", server.c_str());
    if (!m_iptables->deleteRules(rules))
      return false;
    m_allowedServers.erase(server);
  }
  return true;
}

bool AccountTableExt::extractIpAndPort(const std::string& ipPort, std::string& ip, int& port) {
  size_t colon = ipPort.find(':');
  ip = ipPort.substr(0, colon);
  if (ip.find('.') == std::string::npos || ip.size() < kMinIpLength) {
    LOG_ERROR("this is not string with ip and port: %s", ipPort.c_str());
    return false;
  }
  const char* rest = colon == std::string::npos ? "" : ipPort.c_str() + colon + 1;
  char* end = nullptr;
  long value = std::strtol(rest, &end, 10);
  if (end == rest || value < 1 || value > 65535) {
    LOG_ERROR("this is not string with ip and port: %s", ipPort.c_str());
    return false;
  }
  port = static_cast<int>(value);
  return true;
}

std::vector<IptableRule> AccountTableExt::generateRules(const std::string& ipPort) {
  std::string ip;
  int port = 0;
  if (!extractIpAndPort(ipPort, ip, port)) {
    LOG_ERROR("when trying to generateRules from IpPort %s, extract of ip and port failed",
              ipPort.c_str());
    return {};
  }
  return {makeIncomingRule(ip, IptableRule::PROTOCOL_UDP, port),
          makeOutgoingRule(ip, IptableRule::PROTOCOL_UDP, kSipPort),
          makeIncomingRule(ip, IptableRule::PROTOCOL_ICMP, port),
          makeOutgoingRule(ip, IptableRule::PROTOCOL_ICMP, port),
          makeMediaRule(ip, true),
          makeMediaRule(ip, false)};
}

IptableRule AccountTableExt::makeIncomingRule(const std::string& ip, IptableRule::Protocol protocol,
                                              int port) {
  IptableRule rule(IptableRule::CHAIN_INPUT, IptableRule::JUMP_ACCEPT, protocol,
                   IptableRule::STATE_ANY);
  if (protocol != IptableRule::PROTOCOL_ICMP)
    rule.addDestinationPort(port);
  rule.setSourceIpFilter(ip, false);
  rule.setInterfaceFilter(IptableRule::DIRECTION_IN, kDataPort, true);
  return rule;
}

IptableRule AccountTableExt::makeOutgoingRule(const std::string& ip, IptableRule::Protocol protocol,
                                              int port) {
  IptableRule rule(IptableRule::CHAIN_OUTPUT, IptableRule::JUMP_ACCEPT, protocol,
                   IptableRule::STATE_ANY);
  if (protocol != IptableRule::PROTOCOL_ICMP)
    rule.addSourcePort(port);
  rule.setDestinationIpFilter(ip, false);
  rule.setInterfaceFilter(IptableRule::DIRECTION_OUT, kDataPort, true);
  return rule;
}

IptableRule AccountTableExt::makeMediaRule(const std::string& ip, bool incoming) {
  IptableRule rule(incoming ? IptableRule::CHAIN_INPUT : IptableRule::CHAIN_OUTPUT,
                   IptableRule::JUMP_ACCEPT, IptableRule::PROTOCOL_UDP, IptableRule::STATE_ANY);
  if (incoming) {
    rule.addDestinationPortRange(kMediaPortFirst, kMediaPortLast);
    rule.setSourceIpFilter(ip, false);
    rule.setInterfaceFilter(IptableRule::DIRECTION_IN, kDataPort, true);
  } else {
    rule.addSourcePortRange(kMediaPortFirst, kMediaPortLast);
    rule.setDestinationIpFilter(ip, false);
    rule.setInterfaceFilter(IptableRule::DIRECTION_OUT, kDataPort, true);
  }
  return rule;
}
