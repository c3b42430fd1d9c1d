// Every ./dev command that README.md and docs/ show must work as written.
// Each file's commands run in their order against a bench of the test's own
// (state under the build tree, binaries of this build): lines of code
// blocks and inline `./dev ...` spans alike. A trailing "# prints: TEXT"
// says what the output must hold. Synopses (placeholders such as MAC, [..],
// a|b, ...) are checked against the subcommand's --help; commands that
// build or run for minutes, the virtual machine's among them (./dev vm,
// --vm; ./dev test --vm runs those for real), only check their arguments
// (FXS_DEV_CHECK_ONLY).
// The help conventions of ./dev are checked here too.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "DevBench.h"
#include "TestSupport.h"

namespace {

using testsupport::Clock;
using testsupport::readFile;
using testsupport::runShell;
using testsupport::shellQuoted;
using testsupport::waitFor;

// The line a bench start ends with once the card came up (ACTIVE, FAIL or
// still in its self tests).
bool saysUp(const std::string& out) {
  return out.find("bench: card ACTIVE") != std::string::npos ||
         out.find("bench: card up (state ") != std::string::npos ||
         out.find("bench: card in state ") != std::string::npos;
}

const std::string kRoot = FXS_SOURCE_DIR;

struct DocCommand {
  std::string where;  // file:line
  std::string text;   // as written, without its comment
  std::string prints;
  bool synopsis = false;
};

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;)
    out.push_back(w);
  return out;
}

// The words after "./dev" (environment assignments before it skipped).
std::vector<std::string> devArgs(const std::string& text) {
  std::vector<std::string> w = words(text);
  auto dev = std::find(w.begin(), w.end(), "./dev");
  return dev == w.end() ? std::vector<std::string>{} : std::vector<std::string>(dev + 1, w.end());
}

bool isSynopsis(const std::string& line) {
  // Quoted words and a pipe into another program (" | jq ...") hold no
  // placeholders.
  static const std::regex quoted(R"('[^']*'|"[^"]*")"), pipeline(R"(\s\|\s+[a-z].*$)");
  static const std::regex placeholder(R"((^|\s)[A-Z][A-Z0-9_]*(\s|$))");
  std::string text = std::regex_replace(std::regex_replace(line, quoted, "''"), pipeline, "");
  return text.find_first_of("[|") != std::string::npos || text.find("...") != std::string::npos ||
         std::regex_search(text, placeholder);
}

// Cuts a comment (# outside quotes, after a blank) off a command line.
void splitComment(std::string& line, std::string& comment) {
  char quote = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quote != 0) {
      quote = c == quote ? '\0' : quote;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '#' && i > 0 && std::isspace(static_cast<unsigned char>(line[i - 1]))) {
      comment = line.substr(i + 1);
      line.erase(i);
      break;
    }
  }
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
    line.pop_back();
}

std::vector<DocCommand> commandsOf(const std::string& rel) {
  // Environment settings may come first: NAME=value, NAME='a b'.
  static const std::regex codeCommand(
      R"(^\s*(([A-Z_][A-Z0-9_]*=('[^']*'|"[^"]*"|\S+)\s+)*\./dev(\s.*)?)$)");
  static const std::regex inlineSpan(R"(`(([A-Z_][A-Z0-9_]*=('[^']*'|\S+)\s+)*\./dev[^`]*)`)");
  std::vector<DocCommand> out;
  std::istringstream in(readFile(kRoot + "/" + rel));
  bool fenced = false;
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    ++n;
    std::string where = rel + ":" + std::to_string(n);
    if (line.rfind("```", 0) == 0) {
      fenced = !fenced;
      continue;
    }
    std::smatch m;
    if (fenced || line.rfind("    ", 0) == 0) {
      if (!std::regex_match(line, m, codeCommand))
        continue;
      DocCommand c{where, m[1], "", false};
      std::string comment;
      splitComment(c.text, comment);
      size_t at = comment.find("prints:");
      if (at != std::string::npos)
        c.prints = comment.substr(at + 7 + (comment.size() > at + 7 && comment[at + 7] == ' '));
      c.synopsis = isSynopsis(c.text);
      out.push_back(c);
      continue;
    }
    for (auto it = std::sregex_iterator(line.begin(), line.end(), inlineSpan);
         it != std::sregex_iterator(); ++it)
      out.push_back({where, (*it)[1], "", isSynopsis((*it)[1])});
  }
  return out;
}

std::vector<std::string> docFiles() {
  std::vector<std::string> files{"README.md"};
  for (const auto& e : std::filesystem::directory_iterator(kRoot + "/docs"))
    if (e.path().extension() == ".md")
      files.push_back("docs/" + e.path().filename().string());
  std::sort(files.begin() + 1, files.end());
  return files;
}

// One bench per documentation file, and ./dev bench in the foreground.
class DocBench : public testsupport::DevBench {
 public:
  explicit DocBench(const std::string& name) : DevBench("docs-" + name) {}

  // ./dev bench in the foreground, as from a terminal: Ctrl-C (SIGINT to
  // its process group) once it said the card is up.
  ::testing::AssertionResult foreground(const std::string& line) const {
    std::string log = dir() + "/foreground.log";
    std::string script = env() + "exec env " + line + " >" + shellQuoted(log) + " 2>&1 </dev/null";
    testsupport::ChildProcess bench;
    bench.leadGroup();
    bench.start("/bin/bash", {"-c", script});
    bool ready = waitFor([&] { return saysUp(readFile(log)); }, std::chrono::seconds(180));
    bench.signalGroup(SIGINT);
    int st = -1;
    bool ended = bench.waitExit(std::chrono::seconds(60), st);
    if (!ended)
      bench.signalGroup(SIGKILL);
    std::string out = readFile(log);
    if (!ready || !ended || st != 0 || out.find("bench stopped") == std::string::npos)
      return ::testing::AssertionFailure()
             << "ready " << ready << ", ended " << ended << ", status " << st << ":\n"
             << out;
    return ::testing::AssertionSuccess();
  }
};

bool isHeavy(const std::vector<std::string>& args) {
  static const std::set<std::string> kHeavy{"test", "build",      "format",     "tidy", "fuzz",
                                            "vm",   "bench-perf", "bench-walk", "perf"};
  return kHeavy.count(args[0]) > 0 || std::find(args.begin(), args.end(), "--vm") != args.end();
}

void checkSynopsis(const DocBench& bench, const DocCommand& c) {
  std::vector<std::string> args = devArgs(c.text);
  ASSERT_FALSE(args.empty()) << c.where;
  int st = -1;
  std::string help = bench.run("./dev help " + args[0], &st, 30);
  ASSERT_EQ(st, 0) << c.where << ": no subcommand '" << args[0] << "'\n" << help;
  static const std::regex option(R"(--[a-z][a-z0-9-]*)");
  for (auto it = std::sregex_iterator(c.text.begin(), c.text.end(), option);
       it != std::sregex_iterator(); ++it)
    EXPECT_NE(help.find(it->str()), std::string::npos)
        << c.where << ": ./dev help " << args[0] << " does not know " << it->str();
}

class DocCommands : public ::testing::TestWithParam<std::string> {};

TEST_P(DocCommands, WorkAsWritten) {
  if (!testsupport::execPrefix().empty())
    GTEST_SKIP() << "the documented commands run this host's build, not an emulated one";
  std::string name = GetParam();
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
  DocBench bench(name);
  bool ranForeground = false;
  for (const DocCommand& c : commandsOf(GetParam())) {
    SCOPED_TRACE(c.where + ": " + c.text);
    std::vector<std::string> args = devArgs(c.text);
    if (args.empty())
      args.push_back("help");  // what ./dev alone runs
    if (c.synopsis) {
      checkSynopsis(bench, c);
      continue;
    }
    bool start = args.size() >= 2 && args[0] == "bench" && args.back() == "start";
    bool foreground = !args.empty() && args[0] == "bench" && (args.size() == 1 || args[1] == "run");
    // Live views run until Ctrl-C: they must show something and keep going.
    bool follows = std::find(args.begin(), args.end(), "-f") != args.end() ||
                   (args.size() == 1 && args[0] == "panel") ||
                   (args.size() == 2 && args[0] == "chassis" && args[1] == "watch");
    if (isHeavy(args)) {
      int st = -1;
      std::string out = bench.run("FXS_DEV_CHECK_ONLY=1 " + c.text, &st, 60);
      EXPECT_EQ(st, 0) << out;
      continue;
    }
    // Chassis commands and those of one of its slots run against a chassis
    // of two cards, the others against the bench; help needs neither.
    bool help = args[0] == "help" || (args[0] == "chassis" && args.size() == 1);
    bool chassis =
        args[0] == "chassis" || std::find(args.begin(), args.end(), "--slot") != args.end();
    bool chassisStart = args[0] == "chassis" && args.size() >= 2 && args[1] == "start";
    if (help) {
      // Runs as it is.
    } else if (chassis) {
      if (chassisStart && bench.chassisRunning()) {
        bench.run("./dev chassis stop");
      } else if (!chassisStart && args.back() != "stop" && !bench.chassisRunning()) {
        ASSERT_NE(bench.run("./dev chassis start 2", nullptr, 300).find("chassis: 2 card(s)"),
                  std::string::npos);
      }
    } else if ((start || (foreground && !ranForeground)) && bench.running()) {
      bench.run("./dev bench stop");
    } else if (!start && !foreground && !bench.running()) {
      ASSERT_TRUE(saysUp(bench.run("./dev bench start")));
    }
    if (foreground) {
      // It takes a while; once per file shows it works.
      if (!ranForeground) {
        EXPECT_TRUE(bench.foreground(c.text));
      }
      ranForeground = true;
      continue;
    }
    int st = -1;
    std::string out = bench.run(c.text, &st, follows ? 4 : 300);
    if (follows) {
      EXPECT_TRUE(st == 124 && !out.empty()) << "status " << st << ": " << out;
    } else {
      EXPECT_EQ(st, 0) << out;
    }
    if (!c.prints.empty()) {
      EXPECT_NE(out.find(c.prints), std::string::npos) << "expected: " << c.prints << "\n" << out;
    }
    if (start) {
      EXPECT_TRUE(saysUp(out)) << out;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Docs, DocCommands, ::testing::ValuesIn(docFiles()), [](const auto& i) {
  std::string n = i.param;
  std::replace_if(
      n.begin(), n.end(), [](char c) { return !std::isalnum(c); }, '_');
  return n;
});

// Every subcommand ./dev help lists answers -h and --help with its usage,
// on stdout, exit 0, and nothing else: a running bench survives
// "bench stop --help", the help of a command that changes the tree
// changes nothing.
TEST(DevHelp, EverySubcommandAnswersHelpAndDoesNothingElse) {
  if (!testsupport::execPrefix().empty())
    GTEST_SKIP() << "./dev runs this host's build, not an emulated one";
  DocBench bench("help");
  int st = -1;
  std::string list = bench.run("./dev help 2>/dev/null", &st, 30);
  ASSERT_EQ(st, 0) << list;
  for (const char* group :
       {"\nbench:\n", "\ncard access:\n", "\ntests and checks:\n", "\nmeasurements:\n"})
    EXPECT_NE(list.find(group), std::string::npos) << group << " missing:\n" << list;
  std::vector<std::string> names;
  std::istringstream in(list);
  static const std::regex entry(R"(^  ([a-z][a-z-]*)  +\S.*$)");
  size_t summaryColumn = 0;
  for (std::string line; std::getline(in, line);) {
    EXPECT_LE(line.size(), 80u) << "too long for one line: " << line;
    std::smatch m;
    if (!std::regex_match(line, m, entry))
      continue;
    names.push_back(m[1]);
    size_t column = line.find_first_not_of(' ', 2 + m[1].length());
    if (summaryColumn == 0)
      summaryColumn = column;
    EXPECT_EQ(column, summaryColumn) << "not aligned: " << line;
  }
  EXPECT_GE(names.size(), 15u) << list;
  names.push_back("help");
  ASSERT_TRUE(saysUp(bench.run("./dev bench start")));
  for (const std::string& n : names) {
    for (const char* flag : {"--help", "-h"}) {
      std::string out = bench.run("./dev " + n + " " + flag + " 2>/dev/null", &st, 60);
      EXPECT_EQ(st, 0) << n << " " << flag << ": " << out;
      EXPECT_EQ(out.rfind("usage: ./dev " + n, 0), 0u) << n << " " << flag << ": " << out;
      std::string err = bench.run("./dev " + n + " " + flag + " >/dev/null", &st, 60);
      EXPECT_EQ(err, "") << n << " " << flag << " wrote to stderr";
    }
    EXPECT_EQ(bench.run("./dev help " + n + " 2>&1", &st, 60).rfind("usage: ./dev " + n, 0), 0u);
  }
  for (const char* line : {"./dev bench stop --help", "./dev bench stop -h", "./dev format --help",
                           "./dev inject help"}) {
    bench.run(line, &st, 60);
    EXPECT_EQ(st, 0) << line;
  }
  EXPECT_TRUE(bench.running()) << "a --help stopped the bench";
  bench.run("./dev nosuch", &st, 30);
  EXPECT_EQ(st, 2);
  bench.run("./dev help nosuch", &st, 30);
  EXPECT_EQ(st, 2);
}

// Every stand-in and bench tool answers --help with its usage and exit 0,
// and refuses an option it does not know with the status of bad usage.
TEST(ToolHelp, EveryStandInAndToolAnswersHelp) {
  struct Tool {
    const char* bin;
    int badUsage;
  };
  const Tool kTools[] = {{"board", 2},      {"fdebug", 2},  {"sim_i2cdrv", 2},  {"icscctl", 3},
                         {"sim_inject", 2}, {"nbcat", 2},   {"sim_pca9552", 2}, {"udpfe", 2},
                         {"velmora", 2},    {"velmctl", 2}, {"bench_card", 2},  {"bench_floors", 2},
                         {"bench_walk", 2}};
  for (const Tool& t : kTools) {
    // The benchmarks are not cross-built.
    if (!testsupport::exists(testsupport::binPath(t.bin)))
      continue;
    testsupport::ToolResult help = testsupport::runTool(t.bin, {"--help"});
    EXPECT_EQ(help.status, 0) << t.bin << ": " << help.out;
    EXPECT_NE(help.out.find("usage: "), std::string::npos) << t.bin << ": " << help.out;
    testsupport::ToolResult bad = testsupport::runTool(t.bin, {"--no-such-option"});
    EXPECT_EQ(bad.status, t.badUsage) << t.bin << ": " << bad.out;
  }
  int st = -1;
  std::string out = runShell(testsupport::binPath("vconfig") + " --help", &st);
  EXPECT_EQ(st, 0);
  EXPECT_EQ(out.rfind("usage: vconfig", 0), 0u) << out;
}

}  // namespace
