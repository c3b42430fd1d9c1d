// The real "main" binary in this test's own namespaces: console, queue,
// SIGTERM while blocked in receive, exit status.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mqueue.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// qemu-user needs far longer to start a binary than a native run.
constexpr std::chrono::seconds kDeadline{30};

bool waitFor(const std::function<bool()>& cond) {
  auto end = Clock::now() + kDeadline;
  while (Clock::now() < end) {
    if (cond())
      return true;
    poll(nullptr, 0, 50);
  }
  return cond();
}

using testsupport::readFile;

void writeFile(const char* path, const std::string& text) {
  std::ofstream out(path);
  out << text;
}

int connectConsole() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(10000);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
    return fd;
  close(fd);
  return -1;
}

// Sends one line and returns everything up to and including its end line.
std::string consoleCommand(const std::string& line) {
  int fd = connectConsole();
  if (fd < 0)
    return "(no connection)";
  std::string req = line + "\nquit\n";
  send(fd, req.data(), req.size(), MSG_NOSIGNAL);
  std::string in;
  auto end = Clock::now() + kDeadline;
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0)
      continue;
    char b[4096];
    ssize_t n = recv(fd, b, sizeof b, 0);
    if (n <= 0)
      break;
    in.append(b, static_cast<size_t>(n));
  }
  close(fd);
  return in;
}

const char kLog[] = "/tmp/main.stderr";

class MainProcess : public ::testing::Test {
 protected:
  void TearDown() override {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }

  void spawn() {
    unlink("/tmp/main.ini");
    std::string cmd =
        "exec " + testsupport::execPrefix() + " " + testsupport::binPath("main") + " 2>" + kLog;
    m_pid = fork();
    ASSERT_GE(m_pid, 0);
    if (m_pid == 0) {
      setenv("FXS_TRACE_STDERR", "1", 1);
      setenv("FXS_TRACE_LEVEL", "9", 1);
      execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }

  // Waits for the child to end; returns its raw wait status or -1.
  int reap() {
    int status = -1;
    bool done = waitFor([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; });
    if (!done)
      return -1;
    m_pid = -1;
    return status;
  }

  bool logHas(const std::string& text) { return readFile(kLog).find(text) != std::string::npos; }

  pid_t m_pid = -1;
};

TEST_F(MainProcess, ConsoleQueueAndCleanStopOnSigterm) {
  spawn();
  ASSERT_TRUE(waitFor([&] { return logHas("Card is ready"); })) << readFile(kLog);
  ASSERT_TRUE(waitFor([] {
    int fd = connectConsole();
    if (fd >= 0)
      close(fd);
    return fd >= 0;
  }));

  std::string out = consoleCommand("main internals");
  for (const char* want :
       {"m_state            = START_SELF_TESTS\n", "MessageQueue /queueToUdp",
        "MessageQueue /queueToI2cDrv", "watchdogMonitor main: running", "#END ok\n"}) {
    EXPECT_NE(out.find(want), std::string::npos) << "missing '" << want << "' in\n" << out;
  }
  EXPECT_NE(consoleCommand("main internals extra").find("#END bad-argument-count"),
            std::string::npos);

  // The debug front end's way in: message 900, then the ready message.
  mqd_t reply = mq_open("/queueToFdebug", O_RDWR | O_CREAT, 0666, nullptr);
  mqd_t card = mq_open("/queueToMain", O_WRONLY);
  ASSERT_NE(reply, static_cast<mqd_t>(-1));
  ASSERT_NE(card, static_cast<mqd_t>(-1));
  char msg[32] = {};
  uint32_t id = 900;
  std::memcpy(msg, &id, 4);
  std::strcpy(msg + 4, "main internals");
  ASSERT_EQ(mq_send(card, msg, 4 + std::strlen(msg + 4) + 1, 0), 0);
  // An unknown id and a message without an id are refused, not fatal.
  uint32_t unknown = 555;
  ASSERT_EQ(mq_send(card, reinterpret_cast<char*>(&unknown), 4, 0), 0);
  ASSERT_EQ(mq_send(card, "ab", 2, 0), 0);
  char buf[8192];
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  ts.tv_sec += kDeadline.count();
  ssize_t n = mq_timedreceive(reply, buf, sizeof buf, nullptr, &ts);
  ASSERT_EQ(n, 5);
  EXPECT_EQ(std::string(buf, 5), std::string("\x84\x03\x00\x00\x00", 5));
  EXPECT_TRUE(waitFor([&] { return logHas("Unknown msgid 555 received"); }));
  EXPECT_TRUE(
      waitFor([&] { return logHas("message of 2 bytes on /queueToMain has no complete id"); }));

  // Blocked in receive with nothing queued: SIGTERM must still stop it.
  mq_attr attr{};
  ASSERT_TRUE(waitFor([&] { return mq_getattr(card, &attr) == 0 && attr.mq_curmsgs == 0; }));
  ASSERT_EQ(kill(m_pid, SIGTERM), 0);
  int status = reap();
  ASSERT_NE(status, -1) << "main did not end after SIGTERM\n" << readFile(kLog);
  ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  struct stat st {};
  EXPECT_EQ(stat("/tmp/main.ini", &st), 0) << "/tmp/main.ini not created";
  EXPECT_TRUE(logHas("stop received"));
  EXPECT_TRUE(logHas("START_SELF_TESTS -> IDLE"));
  EXPECT_TRUE(logHas("Now deleting Ifc"));
  EXPECT_LT(connectConsole(), 0) << "console still listening after exit";
  mq_close(card);
  mq_close(reply);
}

TEST_F(MainProcess, QueueLimitTooLowFailsWithAClearMessage) {
  // This test's own IPC namespace: lowering the limit touches nothing else.
  std::string old = readFile("/proc/sys/fs/mqueue/msg_max");
  writeFile("/proc/sys/fs/mqueue/msg_max", "10");
  mq_unlink("/queueToMain");
  spawn();
  int status = reap();
  writeFile("/proc/sys/fs/mqueue/msg_max", old);
  ASSERT_NE(status, -1) << "main kept running without its queue";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 0);
  std::string log = readFile(kLog);
  EXPECT_NE(log.find("[CRITICAL]"), std::string::npos) << log;
  EXPECT_NE(log.find("/proc/sys/fs/mqueue/msg_max"), std::string::npos) << log;
}

}  // namespace
