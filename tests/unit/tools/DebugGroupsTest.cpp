// The console groups without a registry behind them: every command says so
// instead of touching anything.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "CardObjectsDebug.h"
#include "VelmDebug.h"

namespace {

std::string runOn(Odebug::Cdebugable& group, std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& w : words)
    argv.push_back(w.data());
  std::ostringstream os;
  EXPECT_EQ(group.dbgRun(static_cast<unsigned>(argv.size()), argv.data(), os), Odebug::Result::OK);
  return os.str();
}

}  // namespace

TEST(DebugGroupsWithoutRegistry, VelmCommandsReportTheMissingEngine) {
  VelmDebug velm(nullptr);
  const std::vector<std::vector<std::string>> lines = {
      {"info"},   {"get", "ipbx_hookflash_enable", "3"}, {"set", "a", "1"}, {"commit"}, {"reset"},
      {"reboot"},
  };
  for (const auto& line : lines)
    EXPECT_EQ(runOn(velm, line), "ERROR: No velmora object found\n") << line[0];
}

TEST(DebugGroupsWithoutRegistry, DumpChecksTheKindBeforeTheRegistry) {
  CardObjectsDebug card(nullptr);
  EXPECT_EQ(runOn(card, {"dump", "table", "4"}), "CardObjects object not allocated\n");
  EXPECT_EQ(runOn(card, {"dump", "scalar", "0", "1"}), "CardObjects object not allocated\n");
  EXPECT_EQ(runOn(card, {"dump", "row", "4"}),
            "Invalid parameter - Expected = (table|scalar), received = row\n");
}
