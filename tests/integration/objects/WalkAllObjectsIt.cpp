// Every registered object walked through the chassis controller's client
// (icscctl -> front end -> main -> velmora stand-in), with the real
// processes inside this test's namespaces.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "CardWithPeers.h"
#include "icsc/IcscDescriptions.h"
#include "velm/Velm_util.h"

namespace {

testsupport::ToolResult icscctl(const std::vector<std::string>& args) {
  return testsupport::runTool("icscctl", args);
}

class WalkAll : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_card.start()); }

  testsupport::CardWithPeers m_card;
  Velm_util m_velm;
};

TEST_F(WalkAll, EveryCellOfEveryObjectAnswers) {
  const std::regex served(R"(^row (\d+) (\w+) = .*$)");
  size_t cells = 0;
  for (size_t i = 0; i < icscdesc::count(); ++i) {
    const IcscObjectDesc& d = *icscdesc::all()[i];
    testsupport::ToolResult r = icscctl({"walk", d.name});
    EXPECT_EQ(r.status, 0) << d.name << "\n" << r.out;
    size_t ok = 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
      if (std::regex_match(line, served))
        ++ok;
      else
        ADD_FAILURE() << d.name << ": " << line;
    }
    // String values may hold a newline; a short count still shows a gap.
    EXPECT_EQ(ok, static_cast<size_t>(d.rows) * d.columnCount) << d.name;
    cells += ok;
  }
  EXPECT_GT(cells, 5000u);
}

TEST_F(WalkAll, WritesAndReadsReachTheEngineWithTheirIndexes) {
  auto r = icscctl({"set", "SubscriptionServiceSettingsTable", "22", "3", "1"});
  EXPECT_EQ(r.status, 0) << r.out;
  std::string v;
  ASSERT_EQ(m_velm.get("ipbx_three_way_calling_service", v, 3, -1), 0);
  EXPECT_EQ(v, "1");

  ASSERT_EQ(m_velm.set("ipbx_fc_do_not_disturb_enable", "072", 4, -1), 0);
  r = icscctl({"get", "FeaturesCodesTable", "22", "4"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out, "58\n");

  ASSERT_EQ(m_velm.set("group_line_enable", "0", 3, 4), 0);
  ASSERT_EQ(m_velm.set("group_line_enable", "1", 3, 5), 0);
  EXPECT_EQ(icscctl({"get", "AccountTable", "12", "3"}).out, "false\n");
  EXPECT_EQ(icscctl({"get", "AccountTable", "13", "3"}).out, "true\n");

  r = icscctl({"set", "SpeedDialsTable", "39", "7", "*72 555#"});
  EXPECT_EQ(r.status, 0) << r.out;
  ASSERT_EQ(m_velm.get("ipbx_speed_dial_array_", v, 7, 39), 0);
  EXPECT_EQ(v, "*72 555#");
}

TEST_F(WalkAll, StatusTablesRefuseWrites) {
  std::string before;
  ASSERT_EQ(m_velm.get("g729_active", before, 2, -1), 0);
  const std::vector<std::string> writes[] = {
      {"set", "AccountStatusTable", "0", "0", "1"},
      {"set", "IncomingCallHistoryStatusTable", "1", "2", "1"}};
  for (const auto& w : writes) {
    auto r = icscctl(w);
    EXPECT_NE(r.status, 0) << w[1];
    EXPECT_NE(r.out.find("refused"), std::string::npos) << r.out;
  }
  std::string after;
  ASSERT_EQ(m_velm.get("g729_active", after, 2, -1), 0);
  EXPECT_EQ(after, before);
}

}  // namespace
