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

bool FakeNetworkManager::fails(const std::string& op, const std::string& name) const {
  return failing.count(op) != 0 || failingNames.count(name) != 0;
}

std::vector<std::string> FakeNetworkManager::ops() const {
  std::vector<std::string> out;
  for (const Call& c : calls)
    out.push_back(c.op);
  return out;
}

bool FakeNetworkManager::get_interface(netlink_route::Interface& interface) {
  calls.push_back({"get_interface", interface.getName(), false, ""});
  if (fails("get_interface", interface.getName()))
    return false;
  auto it = interfaces.find(interface.getName());
  if (it == interfaces.end())
    return false;
  copyKernelState(it->second, interface);
  return true;
}

bool FakeNetworkManager::update_interface(netlink_route::Interface& interface, bool remove) {
  calls.push_back({"update_interface", interface.getName(), remove, describe(interface)});
  if (fails("update_interface", interface.getName()))
    return false;
  interfaces.erase(interface.getName());
  interfaces.emplace(interface.getName(), interface);
  return true;
}

bool FakeNetworkManager::get_vlan(netlink_route::Vlan& vlan) {
  calls.push_back({"get_vlan", vlan.getName(), false, ""});
  if (fails("get_vlan", vlan.getName()))
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
  calls.push_back({"update_vlan", vlan.getName(), remove, describe(vlan)});
  if (fails("update_vlan", vlan.getName()))
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
  calls.push_back({"get_route", route.getName(), false, route.getDestination().getAddress()});
  if (fails("get_route", route.getName()))
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
  calls.push_back({"update_route", route.getName(), remove, detail});
  if (fails("update_route", route.getName()))
    return false;
  if (remove) {
    routes.erase(route.getDestination().getAddress());
  } else {
    routes.erase(route.getDestination().getAddress());
    routes.emplace(route.getDestination().getAddress(), route);
  }
  return true;
}
