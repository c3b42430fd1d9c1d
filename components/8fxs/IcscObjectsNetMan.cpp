#include "IcscObjectsNetMan.h"

#include <cstdio>
#include <cstdlib>

#include "CellCheck.h"
#include "SipMediaRules.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

using netlink_route::Address;

namespace {

constexpr unsigned kTableRows = 32;
constexpr unsigned kLinkInServiceColumn = 7;
constexpr unsigned kRouteInUseColumn = 0;
constexpr unsigned kRouteColumns = 8;
using sipmedia::kDataPort;

// Number after the first "/", converted to a netmask; false without "/".
bool netmaskAfterSlash(const std::string& addressText, std::string& netmask) {
  size_t slash = addressText.find('/');
  if (slash == std::string::npos)
    return false;
  prefixToNetmask(std::atoi(addressText.c_str() + slash + 1), netmask);
  return true;
}

std::string beforeSlash(const std::string& text) {
  return text.substr(0, text.find('/'));
}

// `address` + "/" + the prefix of `netmask`; false when the netmask is not a
// dotted quad.
bool withPrefix(const std::string& address, const std::string& netmask, std::string& out) {
  int prefix = 0;
  if (!netmaskToPrefix(netmask, prefix))
    return false;
  out = address + "/" + std::to_string(prefix);
  return true;
}

}  // namespace

// The card's own reading, looser than inet_pton: sscanf's unsigned numbers
// (so blanks, signs and more than three digits pass), low eight bits of
// each, anything after the fourth ignored.
bool parseDottedQuad(const std::string& text, uint32_t& value) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (std::sscanf(text.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4)
    return false;
  value = ((a & 0xffu) << 24) | ((b & 0xffu) << 16) | ((c & 0xffu) << 8) | (d & 0xffu);
  return true;
}

bool formatDottedQuad(uint32_t value, std::string& text) {
  text = netlink_route::formatIpv4(value);
  return true;
}

bool prefixToNetmask(int prefix, std::string& text) {
  uint32_t mask = 0;
  if (prefix >= 32)
    mask = 0xffffffffu;
  else if (prefix > 0)
    mask = ~uint32_t{0} << (32 - prefix);
  return formatDottedQuad(mask, text);
}

bool netmaskToPrefix(const std::string& text, int& prefix) {
  uint32_t mask = 0;
  if (!parseDottedQuad(text, mask))
    return false;
  if (mask == 0) {
    prefix = 0;
    return true;
  }
  int trailingZeros = 0;
  while ((mask & 1u) == 0) {
    mask >>= 1;
    ++trailingZeros;
  }
  prefix = 32 - trailingZeros;
  return true;
}

// ---------------------------------------------------------------- link config

IfmNetworkLinkConfigTable::IfmNetworkLinkConfigTable(NetManRegistry* card, Iptables* iptables)
    : IfmNetworkLinkConfigTableBase(kTableRows), m_card(card), m_iptables(iptables) {}

bool IfmNetworkLinkConfigTable::inService(unsigned row) const {
  bool value = false;
  return getPropifmNetworkLinkConfigInService(row, value) && value;
}

bool IfmNetworkLinkConfigTable::updated(IcscProperty* prop, unsigned row) {
  if (!cellcheck::cellValid(CELL_SITE, getName(), row, kTableRows, prop))
    return false;
  unsigned column = prop->getPropertyId();
  if (column < kLinkInServiceColumn)
    return true;
  if (column > kLinkInServiceColumn) {
    cellcheck::invalidColumn(CELL_SITE, getName(), column);
    return false;
  }
  std::string ip, netmask, gateway, parent;
  uint16_t vlanId = 0;
  bool enabled = false;
  getPropifmNetworkLinkConfigIP(row, ip);
  getPropifmNetworkLinkConfigNetmask(row, netmask);
  getPropifmNetworkLinkConfigGateway(row, gateway);
  getPropifmNetworkLinkConfigParent(row, parent);
  getPropifmNetworkLinkConfigVlanId(row, vlanId);
  getPropifmNetworkLinkConfigInService(row, enabled);
  LOG_DEBUG1("%s vlan%d: row=%d", enabled ? "Add" : "Remove", vlanId, static_cast<int>(row));

  if (!cleanupVlans()) {
    LOG_ERROR_LIMITED("failed to cleanup the vlans!");
    return false;
  }
  if (!cleanupNotNeededRules()) {
    LOG_ERROR_LIMITED("failed to cleanup ip rules!");
    return false;
  }
  if (!enabled)
    return true;

  netlink_route::Vlan vlan(parent + "." + std::to_string(vlanId));
  int prefix = 0;
  if (!netmaskToPrefix(netmask, prefix)) {
    LOG_ERROR_LIMITED("Invalid netmask: '%s'", netmask.c_str());
    return false;
  }
  std::string subnet = ip + "/" + std::to_string(prefix);
  vlan.addIp(Address(subnet, Address::TYPE_IPV4_PREFIX), false);
  vlan.setUp();
  LOG_INFO_LIMITED("ipmask=%s", subnet.c_str());
  if (parent.empty()) {
    LOG_INFO_LIMITED("parent empty");
    return false;
  }
  if (parent.find("eth") == std::string::npos) {
    LOG_ERROR_LIMITED("parent=%s, expecting %s<x>", parent.c_str(), "eth");
    return false;
  }
  if (vlanId < 1 || vlanId > 4095) {
    LOG_INFO_LIMITED("vlan-id=%i", vlanId);
    return false;
  }
  NetworkManagerInterface* nm = m_card->getNetworkManager();
  if (!nm->update_vlan(vlan, false))
    return false;
  m_vlanIds.insert(vlanId);

  if (gateway != "0.0.0.0") {
    netlink_route::Route route("default");
    route.setDestination(Address("0.0.0.0/0", Address::TYPE_IPV4_PREFIX));
    route.setGateway(Address(gateway + "/" + std::to_string(prefix), Address::TYPE_IPV4_PREFIX));
    if (!nm->update_route(route, false))
      return false;
  }
  if (m_allowedSubnets.count(subnet) != 0) {
    LOG_DEBUG1("ip and subnet %s already allowed", subnet.c_str());
    return true;
  }
  if (!m_iptables->addRules(generateSubnetRules(subnet)))
    return false;
  m_allowedSubnets.insert(subnet);
  return true;
}

bool IfmNetworkLinkConfigTable::cleanupVlans() {
  std::vector<int32_t> unused;
  for (int32_t id : m_vlanIds) {
    bool used = false;
    for (unsigned row = 0; row < kTableRows && !used; ++row) {
      uint16_t rowId = 0;
      used = inService(row) && getPropifmNetworkLinkConfigVlanId(row, rowId) && rowId == id;
    }
    if (!used)
      unused.push_back(id);
  }
  NetworkManagerInterface* nm = m_card->getNetworkManager();
  for (int32_t id : unused) {
    // Always looked for under eth1, the data port, whatever parent the row had.
    netlink_route::Vlan vlan(std::string(kDataPort) + "." + std::to_string(id));
    if (!nm->get_vlan(vlan)) {
      LOG_ERROR_LIMITED("getting vlan info %s fails", vlan.getName().c_str());
      return false;
    }
    if (vlan.getVlanIndex() == 0) {
      LOG_INFO_LIMITED("Vlan %s does not exist, will not remove", vlan.getName().c_str());
      continue;
    }
    vlan.setDown();
    if (!nm->update_vlan(vlan, true)) {
      LOG_ERROR_LIMITED("failed to remove vlan %s", vlan.getName().c_str());
      return false;
    }
    m_vlanIds.erase(id);
  }
  return true;
}

bool IfmNetworkLinkConfigTable::cleanupNotNeededRules() {
  if (m_allowedSubnets.empty())
    return true;
  std::set<std::string> needed;
  for (unsigned row = 0; row < kTableRows; ++row) {
    if (!inService(row))
      continue;
    std::string ip, netmask, subnet;
    getPropifmNetworkLinkConfigIP(row, ip);
    getPropifmNetworkLinkConfigNetmask(row, netmask);
    if (!withPrefix(ip, netmask, subnet)) {
      LOG_ERROR_LIMITED("Invalid netmask in service when cleaning up: '%s'", netmask.c_str());
      continue;
    }
    needed.insert(subnet);
  }
  return sipmedia::deleteUnneeded(m_allowedSubnets, needed, *m_iptables,
                                  [](const std::string& s) { return sipmedia::subnetRules(s); });
}

std::vector<IptableRule> IfmNetworkLinkConfigTable::generateSubnetRules(const std::string& subnet) {
  return sipmedia::subnetRules(subnet);
}

// ---------------------------------------------------------------- link status

namespace {

using netlink_route::Vlan;

// The first address of the interface; null without one, when the columns
// that report it keep their last value.
const Address* firstIp(const Vlan& vlan) {
  return vlan.getIps().empty() ? nullptr : &vlan.getIps().front();
}

// What each column of the link status reports of the kernel's VLAN
// interface, by column. A value that cannot be found leaves the column as
// it was and is logged as the caller `at`.
using LinkStatusWriter = void (*)(IfmNetworkLinkStatusTableBase& table, unsigned row,
                                  const Vlan& vlan, const cellcheck::Site& at);
const LinkStatusWriter kLinkStatusColumns[] = {
    [](IfmNetworkLinkStatusTableBase& t, unsigned row, const Vlan& v, const cellcheck::Site&) {
      t.setPropifmNetworkLinkStatusIndex(row, v.getVlanIndex());
    },
    [](IfmNetworkLinkStatusTableBase& t, unsigned row, const Vlan& v, const cellcheck::Site&) {
      t.setPropifmNetworkLinkStatusName(row, v.getName());
    },
    [](IfmNetworkLinkStatusTableBase& t, unsigned row, const Vlan& v, const cellcheck::Site&) {
      if (const Address* ip = firstIp(v))
        t.setPropifmNetworkLinkStatusIP(row, beforeSlash(ip->getAddress()));
    },
    [](IfmNetworkLinkStatusTableBase& t, unsigned row, const Vlan&, const cellcheck::Site&) {
      t.setPropifmNetworkLinkStatusStatic(row, true);
    },
    [](IfmNetworkLinkStatusTableBase& t, unsigned row, const Vlan& v, const cellcheck::Site& at) {
      const Address* ip = firstIp(v);
      std::string netmask;
      if (ip != nullptr && netmaskAfterSlash(ip->getAddress(), netmask))
        t.setPropifmNetworkLinkStatusNetmask(row, netmask);
      else if (ip != nullptr)
        CELL_LOG_ERROR(at, "Netmask not found: %s", ip->getAddress().c_str());
    },
    [](IfmNetworkLinkStatusTableBase& t, unsigned row, const Vlan&, const cellcheck::Site&) {
      t.setPropifmNetworkLinkStatusGateway(row, "0.0.0.0");
    },
    [](IfmNetworkLinkStatusTableBase& t, unsigned row, const Vlan& v, const cellcheck::Site& at) {
      size_t dot = v.getName().find('.');
      if (dot == std::string::npos)
        CELL_LOG_ERROR(at, "Parent not found in name: %s", v.getName().c_str());
      else
        t.setPropifmNetworkLinkStatusParent(row, v.getName().substr(0, dot));
    },
    [](IfmNetworkLinkStatusTableBase& t, unsigned row, const Vlan& v, const cellcheck::Site&) {
      t.setPropifmNetworkLinkStatusVlanId(row, static_cast<uint16_t>(v.getVlanIndex()));
    },
    [](IfmNetworkLinkStatusTableBase& t, unsigned row, const Vlan& v, const cellcheck::Site&) {
      t.setPropifmNetworkLinkStatusInService(row, v.isUp());
    },
};

}  // namespace

IfmNetworkLinkStatusTable::IfmNetworkLinkStatusTable(NetManRegistry* card)
    : IfmNetworkLinkStatusTableBase(kTableRows), m_card(card) {}

bool IfmNetworkLinkStatusTable::update(IcscProperty* prop, unsigned row) {
  if (!cellcheck::cellValid(CELL_SITE, getName(), row, kTableRows, prop))
    return false;
  IfmNetworkLinkConfigTableBase* config = m_card->getLinkConfigTable();
  uint16_t vlanId = 0;
  std::string parent;
  config->getPropifmNetworkLinkConfigVlanId(row, vlanId);
  config->getPropifmNetworkLinkConfigParent(row, parent);
  if (vlanId == 0 || parent.empty()) {
    LOG_DEBUG2(
        "row or parent has invalid data, we supposed the row is not set, do not update status");
    return true;
  }
  netlink_route::Vlan vlan(parent + "." + std::to_string(vlanId));
  if (!m_card->getNetworkManager()->get_vlan(vlan)) {
    LOG_ERROR_LIMITED("vlan receive failed for %s", vlan.getName().c_str());
    return false;
  }
  if (vlan.getVlanIndex() == 0) {
    bool enabled = true;
    if (!config->getPropifmNetworkLinkConfigInService(row, enabled))
      enabled = true;
    if (enabled) {
      LOG_ERROR_LIMITED("vlan with vlanid %i not found, but should be active ", vlanId);
      return false;
    }
    LOG_DEBUG3("cannot update vlan %i info because vlan is removed!", vlanId);
    setPropifmNetworkLinkStatusIP(row, "");
    setPropifmNetworkLinkStatusParent(row, "");
    setPropifmNetworkLinkStatusNetmask(row, "");
    setPropifmNetworkLinkStatusInService(row, false);
    return true;
  }
  unsigned column = prop->getPropertyId();
  if (column >= sizeof(kLinkStatusColumns) / sizeof(kLinkStatusColumns[0])) {
    cellcheck::invalidColumn(CELL_SITE, getName(), column);
    return false;
  }
  kLinkStatusColumns[column](*this, row, vlan, CELL_SITE);
  return true;
}

// ---------------------------------------------------------------- route config

IfmNetworkRouteConfigTable::IfmNetworkRouteConfigTable(NetManRegistry* card)
    : IfmNetworkRouteConfigTableBase(kTableRows), m_card(card) {}

bool IfmNetworkRouteConfigTable::updated(IcscProperty* prop, unsigned row) {
  if (!cellcheck::cellValid(CELL_SITE, getName(), row, kTableRows, prop))
    return false;
  unsigned column = prop->getPropertyId();
  if (column >= kRouteColumns) {
    cellcheck::invalidColumn(CELL_SITE, getName(), column);
    return false;
  }
  if (column != kRouteInUseColumn)
    return true;
  bool inUse = false;
  std::string destination, netmask, gateway, interface;
  int32_t flags = 0, metric = 0, ref = 0;
  getPropifmNetworkRouteConfigInUse(row, inUse);
  getPropifmNetworkRouteConfigIPDestination(row, destination);
  getPropifmNetworkRouteConfigNetmask(row, netmask);
  getPropifmNetworkRouteConfigGateway(row, gateway);
  getPropifmNetworkRouteConfigInterface(row, interface);
  getPropifmNetworkRouteConfigFlags(row, flags);
  getPropifmNetworkRouteConfigMetric(row, metric);
  getPropifmNetworkRouteConfigRef(row, ref);
  NetworkManagerInterface* nm = m_card->getNetworkManager();

  if (!inUse && (destination.empty() || netmask.empty() || interface.empty())) {
    LOG_DEBUG1("got a row disabled with incorrect parameters ipdest=%s, netmask=%s, interface=%s",
               destination.c_str(), netmask.c_str(), interface.c_str());
    LOG_DEBUG1("will return succes for this update because this are probably empty rows");
    return true;
  }
  std::string subnet;
  if (!withPrefix(destination, netmask, subnet)) {
    LOG_ERROR_LIMITED("Invalid netmask: %s", netmask.c_str());
    // A removal cannot find its route; an install is stored and not applied.
    return inUse;
  }
  const Address to(subnet, Address::TYPE_IPV4_PREFIX);
  if (!inUse) {
    netlink_route::Route tester("tester");
    tester.setDestination(to);
    if (!nm->get_route(tester)) {
      LOG_ERROR_LIMITED("getting route to test fails");
      return false;
    }
    if (tester.getName().empty()) {
      LOG_DEBUG1("route does not exist, will not remove");
      return true;
    }
  }
  netlink_route::Route route("Route" + std::to_string(row));
  route.setDestination(to);
  if (!gateway.empty()) {
    route.setGateway(Address(gateway, Address::TYPE_IPV4_PREFIX));
  } else if (!interface.empty()) {
    netlink_route::Interface iface(interface);
    if (!nm->get_interface(iface)) {
      LOG_WARNING_LIMITED("failed to get interface specified in route");
      return false;
    }
    if (iface.getIps().empty()) {
      LOG_ERROR_LIMITED("interface does not have an ip!");
      return false;
    }
    route.setGateway(iface.getIps().front());
  }
  return nm->update_route(route, !inUse);
}

// ---------------------------------------------------------------- route status

namespace {

using netlink_route::Route;

// What each column of the route status reports of the kernel's route, by
// column. A column without a writer is not reported; its symbol names it in
// the log. A writer returns false when the route's destination carries no
// prefix to report, leaving the column as it was.
using RouteStatusWriter = bool (*)(IfmNetworkRouteStatusTableBase& table, unsigned row,
                                   const Route& route);
struct RouteStatusColumn {
  RouteStatusWriter write;
  const char* symbol;
};
const RouteStatusColumn kRouteStatusColumns[] = {
    {nullptr, "OBJ_IFMNETWORKROUTESTATUS_IFMNETWORKROUTESTATUSINDEX"},
    {[](IfmNetworkRouteStatusTableBase& t, unsigned row, const Route& r) {
       t.setPropifmNetworkRouteStatusInUse(row, r.isAddedToKernel());
       return true;
     },
     nullptr},
    {[](IfmNetworkRouteStatusTableBase& t, unsigned row, const Route& r) {
       t.setPropifmNetworkRouteStatusIPDestination(row,
                                                   beforeSlash(r.getDestination().getAddress()));
       return true;
     },
     nullptr},
    {[](IfmNetworkRouteStatusTableBase& t, unsigned row, const Route& r) {
       std::string mask;
       if (!netmaskAfterSlash(r.getDestination().getAddress(), mask))
         return false;
       t.setPropifmNetworkRouteStatusNetmask(row, mask);
       return true;
     },
     nullptr},
    {[](IfmNetworkRouteStatusTableBase& t, unsigned row, const Route& r) {
       t.setPropifmNetworkRouteStatusGateway(row, r.getGateway().getAddress());
       return true;
     },
     nullptr},
    {[](IfmNetworkRouteStatusTableBase& t, unsigned row, const Route&) {
       t.setPropifmNetworkRouteStatusFlags(row, 0);
       return true;
     },
     nullptr},
    {nullptr, "OBJ_IFMNETWORKROUTESTATUS_IFMNETWORKROUTESTATUSMETRIC"},
    {nullptr, "OBJ_IFMNETWORKROUTESTATUS_IFMNETWORKROUTESTATUSREF"},
    {[](IfmNetworkRouteStatusTableBase& t, unsigned row, const Route&) {
       t.setPropifmNetworkRouteStatusInterface(row, kDataPort);
       return true;
     },
     nullptr},
};

}  // namespace

IfmNetworkRouteStatusTable::IfmNetworkRouteStatusTable(NetManRegistry* card)
    : IfmNetworkRouteStatusTableBase(kTableRows), m_card(card) {}

bool IfmNetworkRouteStatusTable::update(IcscProperty* prop, unsigned row) {
  if (!cellcheck::cellValid(CELL_SITE, getName(), row, kTableRows, prop))
    return false;
  IfmNetworkRouteConfigTableBase* config = m_card->getRouteConfigTable();
  std::string destination, netmask, subnet;
  bool inUse = false;
  config->getPropifmNetworkRouteConfigIPDestination(row, destination);
  config->getPropifmNetworkRouteConfigNetmask(row, netmask);
  config->getPropifmNetworkRouteConfigInUse(row, inUse);
  if (!inUse) {
    LOG_DEBUG2("route is not in use, we cannot get data since we dit not add it");
    return true;
  }
  if (!withPrefix(destination, netmask, subnet)) {
    LOG_ERROR_LIMITED("Invalid netmask: %s", netmask.c_str());
    return false;
  }
  Route route("route");
  route.setDestination(Address(subnet, Address::TYPE_IPV4_PREFIX));
  if (!m_card->getNetworkManager()->get_route(route)) {
    LOG_ERROR_LIMITED("failed to get route for update with destination %s",
                      route.getDestination().toString().c_str());
    return true;
  }
  unsigned column = prop->getPropertyId();
  if (column >= sizeof(kRouteStatusColumns) / sizeof(kRouteStatusColumns[0])) {
    cellcheck::invalidColumn(CELL_SITE, getName(), column);
    return false;
  }
  const RouteStatusColumn& c = kRouteStatusColumns[column];
  if (c.write == nullptr)
    LOG_WARNING_LIMITED("IfmNetworkRouteStatusTable::update - Not implemented for %s", c.symbol);
  else if (!c.write(*this, row, route))
    LOG_ERROR_LIMITED("Netmask not found: %s", route.getDestination().getAddress().c_str());
  return true;
}
