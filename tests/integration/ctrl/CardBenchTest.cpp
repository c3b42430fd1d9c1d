// The card process with its driver stand-ins in this test's namespaces: it
// must reach ACTIVE with answering drivers and FAIL with a silent I2C
// driver, as read through the console's "main internals".
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "ThreadProbe.h"

namespace {

using Clock = std::chrono::steady_clock;

// One process started through the shell so the qemu prefix applies.
class Process {
 public:
  explicit Process(const std::string& commandLine) {
    m_pid = fork();
    if (m_pid == 0) {
      setpgid(0, 0);
      execl("/bin/sh", "sh", "-c", ("exec " + commandLine + " >/dev/null 2>&1").c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Process() {
    if (m_pid <= 0)
      return;
    kill(m_pid, SIGTERM);
    auto deadline = Clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  bool alive() const { return m_pid > 0 && kill(m_pid, 0) == 0; }

 private:
  pid_t m_pid = -1;
};

std::string command(const std::string& bin, const std::string& args = "") {
  std::string prefix = testsupport::execPrefix();
  return (prefix.empty() ? "" : prefix + " ") + testsupport::binPath(bin) + " " + args;
}

// Sends one console line and collects the answer until `until` shows up.
std::string console(const std::string& line, const std::string& until) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(10000);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string text;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    std::string cmd = line + "\n";
    if (write(fd, cmd.data(), cmd.size()) == static_cast<ssize_t>(cmd.size())) {
      auto deadline = Clock::now() + std::chrono::seconds(3);
      while (Clock::now() < deadline && text.find(until) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
          continue;
        char buf[4096];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
          break;
        text.append(buf, static_cast<size_t>(n));
      }
    }
  }
  close(fd);
  return text;
}

std::string cardState() {
  std::string text = console("main internals", "m_allLedsOnCntr");
  const std::string key = "m_state            = ";
  size_t at = text.find(key);
  if (at == std::string::npos)
    return "";
  size_t end = text.find('\n', at);
  return text.substr(at + key.size(), end - at - key.size());
}

// Polls the card state until it is `want` or the deadline passes; returns
// the states seen, in order, without repeats.
std::vector<std::string> waitForState(const std::string& want, std::chrono::seconds limit) {
  std::vector<std::string> seen;
  auto deadline = Clock::now() + limit;
  while (Clock::now() < deadline) {
    std::string s = cardState();
    if (!s.empty() && (seen.empty() || seen.back() != s))
      seen.push_back(s);
    if (s == want)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return seen;
}

bool waitForText(const std::string& line, const std::string& want, std::chrono::seconds limit) {
  auto deadline = Clock::now() + limit;
  while (Clock::now() < deadline) {
    if (console(line, want).find(want) != std::string::npos)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
}

bool inject(const std::string& args) {
  return std::system(command("sim_inject", args + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(CardBench, ReachesActiveAndRaisesTemperatureError) {
  if (!testsupport::threadsWork())
    GTEST_SKIP() << "the card needs threads, which cannot be started here (qemu-user)";
  Process pca(command("sim_pca9552", "--panel none"));
  Process i2c(command("sim_i2cdrv", "--period-ms 500"));
  Process card(command("main"));
  auto seen = waitForState("ACTIVE", std::chrono::seconds(40));
  ASSERT_FALSE(seen.empty()) << "console never answered";
  EXPECT_EQ(seen.back(), "ACTIVE");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "ACTIVE_ALL_LEDS_ON"), seen.end())
      << "the lamp test was skipped";
  std::string internals = console("main internals", "m_pwrmonStatusValid");
  EXPECT_NE(internals.find("SELF_TEST_ADC: SUCCEEDED"), std::string::npos) << internals;
  EXPECT_NE(internals.find("SELF_TEST_PCA9552_DEVICE: SUCCEEDED"), std::string::npos);

  // A failing sensor raises the temperature error; a good report clears it.
  ASSERT_TRUE(inject("temp status 2 0"));
  EXPECT_TRUE(
      waitForText("main hwstatus", "3 MAX6602 TempSensor ACTIVE", std::chrono::seconds(10)));
  ASSERT_TRUE(inject("temp status 2 1"));
  EXPECT_TRUE(waitForText("main hwstatus", "3 MAX6602 TempSensor -", std::chrono::seconds(10)));
  EXPECT_TRUE(card.alive());
}

TEST(CardBench, SilentI2cDriverLeadsToFail) {
  if (!testsupport::threadsWork())
    GTEST_SKIP() << "the card needs threads, which cannot be started here (qemu-user)";
  Process pca(command("sim_pca9552", "--panel none"));
  Process i2c(command("sim_i2cdrv", "--silent"));
  Process card(command("main"));
  auto seen = waitForState("FAIL", std::chrono::seconds(45));
  ASSERT_FALSE(seen.empty()) << "console never answered";
  EXPECT_EQ(seen.back(), "FAIL");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "SELF_TESTS_BUSY"), seen.end());
}

}  // namespace
