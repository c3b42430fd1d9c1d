// ./dev bench tells the truth: every option and setting it documents
// starts a bench that shows it, a peer that ends while starting fails the
// start by name, status fails while anything is down, and the ready line
// says the card's state (read over ICSC), with hints that reach this bench.
// In the foreground on a terminal the ready line stays on screen and the
// log fits the terminal's width.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "DevBench.h"
#include "TestSupport.h"

namespace {

using testsupport::DevBench;
using testsupport::readFile;
using testsupport::shellQuoted;

// What one documented setting must bring about, read over ICSC.
struct Check {
  const char* icsc;  // ./dev icsc arguments
  const char* want;
};
struct StartCase {
  const char* name;
  const char* settings;  // before ./dev
  const char* args;      // ./dev bench ARGS
  const char* says;      // in the ready line
  bool terminal;         // in the foreground, on a terminal
  std::vector<Check> checks;
};
const StartCase kStarts[] = {
    {"faults_of_both_drivers_on_a_log_terminal",
     "FXS_BENCH_I2C='--fail-adc-selftest --fail-pwrmon --fail-sensor 1 --period-ms 500' "
     "FXS_BENCH_PCA9552=--fail-selftest FXS_BENCH_SLOT=5 FXS_ICSC_PORT=5100 FXS_TRACE_LEVEL=9 "
     "FXS_BENCH_NO_PANEL=1",
     "--ethaddr 02:a5:3c:99:00:07 run",
     "bench: card ACTIVE",
     true,
     {{"get common card \"Ifc Slot\"", "6"},
      {"get common hw-error 2 active", "true"},  // ADS1000 ADC
      {"get common hw-error 0 active", "true"},  // MAX16046 PowerMon
      {"get common temperature 1 valid", "false"}}},
    {"silent_drivers_on_the_panel",
     "FXS_BENCH_I2C=--silent FXS_BENCH_PCA9552=--silent",
     "",
     "bench: card in state FAIL: see FXS_BENCH_DIR=",
     true,
     {}},
    {"absent_led_driver_late_board",
     "FXS_BENCH_I2C='--fail-selftest --idle-pwrmon' FXS_BENCH_PCA9552=--absent "
     "FXS_BENCH_BOARD='--delay 3600'",
     "start",
     "bench: card ACTIVE",
     false,
     {{"get common hw-error 3 active", "true"}}},  // MAX6602 TempSensor
};

// ./dev bench in the foreground on a 70-column terminal: started at
// construction, Ctrl-C typed by stop(), which returns the whole screen
// output.
class Terminal {
 public:
  Terminal(const DevBench& b, const std::string& settings, const std::string& args)
      : m_log(b.dir() + "/terminal.log"), m_go(b.dir() + "/ctrl-c") {
    std::string typist = "until test -e " + shellQuoted(m_go) +
                         "; do sleep 0.2; done; "
                         "printf '\\003'; for i in $(seq 120); do grep -q 'bench stopped' " +
                         shellQuoted(m_log) + " && break; sleep 0.5; done";
    std::string line = "(" + typist + ") | script -qfec " +
                       shellQuoted("stty rows 30 cols 70; " + settings + " ./dev bench " + args) +
                       " " + shellQuoted(m_log) + " >/dev/null";
    m_thread = std::thread([&b, line] { b.run(line, nullptr, 600); });
  }
  ~Terminal() { stop(); }
  bool up(const std::string& says) {
    return testsupport::waitFor([&] { return readFile(m_log).find(says) != std::string::npos; },
                                std::chrono::seconds(300));
  }
  std::string stop() {
    testsupport::writeFile(m_go, "");
    if (m_thread.joinable())
      m_thread.join();
    return readFile(m_log);
  }

 private:
  std::string m_log, m_go;
  std::thread m_thread;
};

class BenchStart : public ::testing::TestWithParam<StartCase> {};
TEST_P(BenchStart, ShowsEverySetting) {
  if (!testsupport::execPrefix().empty())
    GTEST_SKIP() << "the bench runs this host's build, not an emulated one";
  const StartCase& c = GetParam();
  DevBench bench(std::string("options-") + c.name);
  std::string out;
  std::unique_ptr<Terminal> terminal;
  if (c.terminal) {
    terminal = std::make_unique<Terminal>(bench, c.settings, c.args);
    EXPECT_TRUE(terminal->up(c.says)) << terminal->stop();
    // The panel's first frame drawn.
    if (std::string(c.settings).find("FXS_BENCH_NO_PANEL") == std::string::npos) {
      EXPECT_TRUE(terminal->up("front panel"));
    }
    out = readFile(bench.dir() + "/terminal.log");
  } else {
    int st = -1;
    out = bench.run(std::string(c.settings) + " ./dev bench " + c.args, &st, 300);
    EXPECT_EQ(st, 0) << out;
  }
  EXPECT_NE(out.find(c.says), std::string::npos) << out;
  // The hints reach this bench, not the default one.
  EXPECT_NE(out.find("Console: FXS_BENCH_DIR=" + bench.benchDir() + " ./dev console"),
            std::string::npos)
      << out;
  for (const Check& k : c.checks) {
    std::string got = bench.run(std::string(c.settings) + " ./dev icsc " + k.icsc, nullptr, 30);
    EXPECT_EQ(got, std::string(k.want) + "\n") << k.icsc;
  }
  if (std::string(c.args).find("--ethaddr") != std::string::npos) {
    EXPECT_NE(bench.inCard("ip -o link show eth1").find("link/ether 02:a5:3c:99:00:07 "),
              std::string::npos);
  }
  if (std::string(c.settings).find("FXS_TRACE_LEVEL=9") != std::string::npos) {
    EXPECT_NE(readFile(bench.benchDir() + "/main.log").find("[DEBUG3]"), std::string::npos);
  }
  if (!c.terminal)
    return;
  // On the terminal: every line of the log view fits in 70 columns; the
  // panel keeps the ready line on its top line.
  out = terminal->stop();
  EXPECT_NE(out.find("bench stopped"), std::string::npos) << out;
  std::string screen = out.substr(0, out.find("bench stopped"));
  if (std::string(c.settings).find("FXS_BENCH_NO_PANEL=1") != std::string::npos) {
    std::istringstream lines(screen.substr(screen.find(c.says)));
    std::string line;
    std::getline(lines, line);
    size_t logLines = 0;
    while (std::getline(lines, line)) {
      if (line.rfind("20", 0) == 0) {
        ++logLines;
        EXPECT_LE(line.size(), 70u) << line;
      }
    }
    EXPECT_GT(logLines, 5u) << screen;
  } else {
    EXPECT_NE(screen.find("\033[H" + std::string(c.says)), std::string::npos) << screen;
  }
}
INSTANTIATE_NAMED(Bench, BenchStart, kStarts);

// A peer that ends while the bench starts fails the start by its name and
// status, and leaves nothing running; a peer that ends later makes status
// fail.
TEST(BenchStart, FailsOnAPeerThatEndsAndStatusOnAPeerThatIsDown) {
  if (!testsupport::execPrefix().empty())
    GTEST_SKIP() << "the bench runs this host's build, not an emulated one";
  DevBench bench("options-dead-peer");
  int st = -1;
  std::string out = bench.run("FXS_BENCH_I2C=--no-such-option ./dev bench start", &st, 300);
  EXPECT_EQ(st, 1) << out;
  EXPECT_NE(out.find("peer i2cdrv ended with status 2 while starting"), std::string::npos) << out;
  EXPECT_EQ(out.find("bench: card"), std::string::npos) << out;
  out = bench.run("./dev bench status", &st, 30);
  EXPECT_EQ(st, 1) << out;

  out = bench.run("./dev bench start", &st, 300);
  ASSERT_EQ(st, 0) << out;
  EXPECT_EQ(bench.run("./dev bench status", &st, 30).find("ended"), std::string::npos);
  EXPECT_EQ(st, 0);
  ::kill(std::stoi(readFile(bench.benchDir() + "/velmora.pid")), SIGKILL);
  out = bench.run("./dev bench status", &st, 30);
  EXPECT_EQ(st, 1) << out;
  EXPECT_NE(out.find("velmora: ended with status 137"), std::string::npos) << out;
  // The VM's card takes no injects from here: no hint at the bench.
  out = bench.run("./dev inject --vm temp status 2 0", &st, 30);
  EXPECT_EQ(st, 2) << out;
  EXPECT_EQ(out.find("bench start"), std::string::npos) << out;
}

}  // namespace
