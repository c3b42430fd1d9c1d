// The provider account table with the firewall openings for the servers
// that enabled providers name: SIP, media and ICMP towards each server's
// address, closed again once no enabled provider names that server.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "IcscObjects8fxs.h"
#include "net/IptableRule.h"
#include "net/Iptables.h"

class Velm_util;

class AccountTableExt : public AccountTable {
 public:
  static constexpr unsigned kRows = 16;

  AccountTableExt(Velm_util* velm, Iptables* iptables);
  bool updated(IcscProperty* prop, unsigned row) override;

  const std::set<std::string>& allowedServers() const { return m_allowedServers; }
  std::vector<IptableRule> generateRules(const std::string& ipPort);
  bool extractIpAndPort(const std::string& ipPort, std::string& ip, int& port);

 protected:
  // The velmora write of AccountTable; the firewall only follows a served one.
  virtual bool accountUpdated(IcscProperty* prop, unsigned row);

 private:
  bool updatedValue(const std::string& value, unsigned row);
  bool addIpRulesIfNotPresent(const std::string& ipPort);
  bool cleanupNotNeededRules();

  Velm_util* m_velm;
  std::set<std::string> m_allowedServers;
  Iptables* m_iptables;
};
