// The "velm" and "card" console groups through the real TCP console, with
// the registry's engine access talking to the velmora stand-in. Runs in the
// test's own namespaces (private /tmp and /vocal).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

#include "CardObjects.h"
#include "CardWithPeers.h"
#include "ConsoleClient.h"
#include "TestSupport.h"
#include "debug/Odebug.h"
#include "icsc/IcscObject.h"

namespace {

class ConsoleCommandsIt : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("FXS_IN_NS"), nullptr) << "must run in its own namespaces";
    ::mkdir("/vocal", 0755);
    std::remove("/vocal/velm.cfg");
    ASSERT_TRUE(m_engine.start()) << "velmora stand-in did not come up";
    m_registry = std::make_unique<CardObjects>();
    ASSERT_TRUE(m_server.start());
    ASSERT_TRUE(m_console.connect(m_server.port()));
  }
  void TearDown() override {
    // Console threads use the registry: stop them before it goes.
    m_server.stop();
    m_registry.reset();
  }

  // Output of one line; fails the test unless the console ended it "ok".
  std::string run(const std::string& line) {
    std::string result;
    std::string out = m_console.run(line, &result);
    EXPECT_EQ(result, "ok") << line << " ->\n" << out;
    return out;
  }

  testsupport::VelmoraProcess m_engine{"/tmp/velmora.sock", "/vocal/velm.cfg", "/tmp/vocallog"};
  std::unique_ptr<CardObjects> m_registry;
  Odebug::CdebugServer m_server{0};
  testsupport::ConsoleClient m_console;
};

struct LineCase {
  const char* line;
  const char* output;
};

// In order: later lines see what earlier ones set.
const LineCase kVelmLines[] = {
    {"velm get ipbx_hookflash_enable 3", "ipbx_hookflash_enable.3 == 0\n"},
    {"velm set ipbx_hookflash_enable 1 3", "ipbx_hookflash_enable.3 = 1\nSUCCESS\n"},
    {"velm get ipbx_hookflash_enable 0x3", "ipbx_hookflash_enable.3 == 1\n"},
    {"velm get ipbx_hookflash_enable 03", "ipbx_hookflash_enable.3 == 1\n"},
    {"velm get ipbx_hookflash_enable 2", "ipbx_hookflash_enable.2 == 0\n"},
    // Beyond the card's 32-bit long: capped as its strtol caps, never wrapped
    // onto index 3.
    {"velm get ipbx_hookflash_enable 4294967299", "FAILED [-22]\n"},
    {"velm set ipbx_hookflash_enable 0 4294967299",
     "ipbx_hookflash_enable.2147483647 = 0\nFAILED [-22]\n"},
    {"velm get ipbx_hookflash_enable abc", "ipbx_hookflash_enable.0 == 0\n"},
    {"velm get ipbx_interdigit_duration", "ipbx_interdigit_duration == 4000\n"},
    {"velm set ipbx_interdigit_duration 250", "ipbx_interdigit_duration = 250\nSUCCESS\n"},
    {"velm get ipbx_interdigit_duration -1 -1", "ipbx_interdigit_duration == 250\n"},
    {"velm set ipbx_speed_dial_array_ 5551234 0 2",
     "ipbx_speed_dial_array_.0.2 = 5551234\nSUCCESS\n"},
    {"velm get ipbx_speed_dial_array_ 0 2", "ipbx_speed_dial_array_.0.2 == 5551234\n"},
    {"velm get ipbx_speed_dial_array_ 0 3", "ipbx_speed_dial_array_.0.3 == \n"},
    // A negative first index hides the second one too.
    {"velm get ipbx_interdigit_duration -1 7", "FAILED [-22]\n"},
    {"velm set ipbx_hookflash_enable 1 -5", "ipbx_hookflash_enable = 1\nFAILED [-22]\n"},
    {"velm get ipbx_hookflash_enable 99", "FAILED [-22]\n"},
    {"velm get ipbx_no_such_parameter", "PARAMETER NOT EXISTING [-2]\n"},
    {"velm set ipbx_no_such_parameter 1", "ipbx_no_such_parameter = 1\nFAILED [-2]\n"},
    {"velm info", "Firmware version: velmora 2.4.1 (bench)\n"},
    {"velm info extra words", "Firmware version: velmora 2.4.1 (bench)\n"},
    {"velm commit", "Commit\nSUCCESS\n"},
    {"velm reset", "Reset\nSUCCESS\n"},
    {"velm reboot", "Reboot\nSUCCESS\n"},
};

}  // namespace

TEST_F(ConsoleCommandsIt, VelmCommandsAnswerAsAnEngineerReadsThem) {
  for (const LineCase& c : kVelmLines)
    EXPECT_EQ(run(c.line), c.output) << c.line;
}

TEST_F(ConsoleCommandsIt, VelmCommandsReportAnEngineThatIsDown) {
  m_engine.stop();
  const LineCase cases[] = {
      {"velm info", "Firmware version: ???\n"},
      {"velm get ipbx_hookflash_enable 3", "FAILED [-107]\n"},
      {"velm set ipbx_hookflash_enable 1 3", "ipbx_hookflash_enable.3 = 1\nFAILED [-107]\n"},
      {"velm commit", "Commit\nFAILED [-107]\n"},
      {"velm reset", "Reset\nFAILED [-107]\n"},
      {"velm reboot", "Reboot\nFAILED [-107]\n"},
  };
  for (const LineCase& c : cases)
    EXPECT_EQ(run(c.line), c.output) << c.line;
}

TEST_F(ConsoleCommandsIt, ArgumentCountsAreCheckedBeforeTheCommandRuns) {
  for (const char* line : {"velm get", "velm get a 1 2 3", "velm set a", "velm set a b 1 2 3",
                           "card dump", "card dump table", "card dump table 1 2 3"}) {
    std::string result;
    m_console.run(line, &result);
    EXPECT_EQ(result, "bad-argument-count") << line;
  }
}

TEST_F(ConsoleCommandsIt, HelpTexts) {
  const LineCase cases[] = {
      {"velm help info", "Command info\n------------\nPrint general info\n"},
      {"velm help get",
       "Command get\n-----------\nGet velmora parameter\n\nSyntax :\nScalars\n"
       "  get <name>\n  get <name> <provider>\n  get <name> <channel>\nTables\n"
       "  get <name> <index>\n  get <name> <provider> <index>\n  get <name> <channel> <index>\n\n"},
      {"velm help set",
       "Command set\n-----------\nSet velmora parameter\n\nSyntax :\nScalars\n"
       "  set <name> <value>\n  set <name> <value> <provider>\n  set <name> <value> <channel>\n"
       "Tables\n  set <name> <value> <index>\n  set <name> <value> <provider> <index>\n"
       "  set <name> <value> <channel> <index>\n\n"},
      {"velm help commit", "Command commit\n--------------\nCommit velmora configuration\n"},
      {"velm help reset", "Command reset\n-------------\nReset velmora\n"},
      {"velm help reboot", "Command reboot\n--------------\nReboot velmora\n"},
      {"card help dump",
       "Command dump\nDump properties\n\nSyntax:\ndump table <tableid> [row]\n"
       "dump scalar <scalarid>\n"},
  };
  for (const LineCase& c : cases)
    EXPECT_EQ(run(c.line), c.output) << c.line;
  std::string groups = run("help");
  EXPECT_NE(groups.find("  velm: info get set commit reset reboot\n"), std::string::npos) << groups;
  EXPECT_NE(groups.find("  card: dump\n"), std::string::npos) << groups;
}

namespace {

// The engineers' dump ids as docs/objects.md maps them to the objects and
// their ICSC ids: "| table 0 | `AccountTable` | 1 |".
struct DumpId {
  std::string object;
  std::string icscId;
};
std::map<std::string, DumpId> documentedDumpIds() {
  static const std::regex row(R"(^\| ((table|scalar) \d+) \| `(\w+)` \| (\d+) \|$)");
  std::map<std::string, DumpId> ids;
  std::istringstream in(testsupport::readFile(std::string(FXS_SOURCE_DIR) + "/docs/objects.md"));
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (std::regex_match(line, m, row))
      ids[m[1]] = {m[3], m[4]};
  }
  return ids;
}

// Every id of `kind` from -2 to `last`: the documented object, its dump
// headed by its name and ICSC id, or "Unknown ... id" for the others.
template <class T>
void checkDumpIds(const std::string& kind, long last, T* (*byId)(CardObjects&, long),
                  CardObjects& registry,
                  const std::function<std::string(const std::string&)>& run) {
  std::map<std::string, DumpId> docs = documentedDumpIds();
  size_t seen = 0;
  for (long id = -2; id <= last; ++id) {
    std::string key = kind + " " + std::to_string(id);
    SCOPED_TRACE(key);
    std::string out = run("card dump " + key);
    T* object = byId(registry, id);
    auto doc = docs.find(key);
    if (doc == docs.end()) {
      EXPECT_EQ(object, nullptr);
      EXPECT_EQ(out, "Unknown " + kind + " id\n");
      continue;
    }
    ++seen;
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->getName(), doc->second.object);
    // Every row, labelled, one line per property, under the object's name
    // and ICSC id.
    EXPECT_EQ(out, object->str(0, 0));
    std::string head = doc->second.object + " (" + (kind == "table" ? "Table" : "Scalar") +
                       ", ICSC object " + doc->second.icscId + ", rows ";
    EXPECT_EQ(out.rfind(head, 0), 0u) << out;
    std::string lastRow = "row " + std::to_string(object->getRowCount() - 1) + ":\n";
    EXPECT_EQ(out.find(lastRow) != std::string::npos, kind == "table") << out;
  }
  EXPECT_EQ(seen, static_cast<size_t>(
                      std::count_if(docs.begin(), docs.end(),
                                    [&](const auto& d) { return d.first.rfind(kind, 0) == 0; })))
      << "docs/objects.md names " << kind << " ids the card does not have";
}

}  // namespace

TEST_F(ConsoleCommandsIt, EveryTableIdResolvesToItsDocumentedObjectOrSaysUnknown) {
  checkDumpIds<IcscTable>("table", 60, &CardObjectsDebug::tableById, *m_registry,
                          [&](const std::string& l) { return run(l); });
}

TEST_F(ConsoleCommandsIt, EveryScalarIdResolvesToItsDocumentedObjectOrSaysUnknown) {
  checkDumpIds<IcscScalar>("scalar", 25, &CardObjectsDebug::scalarById, *m_registry,
                           [&](const std::string& l) { return run(l); });
}

TEST_F(ConsoleCommandsIt, DumpRowsAndArguments) {
  IcscTable* features = CardObjectsDebug::tableById(*m_registry, 24);
  IcscScalar* netStatus = CardObjectsDebug::scalarById(*m_registry, 18);
  ASSERT_NE(features, nullptr);
  ASSERT_NE(netStatus, nullptr);
  std::string row4 = run("card dump table 24 4");
  EXPECT_EQ(row4, features->str(4, 1));
  EXPECT_NE(row4.find("row 4:\n"), std::string::npos) << row4;
  EXPECT_EQ(row4.find("row 3:"), std::string::npos) << row4;
  // Every property of the row on a line of its own, "name = value".
  for (unsigned c = 0; c < features->getColumnCount(); ++c)
    EXPECT_NE(row4.find(std::string(features->getProp(c)->desc().name) + " = "), std::string::npos);
  EXPECT_EQ(run("card dump table 0x18 -1"), features->str(0, 0));
  EXPECT_EQ(run("card dump table 24 99"), features->str(99, 1));
  // 2^32 + 24 and 2^32 + 4 do not wrap onto table 24 and row 4.
  EXPECT_EQ(run("card dump table 4294967320"), "Unknown table id\n");
  EXPECT_EQ(run("card dump table 24 4294967300"), features->str(INT32_MAX, 1));
  EXPECT_EQ(run("card dump scalar 0x12"), netStatus->str(0, 0));
  EXPECT_EQ(run("card dump scalar 18 7"), netStatus->str(0, 0));
  EXPECT_EQ(run("card dump tables 1"),
            "Invalid parameter - Expected = (table|scalar), received = tables\n");
  EXPECT_EQ(run("card dump 24 4"),
            "Invalid parameter - Expected = (table|scalar), received = 24\n");
}
