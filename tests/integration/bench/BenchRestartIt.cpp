// A restart of the card on the bench is a reboot, whatever caused it
// (./dev bench restart, the chassis's "Reboot", a crash of main): the card
// and its peers start again in fresh namespaces, so every boot has the
// kernel state, files and queues of a first start; only /flash is kept.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "ChildProcess.h"
#include "DevBench.h"
#include "TestSupport.h"

namespace {

using testsupport::DevBench;
using testsupport::waitFor;

// What a boot may not inherit from the one before: policy rules, routes,
// firewall, rt_tables.
const char kKernelState[] =
    "ip rule; ip route show table all; iptables -S; cat /etc/iproute2/rt_tables";

std::string boot(const DevBench& b) {
  return testsupport::readFile(b.benchDir() + "/boot");
}

TEST(BenchRestart, EveryRestartIsAFreshBootThatComesBackActive) {
  if (!testsupport::execPrefix().empty())
    GTEST_SKIP() << "the bench runs this host's build, not an emulated one";
  DevBench bench("restart");
  std::string out = bench.run("./dev bench start");
  ASSERT_NE(out.find("bench: card ACTIVE"), std::string::npos) << out;
  const std::string first = bench.inCard(kKernelState);
  ASSERT_NE(first.find("lookup rt_mgmt"), std::string::npos) << first;

  struct Restart {
    const char* name;
    const char* command;
  };
  const Restart kRestarts[] = {
      {"bench restart", "./dev bench restart"},
      {"Reboot over ICSC", "./dev icsc set common control reboot 1"},
      {"crash of main", "kill -KILL \"$(cat \"$FXS_BENCH_DIR/main.pid\")\""},
  };
  int boots = 1;
  for (const Restart& r : kRestarts) {
    SCOPED_TRACE(r.name);
    // What this boot leaves: a provider's firewall openings, a file in /tmp
    // and one in /flash, a queue.
    out = bench.run(
        "./dev icsc set AccountTable providerEnable 0 1 && "
        "./dev icsc set AccountTable registerDomainName 0 10.20.30.40:5060");
    ASSERT_NE(bench.inCard("iptables -S").find("10.20.30.40"), std::string::npos) << out;
    bench.inCard("touch /tmp/left /flash/kept && : >/dev/mqueue/left");

    int st = -1;
    out = bench.run(r.command, &st);
    ASSERT_EQ(st, 0) << out;
    ++boots;
    std::string state;
    EXPECT_TRUE(waitFor(
        [&] {
          state = bench.run("./dev icsc get common card-state state-name", nullptr, 10);
          return boot(bench) == "up " + std::to_string(boots) + "\n" && state == "ACTIVE\n";
        },
        std::chrono::seconds(60)))
        << "boot " << boot(bench) << ", state " << state;
    EXPECT_EQ(bench.inCard(kKernelState), first);
    EXPECT_EQ(bench.inCard("ls /flash/kept /tmp/left /dev/mqueue/left 2>/dev/null"),
              "/flash/kept\n");
  }
  std::string log = testsupport::readFile(bench.benchDir() + "/main.log");
  EXPECT_EQ(log.find("card may be unreachable!"), std::string::npos) << log;
  EXPECT_EQ(testsupport::countOf(testsupport::readFile(bench.benchDir() + "/card.log"), ": boot "),
            4u);
}

}  // namespace
