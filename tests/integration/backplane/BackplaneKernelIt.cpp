// The bring-up against the kernel: eth0 and eth1 are veth ends in the
// test's own namespace, vconfig is the bench stand-in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "IfcBackplane.h"
#include "TestSupport.h"
#include "process/executeCommand.h"

namespace {

std::string run(const std::string& command) {
  std::string out;
  otn::executeCommand(command, true, &out, nullptr, true);
  return out;
}

using testsupport::countOf;

TEST(BackplaneKernel, AddressesPolicyRoutingAndMarker) {
  testsupport::LogCapture log;
  std::string path = std::string(FXS_BIN_DIR) + ":" + std::getenv("PATH");
  setenv("PATH", path.c_str(), 1);
  setenv("ethaddr", "02:11:22:33:44:55", 1);
  ASSERT_TRUE(
      otn::executeCommand("ip link add eth0 type veth peer name bp0 && "
                          "ip link add eth1 type veth peer name dc0 && "
                          "ip link set bp0 up && ip link set dc0 up",
                          true, nullptr, nullptr, true));
  NetworkManagerInterface nm;
  EXPECT_TRUE(backplane::bringUp(3, nm, backplane::realCommands()));
  unsetenv("ethaddr");

  // Addresses, rules and routes in detail: CardNetworkBench, through the
  // card process. Here: the MAC from the boot environment and the re-run.
  EXPECT_NE(run("ip -o link show dev eth1").find("02:11:22:33:44:55"), std::string::npos);
  EXPECT_EQ(countOf(run("ip rule show"), "lookup rt_mgmt"), 6u);
  EXPECT_TRUE(testsupport::exists("/tmp/card_up_and_running"));

  // A second run finds its routes in place: command 7 fails, nothing after
  // it runs and the failure is reported.
  ASSERT_EQ(unlink("/tmp/card_up_and_running"), 0);
  EXPECT_FALSE(backplane::bringUp(3, nm, backplane::realCommands()));
  EXPECT_TRUE(log.contains("failed to set up ip rules and routes, card may be unreachable!"));
  EXPECT_FALSE(testsupport::exists("/tmp/card_up_and_running"));
}

}  // namespace
