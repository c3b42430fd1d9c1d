#include <gtest/gtest.h>

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

INSTANTIATE_TEST_SUITE_P(Net, AddressParse, ::testing::ValuesIn(kAddressCases),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(AddressMac, ParsesAndRejects) {
  Address mac("02:a5:3c:00:50:0A", Address::TYPE_MAC);
  ASSERT_TRUE(mac.isValid());
  EXPECT_EQ(netlink_route::formatMac(mac.mac()), "02:a5:3c:00:50:0a");
  for (const char* bad :
       {"02:a5:3c:00:50", "02:a5:3c:00:50:0g", "02-a5-3c-00-50-05", "02:a5:3c:00:50:05:", ""})
    EXPECT_FALSE(Address(bad, Address::TYPE_MAC).isValid()) << bad;
}

struct VlanNameCase {
  const char* name;
  bool ok;
  const char* parent;
  int id;
};

const VlanNameCase kVlanNames[] = {
    {"eth1.100", true, "eth1", 100}, {"eth1.4095", true, "eth1", 4095},
    {"eth1.4096", false, "", 0},     {"eth1.007", false, "", 0},
    {"eth1", false, "", 0},          {".5", false, "", 0},
    {"eth1.5x", false, "", 0},       {"eth1.", false, "", 0},
    {"eth0.7", true, "eth0", 7},
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
