// What the card accepts as an FTP server is what the URL of a transfer can
// carry; the URL itself never holds the credentials.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "common/FtpTarget.h"

namespace {

struct HostCase {
  const char* name;
  std::string host;
  bool valid;
};

const HostCase kHosts[] = {
    {"ipv4", "172.30.20.10", true},
    {"host_name", "ftp-1.chassis.example", true},
    {"single_label", "chassis", true},
    {"ipv6_in_brackets", "[2001:db8::7]", true},
    {"host_and_port", "172.30.20.10:2121", false},
    {"bare_ipv6", "2001:db8::7", false},
    {"bare_ipv6_loopback", "::1", false},
    {"brackets_around_no_address", "[chassis]", false},
    {"numbers_that_are_no_ipv4", "300.1.1.1", false},
    {"url", "ftp://chassis", false},
    {"user_at_host", "chassis@host", false},
    {"empty_label", "a..b", false},
    {"trailing_dot", "chassis.", false},
    {"label_starts_with_hyphen", "-chassis", false},
    {"label_too_long", std::string(64, 'a') + ".example", false},
    {"blank", "chassis example", false},
    {"empty", "", false},
};

class FtpHost : public ::testing::TestWithParam<HostCase> {};

TEST_P(FtpHost, IsValidOnlyWhenAUrlCanCarryIt) {
  EXPECT_EQ(ftp::validHost(GetParam().host), GetParam().valid) << GetParam().host;
}

INSTANTIATE_NAMED(FtpTarget, FtpHost, kHosts);

// The URL is logged: no credentials in it, and the directory is relative to
// the login's home whatever slashes the chassis wrote around it.
TEST(FtpTarget, UrlHasNoCredentials) {
  ftp::Target t{"192.0.2.7", 21, "chassis", "secret", "/cards/slot3//"};
  EXPECT_EQ(ftp::url(t, "a.tar.gz"), "ftp://192.0.2.7:21/cards/slot3/a.tar.gz");
  t.directory = "/";
  t.host = "[2001:db8::7]";
  EXPECT_EQ(ftp::url(t, "a.tar.gz"), "ftp://[2001:db8::7]:21/a.tar.gz");
}

}  // namespace
