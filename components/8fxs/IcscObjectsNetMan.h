// The network tables: VLAN interfaces with their firewall openings (link
// tables) and static routes (route tables). Writes of the controller act on
// the kernel through the registry's network manager; status reads ask the
// kernel each time.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "icsc/IcscGeneratedBases.h"
#include "net/IptableRule.h"
#include "net/Iptables.h"
#include "net/NetworkManagerInterface.h"

// What the network tables reach through the card object registry; the
// registry implements it and outlives the tables.
class NetManRegistry {
 public:
  virtual ~NetManRegistry() = default;
  virtual NetworkManagerInterface* getNetworkManager() = 0;
  virtual IfmNetworkLinkConfigTableBase* getLinkConfigTable() = 0;
  virtual IfmNetworkRouteConfigTableBase* getRouteConfigTable() = 0;
};

// Text forms of addresses shared by the network tables.
bool parseDottedQuad(const std::string& text, uint32_t& value);
bool formatDottedQuad(uint32_t value, std::string& text);
bool prefixToNetmask(int prefix, std::string& text);
bool netmaskToPrefix(const std::string& text, int& prefix);

class IfmNetworkLinkConfigTable : public IfmNetworkLinkConfigTableBase {
 public:
  static constexpr unsigned kRows = 32;

  IfmNetworkLinkConfigTable(NetManRegistry* card, Iptables* iptables);
  bool updated(IcscProperty* prop, unsigned row) override;

  std::vector<IptableRule> generateSubnetRules(const std::string& subnet);
  const std::set<std::string>& allowedSubnets() const { return m_allowedSubnets; }
  const std::set<int32_t>& vlanIds() const { return m_vlanIds; }

 private:
  bool cleanupVlans();
  bool cleanupNotNeededRules();
  bool inService(unsigned row) const;

  NetManRegistry* m_card;
  Iptables* m_iptables;
  std::set<std::string> m_allowedSubnets;
  std::set<int32_t> m_vlanIds;
};

class IfmNetworkLinkStatusTable : public IfmNetworkLinkStatusTableBase {
 public:
  explicit IfmNetworkLinkStatusTable(NetManRegistry* card);
  bool update(IcscProperty* prop, unsigned row) override;

 private:
  NetManRegistry* m_card;
};

class IfmNetworkRouteConfigTable : public IfmNetworkRouteConfigTableBase {
 public:
  explicit IfmNetworkRouteConfigTable(NetManRegistry* card);
  bool updated(IcscProperty* prop, unsigned row) override;

 private:
  NetManRegistry* m_card;
};

class IfmNetworkRouteStatusTable : public IfmNetworkRouteStatusTableBase {
 public:
  explicit IfmNetworkRouteStatusTable(NetManRegistry* card);
  bool update(IcscProperty* prop, unsigned row) override;

 private:
  NetManRegistry* m_card;
};
