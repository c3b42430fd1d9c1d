// Network manager that keeps a small kernel model in maps, records every
// call and fails the operations named in `failing`.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "net/NetworkManagerInterface.h"

class FakeNetworkManager : public NetworkManagerInterface {
 public:
  struct Call {
    std::string op;    // "get_vlan", "update_route", ...
    std::string name;  // value's name
    bool remove = false;
    std::string detail;  // addresses/up state, or destination and gateway
  };

  bool get_interface(netlink_route::Interface& interface) override;
  bool update_interface(netlink_route::Interface& interface, bool remove) override;
  bool get_vlan(netlink_route::Vlan& vlan) override;
  bool update_vlan(netlink_route::Vlan& vlan, bool remove) override;
  bool get_route(netlink_route::Route& route) override;
  bool update_route(netlink_route::Route& route, bool remove) override;

  std::vector<std::string> ops() const;  // just the op names, in order

  std::vector<Call> calls;
  std::set<std::string> failing;       // op names that fail
  std::set<std::string> failingNames;  // value names whose every op fails
  // Kernel model: VLANs and interfaces by name, routes by destination text.
  std::map<std::string, netlink_route::Vlan> vlans;
  std::map<std::string, netlink_route::Interface> interfaces;
  std::map<std::string, netlink_route::Route> routes;

 private:
  // Records the call; false when it is scripted to fail.
  bool record(const std::string& op, const std::string& name, bool remove,
              const std::string& detail);
};
