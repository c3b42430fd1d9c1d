#include "AccountTableExt.h"

#include "CellCheck.h"
#include "SipMediaRules.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

namespace {

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
      LOG_ERROR_LIMITED("adding rules for ip %s failed", value.c_str());
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
    LOG_ERROR_LIMITED("addIpRules failed because generating rules failed for %s", ipPort.c_str());
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
  std::set<std::string> needed;
  for (unsigned row = 0; row < kRows; ++row) {
    bool enabled = false;
    if (!getPropproviderEnable(row, enabled) || !enabled)
      continue;
    std::string reg = "NONE", auth = "NONE", proxy = "NONE";
    getPropregisterDomainName(row, reg);
    getPropauthDomainName(row, auth);
    getPropproxyDomainName(row, proxy);
    needed.insert({reg, auth, proxy});
  }
  return sipmedia::deleteUnneeded(m_allowedServers, needed, *m_iptables,
                                  [this](const std::string& e) { return generateRules(e); });
}

bool AccountTableExt::extractIpAndPort(const std::string& ipPort, std::string& ip, int& port) {
  if (!sipmedia::splitServerText(ipPort, ip, port)) {
    LOG_ERROR_LIMITED("this is not string with ip and port: %s", ipPort.c_str());
    return false;
  }
  return true;
}

std::vector<IptableRule> AccountTableExt::generateRules(const std::string& ipPort) {
  std::string ip;
  int port = 0;
  if (!extractIpAndPort(ipPort, ip, port)) {
    LOG_ERROR_LIMITED("when trying to generateRules from IpPort %s, extract of ip and port failed",
                      ipPort.c_str());
    return {};
  }
  return sipmedia::serverRules(ip, port);
}
