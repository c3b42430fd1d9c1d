#include <gtest/gtest.h>

#include <cstdlib>

#include "FakeNetworkManager.h"
#include "IfcBackplane.h"
#include "TestSupport.h"

namespace {

struct SlotCase {
  int slot;
  const char* address;
  const char* mac;
};

TEST(BackplaneValues, AddressAndMacFollowTheSlot) {
  const SlotCase cases[] = {
      {1, "172.30.30.1/24", "02:a5:3c:00:50:01"},   {5, "172.30.30.5/24", "02:a5:3c:00:50:05"},
      {9, "172.30.30.9/24", "02:a5:3c:00:50:09"},   {10, "172.30.30.10/24", "02:a5:3c:00:50:10"},
      {12, "172.30.30.12/24", "02:a5:3c:00:50:12"},
  };
  for (const SlotCase& c : cases) {
    EXPECT_EQ(backplane::backplaneAddress(c.slot), c.address);
    EXPECT_EQ(backplane::backplaneMac(c.slot), c.mac);
  }
}

// Records the commands and answers false from the command numbered failAt
// (1-based; 0 = never).
struct Recorder {
  std::vector<std::string> executed;
  std::vector<std::string> systemCalls;
  unsigned failAt = 0;
  const char* ethaddr = nullptr;

  backplane::Commands commands() {
    backplane::Commands c;
    c.execute = [this](const std::string& cmd) {
      executed.push_back(cmd);
      return failAt == 0 || executed.size() < failAt;
    };
    c.runQuiet = [this](const std::string& cmd) {
      systemCalls.push_back(cmd);
      return true;
    };
    c.getenv = [this](const char* name) -> const char* {
      return std::string(name) == "ethaddr" ? ethaddr : nullptr;
    };
    return c;
  }
};

struct BringUpCase {
  const char* name;
  const char* ethaddr;
  unsigned failAt;
  const char* eth1Detail;  // what update_interface of eth1 was given
  const char* eth1Log;
  unsigned commandsRun;
  bool marker;
};

const BringUpCase kBringUpCases[] = {
    {"no_env_mac", nullptr, 0, "up", "added eth1 data channel succes with mac default Ti", 11,
     true},
    {"env_none", "None", 0, "up", "added eth1 data channel succes with mac default Ti", 11, true},
    {"env_mac", "02:11:22:33:44:55", 0, "mac 02:11:22:33:44:55 up",
     "added eth1 data channel succes with mac 02:11:22:33:44:55", 11, true},
    {"first_command_fails", nullptr, 1, "up", "default Ti", 1, false},
    {"route_exists_at_7", nullptr, 7, "up", "default Ti", 7, false},
    {"last_command_fails", nullptr, 11, "up", "default Ti", 11, false},
};

class BringUp : public ::testing::TestWithParam<BringUpCase> {};

TEST_P(BringUp, InterfacesRulesAndMarker) {
  const BringUpCase& c = GetParam();
  testsupport::LogCapture log;
  FakeNetworkManager nm;
  Recorder rec;
  rec.ethaddr = c.ethaddr;
  rec.failAt = c.failAt;

  EXPECT_EQ(backplane::bringUp(5, nm, rec.commands()), c.marker);

  ASSERT_EQ(nm.calls.size(), 2u);
  EXPECT_EQ(nm.calls[0].name, "eth0");
  EXPECT_EQ(nm.calls[0].detail, "172.30.30.5/24 mac 02:a5:3c:00:50:05 up");
  EXPECT_FALSE(nm.calls[0].remove);
  EXPECT_EQ(nm.calls[1].name, "eth1");
  EXPECT_EQ(nm.calls[1].detail, c.eth1Detail);
  EXPECT_TRUE(log.contains("setting ip of backplane to 172.30.30.5/24"));
  EXPECT_TRUE(log.contains(c.eth1Log));

  ASSERT_EQ(rec.executed.size(), c.commandsRun);
  for (unsigned i = 0; i < c.commandsRun; ++i)
    EXPECT_EQ(rec.executed[i], backplane::kIpRuleCommands[i]);
  if (c.marker) {
    EXPECT_EQ(rec.systemCalls, std::vector<std::string>{"touch /tmp/card_up_and_running"});
    EXPECT_TRUE(log.contains("notifying healthmonitor card is up and running"));
  } else {
    EXPECT_TRUE(rec.systemCalls.empty());
    EXPECT_TRUE(log.contains("failed to set up ip rules and routes, card may be unreachable!"));
  }
}

INSTANTIATE_NAMED(Backplane, BringUp, kBringUpCases);

TEST(BringUpFailures, Eth1FailureIsLoggedAndRulesStillRunEth0FailureIsSilent) {
  testsupport::LogCapture log;
  FakeNetworkManager nm;
  nm.failingNames = {"eth0", "eth1"};
  Recorder rec;
  EXPECT_TRUE(backplane::bringUp(1, nm, rec.commands()));
  EXPECT_EQ(log.count("added eth1 data channel failed"), 1u);
  EXPECT_FALSE(log.contains("eth0"));
  EXPECT_EQ(rec.executed.size(), backplane::kIpRuleCommandCount);
  EXPECT_EQ(rec.systemCalls.size(), 1u);
}

}  // namespace
