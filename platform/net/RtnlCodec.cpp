#include "net/RtnlCodec.h"

#include <arpa/inet.h>
#include <libmnl/libmnl.h>
#include <linux/if.h>
#include <linux/if_addr.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

#include <cstring>

namespace rtnl {

namespace {

// Large enough for every request built here (names are at most IFNAMSIZ).
constexpr size_t kRequestBufferSize = 512;

struct Builder {
  alignas(8) uint8_t buf[kRequestBufferSize] = {};
  nlmsghdr* nlh;

  Builder(uint16_t type, uint16_t flags, uint32_t seq) {
    nlh = mnl_nlmsg_put_header(buf);
    nlh->nlmsg_type = type;
    nlh->nlmsg_flags = static_cast<uint16_t>(NLM_F_REQUEST | flags);
    nlh->nlmsg_seq = seq;
  }
  template <typename T>
  T* extra() {
    return static_cast<T*>(mnl_nlmsg_put_extra_header(nlh, sizeof(T)));
  }
  Bytes bytes() const { return Bytes(buf, buf + nlh->nlmsg_len); }
};

Bytes linkRequest(uint16_t type, uint16_t flags, int index, uint32_t seq) {
  Builder b(type, flags, seq);
  auto* ifi = b.extra<ifinfomsg>();
  ifi->ifi_family = AF_UNSPEC;
  ifi->ifi_index = index;
  return b.bytes();
}

const nlmsghdr* header(const uint8_t* msg, size_t length, size_t fixed) {
  if (msg == nullptr || length < NLMSG_HDRLEN)
    return nullptr;
  auto* nlh = reinterpret_cast<const nlmsghdr*>(msg);
  if (nlh->nlmsg_len > length || nlh->nlmsg_len < NLMSG_HDRLEN + fixed)
    return nullptr;
  return nlh;
}

uint32_t readIpv4(const nlattr* attr) {
  uint32_t net = 0;
  std::memcpy(&net, mnl_attr_get_payload(attr), sizeof net);
  return ntohl(net);
}

std::string readString(const nlattr* attr) {
  auto* p = static_cast<const char*>(mnl_attr_get_payload(attr));
  size_t n = mnl_attr_get_payload_len(attr);
  return std::string(p, strnlen(p, n));
}

// libmnl's iteration macros are C (void* arithmetic); these do the same
// bounded walk with the library's own length checks.
template <typename F>
void forEachAttr(const void* start, const void* end, F f) {
  auto* attr = static_cast<const nlattr*>(start);
  auto left = [&]() {
    return static_cast<int>(static_cast<const char*>(end) - reinterpret_cast<const char*>(attr));
  };
  while (left() > 0 && mnl_attr_ok(attr, left())) {
    f(attr);
    attr = mnl_attr_next(attr);
  }
}

template <typename F>
void forEachNested(const nlattr* nest, F f) {
  forEachAttr(mnl_attr_get_payload(nest),
              static_cast<const char*>(mnl_attr_get_payload(nest)) + mnl_attr_get_payload_len(nest),
              f);
}

template <typename F>
void forEachInMessage(const nlmsghdr* nlh, size_t offset, F f) {
  auto* start = static_cast<const char*>(mnl_nlmsg_get_payload(nlh)) + MNL_ALIGN(offset);
  // The message's own end: the aligned tail may lie past the datagram.
  auto* end = reinterpret_cast<const char*>(nlh) + nlh->nlmsg_len;
  if (start < end)
    forEachAttr(start, end, f);
}

void decodeLinkInfo(const nlattr* linkinfo, LinkInfo& out) {
  forEachNested(linkinfo, [&](const nlattr* attr) {
    uint16_t type = mnl_attr_get_type(attr);
    if (type == IFLA_INFO_KIND) {
      out.kind = readString(attr);
    } else if (type == IFLA_INFO_DATA) {
      forEachNested(attr, [&](const nlattr* inner) {
        if (mnl_attr_get_type(inner) == IFLA_VLAN_ID && mnl_attr_validate(inner, MNL_TYPE_U16) >= 0)
          out.vlanId = mnl_attr_get_u16(inner);
      });
    }
  });
}

}  // namespace

Bytes encodeGetLinkByName(const std::string& name, uint32_t seq) {
  Builder b(RTM_GETLINK, 0, seq);
  auto* ifi = b.extra<ifinfomsg>();
  ifi->ifi_family = AF_UNSPEC;
  mnl_attr_put_u32(b.nlh, IFLA_EXT_MASK, RTEXT_FILTER_SKIP_STATS);
  mnl_attr_put_strz(b.nlh, IFLA_IFNAME, name.substr(0, IFNAMSIZ - 1).c_str());
  return b.bytes();
}

Bytes encodeGetLinkByIndex(int index, uint32_t seq) {
  return linkRequest(RTM_GETLINK, 0, index, seq);
}

Bytes encodeNewVlan(const std::string& name, int parentIndex, uint16_t vlanId, uint32_t seq) {
  Builder b(RTM_NEWLINK, NLM_F_CREATE | NLM_F_EXCL | NLM_F_ACK, seq);
  auto* ifi = b.extra<ifinfomsg>();
  ifi->ifi_family = AF_UNSPEC;
  mnl_attr_put_u32(b.nlh, IFLA_LINK, static_cast<uint32_t>(parentIndex));
  mnl_attr_put_strz(b.nlh, IFLA_IFNAME, name.substr(0, IFNAMSIZ - 1).c_str());
  nlattr* info = mnl_attr_nest_start(b.nlh, IFLA_LINKINFO);
  mnl_attr_put_strz(b.nlh, IFLA_INFO_KIND, "vlan");
  nlattr* data = mnl_attr_nest_start(b.nlh, IFLA_INFO_DATA);
  mnl_attr_put_u16(b.nlh, IFLA_VLAN_ID, vlanId);
  mnl_attr_nest_end(b.nlh, data);
  mnl_attr_nest_end(b.nlh, info);
  return b.bytes();
}

Bytes encodeDelLink(int index, uint32_t seq) {
  return linkRequest(RTM_DELLINK, NLM_F_ACK, index, seq);
}

Bytes encodeSetLink(int index, const std::array<uint8_t, 6>* mac, int up, uint32_t seq) {
  Builder b(RTM_NEWLINK, NLM_F_ACK, seq);
  auto* ifi = b.extra<ifinfomsg>();
  ifi->ifi_family = AF_UNSPEC;
  ifi->ifi_index = index;
  if (up >= 0) {
    ifi->ifi_change = IFF_UP;
    ifi->ifi_flags = up ? IFF_UP : 0;
  }
  if (mac != nullptr)
    mnl_attr_put(b.nlh, IFLA_ADDRESS, mac->size(), mac->data());
  return b.bytes();
}

Bytes encodeAddr(bool add, int index, uint32_t address, uint8_t prefix, uint32_t seq) {
  // Adding an address that is already there answers EEXIST, which the
  // caller counts as success.
  Builder b(add ? RTM_NEWADDR : RTM_DELADDR,
            add ? (NLM_F_CREATE | NLM_F_EXCL | NLM_F_ACK) : NLM_F_ACK, seq);
  auto* ifa = b.extra<ifaddrmsg>();
  ifa->ifa_family = AF_INET;
  ifa->ifa_prefixlen = prefix;
  ifa->ifa_index = static_cast<uint32_t>(index);
  uint32_t net = htonl(address);
  mnl_attr_put(b.nlh, IFA_LOCAL, sizeof net, &net);
  mnl_attr_put(b.nlh, IFA_ADDRESS, sizeof net, &net);
  return b.bytes();
}

Bytes encodeGetAddrDump(uint32_t seq) {
  Builder b(RTM_GETADDR, NLM_F_DUMP, seq);
  auto* ifa = b.extra<ifaddrmsg>();
  ifa->ifa_family = AF_INET;
  return b.bytes();
}

Bytes encodeRoute(bool add, const RouteRequest& route, uint32_t seq) {
  // Replace rather than fail when the destination is already routed: the
  // card re-applies its rows after every write.
  Builder b(add ? RTM_NEWROUTE : RTM_DELROUTE,
            add ? (NLM_F_CREATE | NLM_F_REPLACE | NLM_F_ACK) : NLM_F_ACK, seq);
  auto* rtm = b.extra<rtmsg>();
  rtm->rtm_family = AF_INET;
  rtm->rtm_dst_len = route.prefix;
  rtm->rtm_table = RT_TABLE_MAIN;
  rtm->rtm_protocol = add ? RTPROT_STATIC : RTPROT_UNSPEC;
  rtm->rtm_type = add ? RTN_UNICAST : RTN_UNSPEC;
  rtm->rtm_scope = (add && !route.hasGateway) ? RT_SCOPE_LINK : RT_SCOPE_UNIVERSE;
  if (!add)
    rtm->rtm_scope = RT_SCOPE_NOWHERE;
  uint32_t dst = htonl(route.destination);
  mnl_attr_put(b.nlh, RTA_DST, sizeof dst, &dst);
  if (route.hasGateway) {
    uint32_t gw = htonl(route.gateway);
    mnl_attr_put(b.nlh, RTA_GATEWAY, sizeof gw, &gw);
  }
  if (route.outIndex > 0)
    mnl_attr_put_u32(b.nlh, RTA_OIF, static_cast<uint32_t>(route.outIndex));
  return b.bytes();
}

Bytes encodeGetRouteDump(uint32_t seq) {
  Builder b(RTM_GETROUTE, NLM_F_DUMP, seq);
  auto* rtm = b.extra<rtmsg>();
  rtm->rtm_family = AF_INET;
  return b.bytes();
}

std::vector<ReplyMessage> splitReply(const uint8_t* data, size_t length) {
  std::vector<ReplyMessage> out;
  if (data == nullptr)
    return out;
  size_t pos = 0;
  while (pos < length) {
    auto* nlh = reinterpret_cast<const nlmsghdr*>(data + pos);
    size_t left = length - pos;
    ReplyMessage m;
    // Not mnl_nlmsg_ok: it compares the length as a signed int, so a length
    // above 2 GiB passes and the walk leaves the buffer.
    if (left < NLMSG_HDRLEN || nlh->nlmsg_len < NLMSG_HDRLEN || nlh->nlmsg_len > left) {
      m.part = Part::INVALID;
      out.push_back(m);
      break;
    }
    m.type = nlh->nlmsg_type;
    m.seq = nlh->nlmsg_seq;
    if (nlh->nlmsg_type == NLMSG_ERROR) {
      if (nlh->nlmsg_len < NLMSG_HDRLEN + sizeof(nlmsgerr)) {
        m.part = Part::INVALID;
        out.push_back(m);
        break;
      }
      auto* err = static_cast<const nlmsgerr*>(mnl_nlmsg_get_payload(nlh));
      m.error = err->error;
      m.part = err->error == 0 ? Part::ACK : Part::ERROR;
      if ((nlh->nlmsg_flags & NLM_F_ACK_TLVS) != 0) {
        // The echoed request is cut to its header when the kernel adds TLVs.
        size_t offset = sizeof(nlmsgerr);
        size_t echoed = err->msg.nlmsg_len;
        bool fits = true;
        if ((nlh->nlmsg_flags & NLM_F_CAPPED) == 0) {
          fits = echoed >= NLMSG_HDRLEN && echoed <= nlh->nlmsg_len;
          if (fits)
            offset += MNL_ALIGN(echoed) - NLMSG_HDRLEN;
        }
        if (fits && NLMSG_HDRLEN + offset <= nlh->nlmsg_len) {
          forEachInMessage(nlh, offset, [&](const nlattr* attr) {
            if (mnl_attr_get_type(attr) == NLMSGERR_ATTR_MSG &&
                mnl_attr_validate(attr, MNL_TYPE_NUL_STRING) >= 0)
              m.extack = readString(attr);
          });
        }
      }
    } else if (nlh->nlmsg_type == NLMSG_DONE) {
      m.part = Part::DONE;
    } else {
      m.part = Part::DATA;
      m.payload = reinterpret_cast<const uint8_t*>(nlh);
      m.length = nlh->nlmsg_len;
    }
    out.push_back(m);
    pos += NLMSG_ALIGN(nlh->nlmsg_len);
  }
  return out;
}

bool decodeLink(const uint8_t* msg, size_t length, LinkInfo& out) {
  const nlmsghdr* nlh = header(msg, length, sizeof(ifinfomsg));
  if (nlh == nullptr || nlh->nlmsg_type != RTM_NEWLINK)
    return false;
  auto* ifi = static_cast<const ifinfomsg*>(mnl_nlmsg_get_payload(nlh));
  out = LinkInfo();
  out.index = ifi->ifi_index;
  out.flags = ifi->ifi_flags;
  forEachInMessage(nlh, sizeof(ifinfomsg), [&](const nlattr* attr) {
    switch (mnl_attr_get_type(attr)) {
      case IFLA_IFNAME:
        if (mnl_attr_validate(attr, MNL_TYPE_STRING) >= 0)
          out.name = readString(attr);
        break;
      case IFLA_ADDRESS:
        if (mnl_attr_get_payload_len(attr) == out.mac.size()) {
          std::memcpy(out.mac.data(), mnl_attr_get_payload(attr), out.mac.size());
          out.hasMac = true;
        }
        break;
      case IFLA_LINKINFO:
        decodeLinkInfo(attr, out);
        break;
      default:
        break;
    }
  });
  return true;
}

bool decodeAddr(const uint8_t* msg, size_t length, AddrInfo& out) {
  const nlmsghdr* nlh = header(msg, length, sizeof(ifaddrmsg));
  if (nlh == nullptr || nlh->nlmsg_type != RTM_NEWADDR)
    return false;
  auto* ifa = static_cast<const ifaddrmsg*>(mnl_nlmsg_get_payload(nlh));
  if (ifa->ifa_family != AF_INET)
    return false;
  out = AddrInfo();
  out.index = static_cast<int>(ifa->ifa_index);
  out.prefix = ifa->ifa_prefixlen;
  bool haveLocal = false;
  forEachInMessage(nlh, sizeof(ifaddrmsg), [&](const nlattr* attr) {
    uint16_t type = mnl_attr_get_type(attr);
    if ((type == IFA_LOCAL || (type == IFA_ADDRESS && !haveLocal)) &&
        mnl_attr_validate(attr, MNL_TYPE_U32) >= 0) {
      out.address = readIpv4(attr);
      haveLocal = haveLocal || type == IFA_LOCAL;
    }
  });
  return true;
}

bool decodeRoute(const uint8_t* msg, size_t length, RouteInfo& out) {
  const nlmsghdr* nlh = header(msg, length, sizeof(rtmsg));
  if (nlh == nullptr || nlh->nlmsg_type != RTM_NEWROUTE)
    return false;
  auto* rtm = static_cast<const rtmsg*>(mnl_nlmsg_get_payload(nlh));
  if (rtm->rtm_family != AF_INET)
    return false;
  out = RouteInfo();
  out.table = rtm->rtm_table;
  out.type = rtm->rtm_type;
  out.prefix = rtm->rtm_dst_len;
  forEachInMessage(nlh, sizeof(rtmsg), [&](const nlattr* attr) {
    uint16_t type = mnl_attr_get_type(attr);
    bool u32 = mnl_attr_validate(attr, MNL_TYPE_U32) >= 0;
    if (!u32)
      return;
    if (type == RTA_DST) {
      out.destination = readIpv4(attr);
    } else if (type == RTA_GATEWAY) {
      out.gateway = readIpv4(attr);
      out.hasGateway = true;
    } else if (type == RTA_OIF) {
      out.outIndex = static_cast<int>(mnl_attr_get_u32(attr));
    } else if (type == RTA_TABLE) {
      out.table = mnl_attr_get_u32(attr);
    }
  });
  return true;
}

}  // namespace rtnl
