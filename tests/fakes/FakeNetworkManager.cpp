#include "FakeNetworkManager.h"

using netlink_route::Address;

namespace {

std::string describe(const netlink_route::Interface& i) {
  std::string text;
  for (const Address& a : i.getIps())
    text += a.getAddress() + " ";
  if (!i.getMac().empty())
    text += "mac " + i.getMac().getAddress() + " ";
  if (i.linkState() != netlink_route::Interface::LinkState::UNCHANGED)
    text += i.isUp() ? "up" : "down";
  return text;
}

void copyKernelState(const netlink_route::Interface& from, netlink_route::Interface& to) {
  to.clearIps();
  for (const Address& a : from.getIps())
    to.addIp(a, false);
  if (from.isUp())
    to.setUp();
  else
    to.setDown();
  to.setAddedToKernel(true);
}

}  // namespace

bool FakeNetworkManager::record(const std::string& op, const std::string& name, bool remove,
                                const std::string& detail) {
  calls.push_back({op, name, remove, detail});
  return failing.count(op) == 0 && failingNames.count(name) == 0;
}

std::vector<std::string> FakeNetworkManager::ops() const {
  std::vector<std::string> out;
  for (const Call& c : calls)
    out.push_back(c.op);
  return out;
}

bool FakeNetworkManager::get_interface(netlink_route::Interface& interface) {
  if (!record("get_interface", interface.getName(), false, ""))
    return false;
  auto it = interfaces.find(interface.getName());
  if (it == interfaces.end())
    return false;
  copyKernelState(it->second, interface);
  return true;
}

bool FakeNetworkManager::update_interface(netlink_route::Interface& interface, bool remove) {
  if (!record("update_interface", interface.getName(), remove, describe(interface)))
    return false;
  interfaces.erase(interface.getName());
  interfaces.emplace(interface.getName(), interface);
  return true;
}

bool FakeNetworkManager::get_vlan(netlink_route::Vlan& vlan) {
  if (!record("get_vlan", vlan.getName(), false, ""))
    return false;
  auto it = vlans.find(vlan.getName());
  if (it == vlans.end()) {
    vlan.setVlanIndex(0);
    return true;
  }
  copyKernelState(it->second, vlan);
  vlan.setVlanIndex(it->second.getVlanIndex());
  return true;
}

bool FakeNetworkManager::update_vlan(netlink_route::Vlan& vlan, bool remove) {
  if (!record("update_vlan", vlan.getName(), remove, describe(vlan)))
    return false;
  if (remove) {
    vlans.erase(vlan.getName());
    return true;
  }
  std::string parent;
  uint16_t id = 0;
  if (!vlan.splitName(parent, id))
    return false;
  netlink_route::Vlan stored = vlan;
  stored.setVlanIndex(id);
  vlans.erase(vlan.getName());
  vlans.emplace(vlan.getName(), stored);
  return true;
}

bool FakeNetworkManager::get_route(netlink_route::Route& route) {
  if (!record("get_route", route.getName(), false, route.getDestination().getAddress()))
    return false;
  auto it = routes.find(route.getDestination().getAddress());
  if (it == routes.end()) {
    route.setName("");
    route.setAddedToKernel(false);
    return true;
  }
  route.setDestination(it->second.getDestination());
  route.setGateway(it->second.getGateway());
  route.setAddedToKernel(true);
  return true;
}

bool FakeNetworkManager::update_route(netlink_route::Route& route, bool remove) {
  std::string detail = route.getDestination().getAddress();
  if (!route.getGateway().empty())
    detail += " via " + route.getGateway().getAddress();
  if (!record("update_route", route.getName(), remove, detail))
    return false;
  routes.erase(route.getDestination().getAddress());
  if (!remove)
    routes.emplace(route.getDestination().getAddress(), route);
  return true;
}
