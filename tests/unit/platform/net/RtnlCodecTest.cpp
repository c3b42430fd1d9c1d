#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <libmnl/libmnl.h>
#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/rtnetlink.h>

#include <cstring>
#include <string>
#include <tuple>

#include "net/RtnlCodec.h"

namespace {

// Builds kernel-style replies with libmnl so the decoders see real layouts.
struct Msg {
  alignas(8) uint8_t buf[1024] = {};
  nlmsghdr* nlh = mnl_nlmsg_put_header(buf);
  explicit Msg(uint16_t type, uint32_t seq = 7) {
    nlh->nlmsg_type = type;
    nlh->nlmsg_seq = seq;
  }
  std::vector<uint8_t> bytes() const { return {buf, buf + nlh->nlmsg_len}; }
};

std::vector<uint8_t> vlanLinkReply() {
  Msg m(RTM_NEWLINK);
  auto* ifi = static_cast<ifinfomsg*>(mnl_nlmsg_put_extra_header(m.nlh, sizeof(ifinfomsg)));
  ifi->ifi_index = 12;
  ifi->ifi_flags = IFF_UP;
  mnl_attr_put_strz(m.nlh, IFLA_IFNAME, "eth1.100");
  uint8_t mac[6] = {2, 0xa5, 0x3c, 0, 0x50, 5};
  mnl_attr_put(m.nlh, IFLA_ADDRESS, 6, mac);
  nlattr* info = mnl_attr_nest_start(m.nlh, IFLA_LINKINFO);
  mnl_attr_put_strz(m.nlh, IFLA_INFO_KIND, "vlan");
  nlattr* data = mnl_attr_nest_start(m.nlh, IFLA_INFO_DATA);
  mnl_attr_put_u16(m.nlh, IFLA_VLAN_ID, 100);
  mnl_attr_nest_end(m.nlh, data);
  mnl_attr_nest_end(m.nlh, info);
  return m.bytes();
}

TEST(RtnlDecode, VlanLinkWholeAndTruncated) {
  auto full = vlanLinkReply();
  rtnl::LinkInfo whole;
  ASSERT_TRUE(rtnl::decodeLink(full.data(), full.size(), whole));
  EXPECT_EQ(std::make_tuple(whole.index, whole.name, whole.kind, whole.vlanId, whole.mac[5]),
            std::make_tuple(12, std::string("eth1.100"), std::string("vlan"), 100, 5));
  EXPECT_TRUE(whole.hasMac && (whole.flags & IFF_UP) != 0);
  // Every prefix shorter than the fixed headers is refused; longer ones with
  // a header length beyond the buffer are refused too.
  for (size_t n = 0; n < full.size(); ++n) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<long>(n));
    rtnl::LinkInfo link;
    EXPECT_FALSE(rtnl::decodeLink(cut.data(), cut.size(), link)) << n;
  }
  // A header that claims less than its attributes: the attributes past the
  // claimed length are not read.
  auto shortened = full;
  uint32_t claimed = NLMSG_HDRLEN + sizeof(ifinfomsg);
  std::memcpy(shortened.data(), &claimed, sizeof claimed);
  rtnl::LinkInfo link;
  ASSERT_TRUE(rtnl::decodeLink(shortened.data(), shortened.size(), link));
  EXPECT_TRUE(link.name.empty());
  EXPECT_EQ(link.vlanId, 0);
}

TEST(RtnlDecode, WrongTypeOrFamilyIsRefused) {
  auto link = vlanLinkReply();
  rtnl::RouteInfo route;
  EXPECT_FALSE(rtnl::decodeRoute(link.data(), link.size(), route));
  Msg m(RTM_NEWADDR);
  auto* ifa = static_cast<ifaddrmsg*>(mnl_nlmsg_put_extra_header(m.nlh, sizeof(ifaddrmsg)));
  ifa->ifa_family = AF_INET6;
  auto bytes = m.bytes();
  rtnl::AddrInfo addr;
  EXPECT_FALSE(rtnl::decodeAddr(bytes.data(), bytes.size(), addr));
}

TEST(RtnlDecode, RouteWithGatewayAndShortAttributeIgnored) {
  Msg m(RTM_NEWROUTE);
  auto* rtm = static_cast<rtmsg*>(mnl_nlmsg_put_extra_header(m.nlh, sizeof(rtmsg)));
  rtm->rtm_family = AF_INET;
  rtm->rtm_dst_len = 24;
  rtm->rtm_table = RT_TABLE_MAIN;
  rtm->rtm_type = RTN_UNICAST;
  uint32_t dst = htonl(0xc0a80500), gw = htonl(0x0a000001);
  mnl_attr_put(m.nlh, RTA_DST, 4, &dst);
  mnl_attr_put(m.nlh, RTA_GATEWAY, 4, &gw);
  uint16_t shortOif = 3;  // two bytes where four are due: ignored
  mnl_attr_put(m.nlh, RTA_OIF, 2, &shortOif);
  auto bytes = m.bytes();
  rtnl::RouteInfo route;
  ASSERT_TRUE(rtnl::decodeRoute(bytes.data(), bytes.size(), route));
  EXPECT_EQ(route.destination, 0xc0a80500u);
  EXPECT_EQ(route.prefix, 24);
  EXPECT_TRUE(route.hasGateway);
  EXPECT_EQ(route.gateway, 0x0a000001u);
  EXPECT_EQ(route.outIndex, 0);
}

TEST(RtnlSplit, ErrorWithKernelReasonThenDone) {
  Msg err(NLMSG_ERROR, 9);
  err.nlh->nlmsg_flags = NLM_F_ACK_TLVS | NLM_F_CAPPED;
  auto* e = static_cast<nlmsgerr*>(mnl_nlmsg_put_extra_header(err.nlh, sizeof(nlmsgerr)));
  e->error = -EOPNOTSUPP;
  e->msg.nlmsg_len = NLMSG_HDRLEN;
  mnl_attr_put_strz(err.nlh, NLMSGERR_ATTR_MSG, "Unknown device type");
  Msg done(NLMSG_DONE, 9);
  mnl_nlmsg_put_extra_header(done.nlh, sizeof(int));
  auto bytes = err.bytes();
  auto tail = done.bytes();
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  auto parts = rtnl::splitReply(bytes.data(), bytes.size());
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].part, rtnl::Part::ERROR);
  EXPECT_EQ(parts[0].error, -EOPNOTSUPP);
  EXPECT_EQ(parts[0].extack, "Unknown device type");
  EXPECT_EQ(parts[0].seq, 9u);
  EXPECT_EQ(parts[1].part, rtnl::Part::DONE);
}

TEST(RtnlSplit, MalformedLengthsStopTheWalk) {
  auto good = vlanLinkReply();
  struct Case {
    const char* name;
    uint32_t len;
  };
  for (Case c : {Case{"zero", 0}, Case{"below_header", 8}, Case{"past_end", 4096},
                 Case{"above_2_gib", 0xFFFFFFF0}}) {
    auto bytes = good;
    bytes.insert(bytes.end(), good.begin(), good.end());
    std::memcpy(bytes.data() + good.size(), &c.len, sizeof c.len);
    auto parts = rtnl::splitReply(bytes.data(), bytes.size());
    ASSERT_EQ(parts.size(), 2u) << c.name;
    EXPECT_EQ(parts[0].part, rtnl::Part::DATA) << c.name;
    EXPECT_EQ(parts[1].part, rtnl::Part::INVALID) << c.name;
  }
  // An error message too short for its error code is invalid, not an ACK.
  Msg shortErr(NLMSG_ERROR);
  mnl_nlmsg_put_extra_header(shortErr.nlh, 2);
  auto b = shortErr.bytes();
  auto parts = rtnl::splitReply(b.data(), b.size());
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].part, rtnl::Part::INVALID);
}

// A message whose length is not a multiple of 4 ends there: an attribute
// reaching into the alignment padding lies past it and is ignored.
TEST(RtnlDecode, AttributeIntoThePaddingOfTheLastMessageIsIgnored) {
  Msg m(RTM_NEWLINK);
  mnl_nlmsg_put_extra_header(m.nlh, sizeof(ifinfomsg));
  size_t at = m.nlh->nlmsg_len;
  mnl_attr_put_strz(m.nlh, IFLA_IFNAME, "eth1");  // 4 + 5 bytes, padded to 12
  reinterpret_cast<nlattr*>(m.buf + at)->nla_len = 12;
  m.nlh->nlmsg_len = static_cast<uint32_t>(at + 9);
  auto bytes = m.bytes();
  auto parts = rtnl::splitReply(bytes.data(), bytes.size());
  ASSERT_EQ(parts.size(), 1u);
  ASSERT_EQ(parts[0].part, rtnl::Part::DATA);
  rtnl::LinkInfo link;
  ASSERT_TRUE(rtnl::decodeLink(parts[0].payload, parts[0].length, link));
  EXPECT_EQ(link.name, "");
}

// Routes go through the kernel in KernelNet; VLAN creation may be missing
// there, so the VLAN request is checked here.
TEST(RtnlEncode, VlanRequestCarriesItsFields) {
  auto vlan = rtnl::encodeNewVlan("eth1.100", 3, 100, 42);
  auto* nlh = reinterpret_cast<nlmsghdr*>(vlan.data());
  EXPECT_EQ(nlh->nlmsg_len, vlan.size());
  EXPECT_EQ(nlh->nlmsg_type, RTM_NEWLINK);
  EXPECT_EQ(nlh->nlmsg_seq, 42u);
  EXPECT_NE(nlh->nlmsg_flags & NLM_F_CREATE, 0);
  // The request decodes like a reply: name, kind and id are where the
  // kernel looks for them.
  rtnl::LinkInfo link;
  ASSERT_TRUE(rtnl::decodeLink(vlan.data(), vlan.size(), link));
  EXPECT_EQ(link.name, "eth1.100");
  EXPECT_EQ(link.kind, "vlan");
  EXPECT_EQ(link.vlanId, 100);
}

}  // namespace
