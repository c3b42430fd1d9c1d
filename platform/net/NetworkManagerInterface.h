// Client of the kernel's network configuration (rtnetlink): reads and
// applies interfaces, VLAN interfaces and routes of the main table. Every
// call opens its own netlink socket, so the object keeps no kernel state.
// Kernel refusals become `false` plus one log line with the kernel's reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/RtnlCodec.h"
#include "net/netlink_route.h"

class NetworkManagerInterface {
 public:
  NetworkManagerInterface() = default;
  virtual ~NetworkManagerInterface() = default;
  NetworkManagerInterface(const NetworkManagerInterface&) = delete;
  NetworkManagerInterface& operator=(const NetworkManagerInterface&) = delete;

  // Fills index, MAC, up state and IPv4 addresses; false when not found.
  virtual bool get_interface(netlink_route::Interface& interface);
  // Applies MAC, addresses and up state (remove: deletes the addresses).
  virtual bool update_interface(netlink_route::Interface& interface, bool remove);
  // True when the look-up ran; getVlanIndex() is 0 when there is no such VLAN.
  virtual bool get_vlan(netlink_route::Vlan& vlan);
  // remove false: creates the VLAN when missing, then applies addresses and
  // up state; remove true: deletes it (a missing VLAN counts as deleted).
  virtual bool update_vlan(netlink_route::Vlan& vlan, bool remove);
  // Looks the route up by destination in the main table; the name is
  // cleared when the kernel has no such route.
  virtual bool get_route(netlink_route::Route& route);
  virtual bool update_route(netlink_route::Route& route, bool remove);

 private:
  struct Reply {
    int error = 0;  // 0 or a negative errno
    std::string extack;
    std::vector<std::vector<uint8_t>> messages;  // DATA messages, each whole
  };
  bool transact(const rtnl::Bytes& request, bool dump, Reply& reply, const char* what,
                const std::string& subject);
  bool findLink(const std::string& name, rtnl::LinkInfo& link, bool& found);
  bool linkName(int index, std::string& name);
  bool readAddresses(int index, std::vector<netlink_route::Address>& out);
  // Up state and addresses of a link that was found.
  bool readState(netlink_route::Interface& interface, const rtnl::LinkInfo& link);
  bool applyInterface(netlink_route::Interface& interface, int index, bool remove);
  uint32_t nextSeq() { return ++m_seq; }

  uint32_t m_seq = 0;
};
