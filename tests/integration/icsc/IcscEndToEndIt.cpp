// UDP request -> front end -> "/queueToMain" -> main -> velmora stand-in and
// back, with the real processes inside this test's namespaces; and every
// registered object walked through the chassis controller's client icscctl.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "CardWithPeers.h"
#include "TestSupport.h"
#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"
#include "velm/Velm_util.h"

using namespace icscwire;
using testsupport::cellOf;

namespace {

using Client = testsupport::IcscClient;
constexpr uint32_t kTimers = testsupport::kTimersObject, kSystemStatus = 33;

testsupport::ToolResult icscctl(const std::vector<std::string>& args) {
  return testsupport::runTool("icscctl", args);
}

class IcscEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_card.start()); }

  testsupport::CardWithPeers m_card;
  Velm_util m_velm;
};

TEST_F(IcscEndToEnd, WriteReachesTheEngineAndReadConverts) {
  Client c;
  ICSCTlv r = c.call(SET, cellOf(icscoid::object(kTimers, 3, 0), IcscType::U16, 250));
  EXPECT_EQ(r.status, OK);
  std::string v;
  ASSERT_EQ(m_velm.get("ipbx_interdigit_duration", v, -1, -1), 0);
  EXPECT_EQ(v, "250");

  // The engine's text converted to the wire type (the codec's cases: unit tests).
  ASSERT_EQ(m_velm.set("ipbx_interdigit_duration", "70000", -1, -1), 0);
  r = c.call(GET, cellOf(icscoid::object(kTimers, 3, 0)));
  EXPECT_EQ(r.status, OK);
  EXPECT_EQ(r.num, 4464);
}

TEST_F(IcscEndToEnd, RefusalsSayWhy) {
  Client c;
  EXPECT_EQ(c.call(SET, cellOf(icscoid::object(kSystemStatus, 1, 0), IcscType::U16, 3)).status,
            READ_ONLY);
  EXPECT_EQ(c.call(GET, cellOf(icscoid::object(kTimers, 0, 1))).status, ROW_OUT_OF_RANGE);
  EXPECT_EQ(c.call(GET, cellOf(icscoid::object(kTimers, 30, 0))).status, NO_SUCH_COLUMN);
  EXPECT_EQ(c.call(GET, cellOf(icscoid::event(1, 11, 0))).status, NOT_SERVED);
  ICSCTlv temp = c.call(GET, cellOf(icscoid::event(1, 7, 0)));
  EXPECT_EQ(temp.status, OK);
  EXPECT_EQ(temp.type, IcscType::BOOL);
  EXPECT_EQ(temp.num, 1) << "alarm while no temperature report arrived";
}

TEST_F(IcscEndToEnd, GarbageIsRejectedAndTheCardKeepsServing) {
  Client c;
  c.sendRaw({0xde, 0xad});
  c.sendRaw({1, GET, 0, 3, 0, 0, 0, 77, 0x80});  // truncated cell
  Header h;
  std::vector<ICSCTlv> cells;
  ASSERT_TRUE(c.receive(h, cells));
  EXPECT_EQ(h.requestId, 77u);
  EXPECT_EQ(h.status, MALFORMED);
  EXPECT_EQ(c.call(GET, cellOf(icscoid::object(kTimers, 0, 0))).status, OK);
}

// A string value is stored whole or not at all: the engine takes text up
// to a NUL, so a value holding one is refused instead of being cut.
TEST_F(IcscEndToEnd, StringsAreStoredWholeOrRefusedAsMalformed) {
  const IcscObjectDesc* account = icscdesc::findByName("AccountTable");
  ASSERT_NE(account, nullptr);
  const IcscColumnDesc* column = icscdesc::findColumn(*account, "displayName");
  ASSERT_NE(column, nullptr);
  const uint32_t oid = icscoid::object(account->id, column->column, 2);
  std::string everyByte;
  for (int b = 1; b < 256; ++b)
    everyByte += static_cast<char>(b);
  struct Case {
    const char* name;
    std::string value;
    uint8_t want;
  };
  const Case kCases[] = {
      {"every_byte_but_nul", everyByte, OK},
      {"line_breaks", "a\nb\r\n", OK},
      {"empty", "", OK},
      {"nul_inside", std::string("ab\0cd", 5), MALFORMED},
      {"nul_last", std::string("abc\0", 4), MALFORMED},
      {"nul_only", std::string(1, '\0'), MALFORMED},
  };
  Client c;
  std::string stored = "before";
  ICSCTlv set = cellOf(oid);
  set.setString(stored);
  ASSERT_EQ(c.call(SET, set).status, OK);
  for (const Case& k : kCases) {
    set.setString(k.value);
    EXPECT_EQ(c.call(SET, set).status, k.want) << k.name;
    if (k.want == OK)
      stored = k.value;
    ICSCTlv got = c.call(GET, cellOf(oid));
    EXPECT_EQ(got.status, OK) << k.name;
    EXPECT_EQ(got.str, stored) << k.name;
  }
  // The common records take the same rule.
  ICSCTlv server =
      cellOf(icscoid::common(commonStatCtrl::CO_LOG_TRANSFER, commonrec::LOG_SERVER, 0));
  server.setString(std::string("ftp\0.example", 12));
  EXPECT_EQ(c.call(SET, server).status, MALFORMED);
  EXPECT_EQ(testsupport::countOf(m_card.main.log(), "holds a NUL byte"), 4u) << m_card.main.log();
}

TEST_F(IcscEndToEnd, AnswersFindTheirClientsWithSeveralOutstanding) {
  // Three clients use the same request ids, each reading its own column.
  constexpr int kClients = 3, kEach = 4;
  const char* params[kClients] = {"ipbx_brief_pause_duration", "ipbx_initial_dial_duration",
                                  "ipbx_warm_line_duration"};
  Client clients[kClients];
  for (int i = 0; i < kClients; ++i)
    ASSERT_EQ(m_velm.set(params[i], std::to_string(100 + i).c_str(), -1, -1), 0);
  for (int n = 0; n < kEach; ++n) {
    for (int i = 0; i < kClients; ++i)
      clients[i].send(GET, 500 + n, cellOf(icscoid::object(kTimers, i, 0)));
  }
  for (int i = 0; i < kClients; ++i) {
    std::vector<uint32_t> ids;
    for (int n = 0; n < kEach; ++n) {
      Header h;
      std::vector<ICSCTlv> cells;
      ASSERT_TRUE(clients[i].receive(h, cells)) << "client " << i;
      ASSERT_EQ(cells.size(), 1u);
      EXPECT_EQ(cells[0].oid, icscoid::object(kTimers, i, 0));
      EXPECT_EQ(cells[0].num, 100 + i);
      ids.push_back(h.requestId);
    }
    EXPECT_EQ(ids, (std::vector<uint32_t>{500, 501, 502, 503}));
  }
}

TEST_F(IcscEndToEnd, CommandLineClientExitsByOutcome) {
  EXPECT_EQ(icscctl({"set", "OtherScalar", "ipbxHookDebounce", "0", "77"}).status, 0);
  std::string v;
  ASSERT_EQ(m_velm.get("ipbx_hook_debounce", v, -1, -1), 0);
  EXPECT_EQ(v, "77");
  EXPECT_EQ(icscctl({"set", "SystemStatusScalar", "1", "0", "5"}).status, 1);
  EXPECT_EQ(icscctl({"get", "NoSuchScalar", "1"}).status, 3);
  EXPECT_EQ(icscctl({"--port", "5999", "--timeout", "300", "get", "TimersScalar", "0"}).status, 2);
}

class WalkAll : public IcscEndToEnd {};

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

}  // namespace
