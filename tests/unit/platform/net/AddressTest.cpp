#include <gtest/gtest.h>

#include "TestSupport.h"
#include "net/netlink_route.h"

using netlink_route::Address;

namespace {

struct AddressCase {
  const char* name;
  const char* text;
  int type;
  bool valid;
  uint32_t ipv4;
  int prefix;
};

const AddressCase kAddressCases[] = {
    {"prefixed", "10.1.2.3/24", Address::TYPE_IPV4_PREFIX, true, 0x0a010203, 24},
    {"no_prefix_is_host", "10.0.0.1", Address::TYPE_IPV4_PREFIX, true, 0x0a000001, 32},
    {"default_route", "0.0.0.0/0", Address::TYPE_IPV4_PREFIX, true, 0, 0},
    {"prefix_33", "10.1.2.3/33", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"octet_256", "10.1.2.256/24", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"three_octets", "10.1.2/24", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"trailing_text", "10.1.2.3x", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"empty_prefix", "10.1.2.3/", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"leading_space", " 10.1.2.3", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"four_digit_octet", "0010.1.2.3", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    // Octets and the prefix are decimal with at most three digits; a leading
    // zero does not make them octal.
    {"leading_zero_octets", "010.001.002.003", Address::TYPE_IPV4_PREFIX, true, 0x0a010203, 32},
    {"zero_padded_prefix", "10.1.2.3/024", Address::TYPE_IPV4_PREFIX, true, 0x0a010203, 24},
    {"four_digit_prefix", "10.1.2.3/0024", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"all_ones", "255.255.255.255/32", Address::TYPE_IPV4_PREFIX, true, 0xffffffff, 32},
    {"octet_999", "10.1.2.999", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"plus_sign", "+10.1.2.3", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"minus_sign", "10.-1.2.3", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"prefix_plus_sign", "10.1.2.3/+24", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"empty_octet", "10..2.3", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"five_octets", "10.1.2.3.4", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"two_slashes", "10.1.2.3/2/4", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"hex_octet", "0x0a.1.2.3", Address::TYPE_IPV4_PREFIX, false, 0, 32},
    {"trailing_dot", "10.1.2.3.", Address::TYPE_IPV4, false, 0, 32},
    {"plain_rejects_prefix", "10.1.2.3/24", Address::TYPE_IPV4, false, 0, 32},
    {"plain", "192.168.5.0", Address::TYPE_IPV4, true, 0xc0a80500, 32},
    {"unknown_type", "10.1.2.3", 7, false, 0, 32},
};

class AddressParse : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressParse, ValidityAndValue) {
  const AddressCase& c = GetParam();
  Address a(c.text, c.type);
  EXPECT_EQ(a.isValid(), c.valid);
  EXPECT_EQ(a.getAddress(), c.text);
  if (c.valid) {
    EXPECT_EQ(a.ipv4(), c.ipv4);
    EXPECT_EQ(a.prefix(), c.prefix);
  }
}

TEST(AddressParseNul, TextAfterANulIsNotIgnored) {
  EXPECT_FALSE(Address(std::string("10.1.2.3\0", 9), Address::TYPE_IPV4_PREFIX).isValid());
  EXPECT_FALSE(Address(std::string("10.1.2.3/24\0", 12), Address::TYPE_IPV4_PREFIX).isValid());
}

INSTANTIATE_NAMED(Net, AddressParse, kAddressCases);

TEST(AddressMac, ParsesAndRejects) {
  Address mac("02:a5:3c:00:50:0A", Address::TYPE_MAC);
  ASSERT_TRUE(mac.isValid());
  EXPECT_EQ(netlink_route::formatMac(mac.mac()), "02:a5:3c:00:50:0a");
  EXPECT_EQ(Address("FF:FF:FF:FF:FF:FF", Address::TYPE_MAC).mac(),
            (std::array<uint8_t, 6>{0xff, 0xff, 0xff, 0xff, 0xff, 0xff}));
  // Exactly two hex digits an octet, colons between, nothing around.
  for (const char* bad :
       {"02:a5:3c:00:50", "02:a5:3c:00:50:0g", "02-a5-3c-00-50-05", "02:a5:3c:00:50:05:", "",
        "2:a5:3c:0:50:5", "02:a5:3c:00:50:5 ", " 02:a5:3c:00:50:5", "02:a5:3c:00:50:+5",
        "02:a5:3c:00:50:-5", "02:a5:3c:00:50:0x", "02:a5:3c:00:5:005", "02:a5:3c:00:50:05 "})
    EXPECT_FALSE(Address(bad, Address::TYPE_MAC).isValid()) << bad;
  EXPECT_FALSE(Address(std::string("02:a5:3c:00:50:0\0", 17), Address::TYPE_MAC).isValid());
}

TEST(AddressText, KernelValuesAsText) {
  const std::pair<uint32_t, const char*> quads[] = {{0, "0.0.0.0"},
                                                    {0xffffffff, "255.255.255.255"},
                                                    {0x0a000001, "10.0.0.1"},
                                                    {0xc0a80500, "192.168.5.0"}};
  for (const auto& [value, text] : quads)
    EXPECT_EQ(netlink_route::formatIpv4(value), text);
  EXPECT_EQ(Address::fromIpv4(0xac100000, 12).getAddress(), "172.16.0.0/12");
  EXPECT_EQ(Address::fromIpv4NoPrefix(0x0a000001).getAddress(), "10.0.0.1");
  EXPECT_EQ(netlink_route::formatMac({0x02, 0xa5, 0x3c, 0x00, 0x50, 0x0a}), "02:a5:3c:00:50:0a");
  EXPECT_EQ(netlink_route::formatMac({0, 0, 0, 0, 0, 0}), "00:00:00:00:00:00");
}

struct VlanNameCase {
  const char* name;
  bool ok;
  const char* parent;
  int id;
};

const VlanNameCase kVlanNames[] = {
    {"eth1.100", true, "eth1", 100},
    {"eth1.4095", true, "eth1", 4095},
    {"eth1.4096", false, "", 0},
    {"eth1.007", false, "", 0},
    {"eth1", false, "", 0},
    {".5", false, "", 0},
    {"eth1.5x", false, "", 0},
    {"eth1.", false, "", 0},
    {"eth0.7", true, "eth0", 7},
    {"eth1.0", false, "", 0},
    {"eth1.+5", false, "", 0},
    {"eth1.-5", false, "", 0},
    {"eth1.99999999999", false, "", 0},
    {"a.b.1", true, "a.b", 1},
};

TEST(VlanName, SplitsParentAndId) {
  for (const VlanNameCase& c : kVlanNames) {
    std::string parent;
    uint16_t id = 0;
    EXPECT_EQ(netlink_route::Vlan(c.name).splitName(parent, id), c.ok) << c.name;
    if (c.ok) {
      EXPECT_EQ(parent, c.parent) << c.name;
      EXPECT_EQ(id, c.id) << c.name;
    }
  }
}

}  // namespace
