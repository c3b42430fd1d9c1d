#include "net/NetworkManagerInterface.h"

#include <libmnl/libmnl.h>
#include <linux/if.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "trace/TraceObject.h"

using netlink_route::Address;

namespace {

// A reply that does not come within this time means the kernel is not
// answering; the call fails rather than blocking the main loop.
constexpr int kReplyTimeoutSeconds = 2;

struct SocketCloser {
  void operator()(mnl_socket* s) const { mnl_socket_close(s); }
};

std::string reason(int error, const std::string& extack) {
  std::string text = std::strerror(-error);
  if (!extack.empty())
    text += " (" + extack + ")";
  return text;
}

uint16_t requestFlags(const rtnl::Bytes& request) {
  nlmsghdr hdr{};
  std::memcpy(&hdr, request.data(), sizeof hdr);
  return hdr.nlmsg_flags;
}

}  // namespace

bool NetworkManagerInterface::transact(const rtnl::Bytes& request, bool dump, Reply& reply,
                                       const char* what, const std::string& subject) {
  std::unique_ptr<mnl_socket, SocketCloser> sock(mnl_socket_open(NETLINK_ROUTE));
  if (!sock || mnl_socket_bind(sock.get(), 0, MNL_SOCKET_AUTOPID) < 0) {
    LOG_ERROR("netlink socket for %s of %s failed: %s", what, subject.c_str(),
              std::strerror(errno));
    return false;
  }
  timeval tv{kReplyTimeoutSeconds, 0};
  setsockopt(mnl_socket_get_fd(sock.get()), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  if (mnl_socket_sendto(sock.get(), request.data(), request.size()) < 0) {
    LOG_ERROR("netlink send for %s of %s failed: %s", what, subject.c_str(), std::strerror(errno));
    return false;
  }
  bool wantsAck = (requestFlags(request) & NLM_F_ACK) != 0;
  uint32_t seq = 0;
  {
    nlmsghdr hdr{};
    std::memcpy(&hdr, request.data(), sizeof hdr);
    seq = hdr.nlmsg_seq;
  }
  std::vector<uint8_t> buf(MNL_SOCKET_BUFFER_SIZE * 4);
  for (;;) {
    ssize_t n = mnl_socket_recvfrom(sock.get(), buf.data(), buf.size());
    if (n < 0) {
      LOG_ERROR("netlink receive for %s of %s failed: %s", what, subject.c_str(),
                std::strerror(errno));
      return false;
    }
    for (const rtnl::ReplyMessage& m : rtnl::splitReply(buf.data(), static_cast<size_t>(n))) {
      if (m.part == rtnl::Part::INVALID) {
        LOG_ERROR("netlink reply for %s of %s is malformed, giving up", what, subject.c_str());
        return false;
      }
      if (m.seq != seq)
        continue;
      switch (m.part) {
        case rtnl::Part::DATA:
          reply.messages.emplace_back(m.payload, m.payload + m.length);
          if (!dump && !wantsAck)
            return true;
          break;
        case rtnl::Part::ACK:
          return true;
        case rtnl::Part::ERROR:
          reply.error = m.error;
          reply.extack = m.extack;
          return true;
        case rtnl::Part::DONE:
          return true;
        default:
          break;
      }
    }
  }
}

bool NetworkManagerInterface::findLink(const std::string& name, rtnl::LinkInfo& link, bool& found) {
  found = false;
  if (name.empty() || name.size() >= IFNAMSIZ) {
    LOG_ERROR("interface name '%s' is not valid, not looked up", name.c_str());
    return false;
  }
  Reply reply;
  if (!transact(rtnl::encodeGetLinkByName(name, nextSeq()), false, reply, "link look-up", name))
    return false;
  if (reply.error == -ENODEV)
    return true;
  if (reply.error != 0) {
    LOG_ERROR("link look-up of %s failed: %s", name.c_str(),
              reason(reply.error, reply.extack).c_str());
    return false;
  }
  for (const auto& msg : reply.messages) {
    if (rtnl::decodeLink(msg.data(), msg.size(), link)) {
      found = true;
      return true;
    }
  }
  return true;
}

bool NetworkManagerInterface::linkName(int index, std::string& name) {
  Reply reply;
  if (!transact(rtnl::encodeGetLinkByIndex(index, nextSeq()), false, reply, "link look-up",
                std::to_string(index)))
    return false;
  rtnl::LinkInfo link;
  for (const auto& msg : reply.messages) {
    if (rtnl::decodeLink(msg.data(), msg.size(), link)) {
      name = link.name;
      return true;
    }
  }
  return false;
}

bool NetworkManagerInterface::readAddresses(int index, std::vector<Address>& out) {
  Reply reply;
  if (!transact(rtnl::encodeGetAddrDump(nextSeq()), true, reply, "address dump", "all links"))
    return false;
  if (reply.error != 0) {
    LOG_ERROR("address dump failed: %s", reason(reply.error, reply.extack).c_str());
    return false;
  }
  for (const auto& msg : reply.messages) {
    rtnl::AddrInfo addr;
    if (rtnl::decodeAddr(msg.data(), msg.size(), addr) && addr.index == index)
      out.push_back(Address::fromIpv4(addr.address, addr.prefix));
  }
  return true;
}

bool NetworkManagerInterface::get_interface(netlink_route::Interface& interface) {
  rtnl::LinkInfo link;
  bool found = false;
  if (!findLink(interface.getName(), link, found))
    return false;
  if (!found) {
    LOG_ERROR("interface %s not found", interface.getName().c_str());
    return false;
  }
  interface.setIndex(link.index);
  if (link.hasMac)
    interface.setMac(Address(netlink_route::formatMac(link.mac), Address::TYPE_MAC));
  return readState(interface, link);
}

bool NetworkManagerInterface::readState(netlink_route::Interface& interface,
                                        const rtnl::LinkInfo& link) {
  if ((link.flags & IFF_UP) != 0)
    interface.setUp();
  else
    interface.setDown();
  std::vector<Address> addresses;
  if (!readAddresses(link.index, addresses))
    return false;
  interface.clearIps();
  for (const Address& a : addresses)
    interface.addIp(a, false);
  interface.setAddedToKernel(true);
  return true;
}

bool NetworkManagerInterface::applyInterface(netlink_route::Interface& interface, int index,
                                             bool remove) {
  const std::string& name = interface.getName();
  for (const Address& ip : interface.getIps()) {
    if (!ip.isValid() || ip.getType() != Address::TYPE_IPV4_PREFIX) {
      LOG_ERROR("address '%s' of %s is not an IPv4 address with prefix, not applied",
                ip.getAddress().c_str(), name.c_str());
      return false;
    }
  }
  if (!remove && !interface.getMac().empty() && !interface.getMac().isValid()) {
    LOG_ERROR("MAC '%s' of %s is not valid, not applied", interface.getMac().getAddress().c_str(),
              name.c_str());
    return false;
  }
  for (const Address& ip : interface.getIps()) {
    Reply reply;
    if (!transact(rtnl::encodeAddr(!remove, index, ip.ipv4(), static_cast<uint8_t>(ip.prefix()),
                                   nextSeq()),
                  false, reply, remove ? "address delete" : "address add", name))
      return false;
    bool benign = remove ? reply.error == -EADDRNOTAVAIL : reply.error == -EEXIST;
    if (reply.error != 0 && !benign) {
      LOG_ERROR("%s address %s on %s failed: %s", remove ? "deleting" : "adding",
                ip.getAddress().c_str(), name.c_str(), reason(reply.error, reply.extack).c_str());
      return false;
    }
  }
  if (remove)
    return true;
  const std::array<uint8_t, 6>* mac =
      interface.getMac().empty() ? nullptr : &interface.getMac().mac();
  int up = -1;
  if (interface.linkState() != netlink_route::Interface::LinkState::UNCHANGED)
    up = interface.isUp() ? 1 : 0;
  if (mac == nullptr && up < 0)
    return true;
  Reply reply;
  if (!transact(rtnl::encodeSetLink(index, mac, up, nextSeq()), false, reply, "link set", name))
    return false;
  if (reply.error != 0) {
    LOG_ERROR("setting MAC/state of %s failed: %s", name.c_str(),
              reason(reply.error, reply.extack).c_str());
    return false;
  }
  return true;
}

bool NetworkManagerInterface::update_interface(netlink_route::Interface& interface, bool remove) {
  rtnl::LinkInfo link;
  bool found = false;
  if (!findLink(interface.getName(), link, found))
    return false;
  if (!found) {
    LOG_ERROR("interface %s not found, not updated", interface.getName().c_str());
    return false;
  }
  interface.setIndex(link.index);
  if (!applyInterface(interface, link.index, remove))
    return false;
  interface.setAddedToKernel(!remove);
  return true;
}

bool NetworkManagerInterface::get_vlan(netlink_route::Vlan& vlan) {
  rtnl::LinkInfo link;
  bool found = false;
  if (!findLink(vlan.getName(), link, found))
    return false;
  vlan.setVlanIndex(0);
  vlan.setAddedToKernel(false);
  if (!found)
    return true;
  vlan.setIndex(link.index);
  if (link.kind != "vlan") {
    LOG_WARNING("%s exists but is no VLAN interface (kind '%s')", vlan.getName().c_str(),
                link.kind.c_str());
    return true;
  }
  vlan.setVlanIndex(link.vlanId);
  return readState(vlan, link);
}

bool NetworkManagerInterface::update_vlan(netlink_route::Vlan& vlan, bool remove) {
  const std::string& name = vlan.getName();
  rtnl::LinkInfo link;
  bool found = false;
  if (!findLink(name, link, found))
    return false;
  if (remove) {
    if (!found) {
      LOG_DEBUG("VLAN %s already absent, nothing to delete", name.c_str());
      return true;
    }
    Reply reply;
    if (!transact(rtnl::encodeDelLink(link.index, nextSeq()), false, reply, "link delete", name))
      return false;
    if (reply.error != 0 && reply.error != -ENODEV) {
      LOG_ERROR("deleting VLAN %s failed: %s", name.c_str(),
                reason(reply.error, reply.extack).c_str());
      return false;
    }
    vlan.setAddedToKernel(false);
    vlan.setVlanIndex(0);
    return true;
  }
  std::string parent;
  uint16_t vlanId = 0;
  if (!vlan.splitName(parent, vlanId)) {
    LOG_ERROR("VLAN name '%s' is not parent.<1..4095>, not created", name.c_str());
    return false;
  }
  if (!found) {
    rtnl::LinkInfo parentLink;
    bool parentFound = false;
    if (!findLink(parent, parentLink, parentFound))
      return false;
    if (!parentFound) {
      LOG_ERROR("parent %s of VLAN %s not found, not created", parent.c_str(), name.c_str());
      return false;
    }
    Reply reply;
    if (!transact(rtnl::encodeNewVlan(name, parentLink.index, vlanId, nextSeq()), false, reply,
                  "VLAN create", name))
      return false;
    if (reply.error == -EOPNOTSUPP) {
      LOG_ERROR("creating VLAN %s failed: the kernel has no VLAN (802.1Q) support: %s",
                name.c_str(), reason(reply.error, reply.extack).c_str());
      return false;
    }
    if (reply.error != 0 && reply.error != -EEXIST) {
      LOG_ERROR("creating VLAN %s failed: %s", name.c_str(),
                reason(reply.error, reply.extack).c_str());
      return false;
    }
    if (!findLink(name, link, found) || !found) {
      LOG_ERROR("VLAN %s vanished after creation", name.c_str());
      return false;
    }
  }
  vlan.setIndex(link.index);
  if (!applyInterface(vlan, link.index, false))
    return false;
  vlan.setVlanIndex(vlanId);
  vlan.setAddedToKernel(true);
  return true;
}

bool NetworkManagerInterface::get_route(netlink_route::Route& route) {
  const Address& dst = route.getDestination();
  if (!dst.isValid() || dst.getType() != Address::TYPE_IPV4_PREFIX) {
    LOG_ERROR("route %s: destination '%s' is not an IPv4 address with prefix",
              route.getName().c_str(), dst.getAddress().c_str());
    return false;
  }
  Reply reply;
  if (!transact(rtnl::encodeGetRouteDump(nextSeq()), true, reply, "route dump", route.getName()))
    return false;
  if (reply.error != 0) {
    LOG_ERROR("route dump failed: %s", reason(reply.error, reply.extack).c_str());
    return false;
  }
  uint32_t mask = dst.prefix() == 0 ? 0 : ~uint32_t{0} << (32 - dst.prefix());
  for (const auto& msg : reply.messages) {
    rtnl::RouteInfo info;
    if (!rtnl::decodeRoute(msg.data(), msg.size(), info))
      continue;
    if (info.table != RT_TABLE_MAIN || info.type != RTN_UNICAST || info.prefix != dst.prefix() ||
        info.destination != (dst.ipv4() & mask))
      continue;
    route.setDestination(Address::fromIpv4(info.destination, info.prefix));
    route.setGateway(info.hasGateway ? Address::fromIpv4NoPrefix(info.gateway) : Address());
    std::string device;
    if (info.outIndex > 0 && linkName(info.outIndex, device))
      route.setDevice(device);
    route.setAddedToKernel(true);
    return true;
  }
  route.setName("");
  route.setAddedToKernel(false);
  return true;
}

bool NetworkManagerInterface::update_route(netlink_route::Route& route, bool remove) {
  const Address& dst = route.getDestination();
  const Address& gw = route.getGateway();
  if (!dst.isValid() || dst.getType() != Address::TYPE_IPV4_PREFIX) {
    LOG_ERROR("route %s: destination '%s' is not an IPv4 address with prefix, not applied",
              route.getName().c_str(), dst.getAddress().c_str());
    return false;
  }
  if (!gw.empty() && !gw.isValid()) {
    LOG_ERROR("route %s: gateway '%s' is not an IPv4 address, not applied", route.getName().c_str(),
              gw.getAddress().c_str());
    return false;
  }
  rtnl::RouteRequest req;
  uint32_t mask = dst.prefix() == 0 ? 0 : ~uint32_t{0} << (32 - dst.prefix());
  req.destination = dst.ipv4() & mask;
  req.prefix = static_cast<uint8_t>(dst.prefix());
  // A gateway given with a prefix ("10.0.0.1/24") is the host 10.0.0.1.
  req.hasGateway = !gw.empty();
  req.gateway = gw.ipv4();
  if (!route.getDevice().empty()) {
    rtnl::LinkInfo link;
    bool found = false;
    if (!findLink(route.getDevice(), link, found))
      return false;
    if (!found) {
      LOG_ERROR("route %s: device %s not found, not applied", route.getName().c_str(),
                route.getDevice().c_str());
      return false;
    }
    req.outIndex = link.index;
  }
  Reply reply;
  if (!transact(rtnl::encodeRoute(!remove, req, nextSeq()), false, reply,
                remove ? "route delete" : "route add", route.getName()))
    return false;
  if (remove && reply.error == -ESRCH) {
    LOG_DEBUG("route %s to %s already absent", route.getName().c_str(), dst.getAddress().c_str());
    route.setAddedToKernel(false);
    return true;
  }
  if (reply.error != 0) {
    LOG_ERROR("%s route %s to %s via '%s' failed: %s", remove ? "deleting" : "adding",
              route.getName().c_str(), dst.getAddress().c_str(), gw.getAddress().c_str(),
              reason(reply.error, reply.extack).c_str());
    return false;
  }
  route.setAddedToKernel(!remove);
  return true;
}
