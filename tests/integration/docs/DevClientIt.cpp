// ./dev icsc as an engineer meets it: one exit status scheme for every
// command (bench down, card refusing, card paused, bad usage), errors that
// say what is allowed, the output forms; the shell completion; and the
// capture of the chassis-card traffic decoded by the dissector.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "DevBench.h"
#include "TestSupport.h"

namespace {

using testsupport::DevBench;

struct DevCase {
  const char* line;
  int status;
  const char* holds;  // text the output (stdout and stderr) holds
};

void runCases(const DevBench& bench, const std::vector<DevCase>& cases) {
  for (const DevCase& c : cases) {
    int st = -1;
    std::string out = bench.run(c.line, &st, 60);
    EXPECT_EQ(st, c.status) << c.line << "\n" << out;
    EXPECT_NE(out.find(c.holds), std::string::npos) << c.line << "\n" << out;
  }
}

// Each malformed another way: shorter than a header, a cell cut short, a
// value longer than its type, an unknown type, bytes after the last cell.
const char* const kMalformed[] = {
    "\\001",
    "\\001\\001\\000\\003\\000\\000\\000\\115\\200",
    "\\001\\002\\000\\001\\000\\000\\000\\001\\253\\000\\000\\000\\001\\000\\000\\002\\000\\001",
    "\\001\\001\\000\\001\\000\\000\\000\\002\\253\\000\\000\\000\\077\\000\\000\\000",
    "\\001\\001\\000\\000\\000\\000\\000\\003\\377",
};
// What the dissector must say of the captured traffic.
const char* const kDecoded[] = {
    "Cell 1: TimersScalar row 0 ipbxBriefPauseDuration = 2000",
    "Cell 24: TimersScalar row 0 ipbxAnswerHangupDelay = ",
    "Cell 1: SystemStatusScalar row 0 g729Channels = 5",
    "Cell 1: SystemStatusScalar row 0 g729Channels [READ_ONLY]",
    "Status: READ_ONLY (read only) (5)",
    "Cell 1: common temperature instance 4 temp-name = \"local\"",
    "Expert Info (Error/Malformed): shorter than the 8-byte header",
    "Malformed): cell 1 header runs past the end",
    "Malformed): cell 1 value length 2 does not fit u8",
    "Malformed): cell 1 has unknown value type 63",
    "Malformed): 1 bytes after the last cell",
};

// One bench serves the whole scheme; the card's traffic meanwhile is
// captured and decoded.
TEST(DevIcsc, EveryCommandExitsByOneSchemeSaysWhatIsAllowedAndDecodesInACapture) {
  if (!testsupport::execPrefix().empty())
    GTEST_SKIP() << "./dev runs this host's build, not an emulated one";
  DevBench bench("icsc");
  const std::string& dir = bench.dir();
  std::string bad = dir + "/m1";
  std::string send;
  for (size_t i = 0; i < std::size(kMalformed); ++i) {
    std::string file = testsupport::shellQuoted(dir + "/m" + std::to_string(i));
    bench.run("printf '" + std::string(kMalformed[i]) + "' >" + file);
    send += "./dev icsc raw " + file + " >/dev/null 2>&1; ";
  }
  std::string raw = "./dev icsc raw " + bad;
  // The bench is down: usage errors first, then "no answer" for whatever
  // needs the card; the descriptions are at hand without it.
  runCases(bench, {{"./dev icsc get TimersScalar 3", 2, "no answer: the bench is not running"},
                   {"./dev icsc set TimersScalar 3 0 5", 2, "./dev bench start"},
                   {"./dev icsc walk common temperature", 2, "no answer"},
                   {"./dev icsc event 1 0", 2, "no answer"},
                   {raw.c_str(), 2, "no answer"},
                   {"./dev icsc objects", 0, "card-state"},
                   {"./dev icsc columns TimersScalar", 0, "ipbxInterdigitDuration"},
                   {"./dev icsc frob", 3, "unknown icsc command 'frob'"},
                   {"./dev icsc", 3, "no icsc command"},
                   {"./dev icsc get TimerScalar 3", 3, "closest: TimersScalar"},
                   {"./dev icsc walk --format xml", 3, "text, table, json or csv"}});
  ASSERT_NE(bench.run("./dev bench start").find("bench: card ACTIVE"), std::string::npos);

  // Captured until Ctrl-C, as from a terminal: its own process group.
  std::string pcap = dir + "/c.pcap", log = dir + "/capture.log";
  int st = -1;
  bench.run("(setsid ./dev bench capture -o " + pcap + " >" + log + " 2>&1 & echo $! >" + dir +
                "/capture.pid); for i in $(seq 600); do grep -q capturing " + log +
                " && exit 0; sleep 0.2; done; exit 1",
            &st, 180);
  ASSERT_EQ(st, 0) << testsupport::readFile(log);
  runCases(bench,
           {{"./dev icsc get timersscalar IPBXINTERDIGITDURATION", 0, "4000"},
            {"./dev icsc set SystemStatusScalar 1 0 5", 1,
             "refused by the card: READ_ONLY (5, read only); g729Channels is read-only"},
            {"./dev icsc get TimersScalar 3 5", 1,
             "ROW_OUT_OF_RANGE (3, row out of range); "
             "TimersScalar has only row 0"},
            {"./dev icsc set common control bpclkref 7", 1, "bpclkref takes 0, 1, 2, 3 or 128"},
            {"./dev icsc set common control bpclkref 3", 1,
             "NOT_SERVED (6, not served); the card's log says why: ./dev bench logs main"},
            {"./dev icsc set common control guid abc", 1, "guid takes exactly 36 bytes"},
            {raw.c_str(), 1, "status 7 (MALFORMED"},
            {"./dev icsc set TimersScalar 3 0 70000", 3,
             "not a u16 value for ipbxInterdigitDuration "
             "(0-65535)"},
            {"./dev icsc get TimersScalar interdigit", 3,
             "closest: ipbxInterdigitDuration; "
             "TimersScalar has columns 0-23"},
            {"./dev icsc event 1 11", 3, "columns 0-10"},
            {"./dev icsc walk --format table AccountStatusTable", 0,
             "row  registrationState  registrationFailureCode"},
            {"./dev icsc walk --format table common temperature", 0, "\n4         local      42 "},
            {"./dev icsc walk --format csv common card-state", 0,
             "oid,object,column,row,type,value,status\r\n"}});
  std::string json = bench.run("./dev icsc walk --format json TimersScalar 2>/dev/null");
  nlohmann::json cells = nlohmann::json::parse(json, nullptr, false);
  ASSERT_TRUE(cells.is_array()) << json;
  EXPECT_EQ(cells.size(), 24u);
  EXPECT_EQ(cells[3]["column"], "ipbxInterdigitDuration");
  EXPECT_EQ(cells[3]["value"], 4000);
  // A well-formed exchange after them, so the last malformed datagram is
  // not the last thing the capture sees.
  bench.run(send + "./dev icsc get TimersScalar 3 >/dev/null 2>&1");
  // dumpcap reads the kernel's packets in blocks handed over every 250 ms
  // and drops an unread block when the Ctrl-C reaches it directly.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));

  bench.run("kill -INT -- -$(cat " + dir + "/capture.pid)");
  ASSERT_TRUE(testsupport::waitFor(
      [&] { return testsupport::readFile(log).find("captured") != std::string::npos; },
      std::chrono::seconds(30)))
      << testsupport::readFile(log);
  std::string decoded = bench.run("./dev bench capture --decode " + pcap, &st, 120);
  EXPECT_EQ(st, 0) << decoded;
  for (const char* want : kDecoded)
    EXPECT_NE(decoded.find(want), std::string::npos) << want << "\n" << decoded;
  EXPECT_EQ(decoded.find("Lua Error"), std::string::npos) << decoded;

  // A card that does not answer: paused, its front end still up.
  pid_t main = std::stoi(testsupport::readFile(dir + "/bench/main.pid"));
  ASSERT_EQ(::kill(main, SIGSTOP), 0);
  runCases(bench, {{"./dev icsc get TimersScalar 3", 2, "no answer from 127.0.0.1:5000"},
                   {"./dev icsc walk TimersScalar", 2, "no answer"}});
  ::kill(main, SIGCONT);
}

std::vector<std::string> sortedWords(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
  std::sort(words.begin(), words.end());
  return words;
}

TEST(DevCompletion, OffersSubcommandsOptionsObjectsColumnsAndRecords) {
  if (!testsupport::execPrefix().empty())
    GTEST_SKIP() << "./dev runs this host's build, not an emulated one";
  DevBench bench("completion");
  struct Case {
    const char* line;  // what is typed; a trailing blank starts a new word
    const char* offered;
  };
  const Case kCases[] = {
      {"./dev te", "test"},
      {"./dev test --", "--arch --sanitize --verbose --vm --help"},
      {"./dev help bench", "bench bench-perf bench-walk"},
      {"./dev bench c", "collect-logs capture"},
      {"./dev icsc ", "get set walk columns event objects raw"},
      {"./dev icsc get Timers", "TimersScalar"},
      {"./dev icsc get TimersScalar ipbxInterd", "ipbxInterdigitDuration"},
      {"./dev icsc set TimersScalar 2", "2 20 21 22 23"},
      {"./dev icsc --vm walk --format ", "text table json csv"},
      {"./dev icsc walk --cells 4 Speed", "SpeedDialsTable"},
      {"./dev icsc get common temp", "temperature"},
      {"./dev icsc get common temperature temp-va", "temp-value temp-valid"},
      {"./dev icsc columns co", ""},
  };
  // One shell loads it as the documentation says, then completes each line.
  std::string script = "source <(./dev completion) || exit 1; ";
  for (const Case& c : kCases) {
    std::string line = c.line;
    script += "COMP_WORDS=(" + line + (line.back() == ' ' ? "''" : "") +
              "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _fxs_dev; echo \"${COMPREPLY[*]}\"; ";
  }
  int st = -1;
  std::istringstream out(bench.run(script, &st, 60));
  EXPECT_EQ(st, 0);
  for (const Case& c : kCases) {
    std::string offered;
    std::getline(out, offered);
    EXPECT_EQ(sortedWords(offered), sortedWords(c.offered)) << "'" << c.line << "'";
  }
}

}  // namespace
