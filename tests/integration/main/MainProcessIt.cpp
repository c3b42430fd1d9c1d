// The real "main" binary in this test's own namespaces: console, queue,
// SIGTERM while blocked in receive, exit status.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mqueue.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>

#include "CardWithPeers.h"
#include "ConsoleClient.h"
#include "TestSupport.h"

namespace {

using testsupport::readFile;
using testsupport::writeFile;

// qemu-user needs far longer to start a binary than a native run.
constexpr std::chrono::seconds kDeadline{30};
const char kLog[] = "/tmp/main.stderr";

bool waitFor(const std::function<bool()>& cond) {
  return testsupport::waitFor(cond, kDeadline);
}

class MainProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    unlink("/tmp/main.ini");
    m_card.env = "FXS_TRACE_LEVEL=9";
    m_card.mainLog = kLog;
  }
  // The exit status (128 + signal when killed), or -1 while it still runs.
  int reap() {
    int status = -1;
    return m_card.main.waitExit(kDeadline, status) ? status : -1;
  }
  bool logHas(const std::string& text) { return readFile(kLog).find(text) != std::string::npos; }

  testsupport::CardWithPeers m_card{testsupport::CardWithPeers::NONE};
};

TEST_F(MainProcess, ConsoleQueueAndCleanStopOnSigterm) {
  ASSERT_TRUE(m_card.start());
  ASSERT_TRUE(waitFor([&] { return logHas("Card is ready"); })) << readFile(kLog);
  testsupport::ConsoleClient console;
  ASSERT_TRUE(console.connect(testsupport::kMainConsolePort, kDeadline));
  std::string result;
  std::string out = console.run("main internals", &result, kDeadline);
  EXPECT_EQ(result, "ok");
  for (const char* want : {"m_state            = START_SELF_TESTS\n", "MessageQueue /queueToUdp",
                           "MessageQueue /queueToI2cDrv", "watchdogMonitor main: running"}) {
    EXPECT_NE(out.find(want), std::string::npos) << "missing '" << want << "' in\n" << out;
  }
  console.run("main internals extra", &result, kDeadline);
  EXPECT_EQ(result, "bad-argument-count");

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
  // A message without an id is refused, not fatal (unknown ids: PeerFaults).
  ASSERT_EQ(mq_send(card, "ab", 2, 0), 0);
  char buf[8192];
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  ts.tv_sec += kDeadline.count();
  ssize_t n = mq_timedreceive(reply, buf, sizeof buf, nullptr, &ts);
  ASSERT_EQ(n, 5);
  EXPECT_EQ(std::string(buf, 5), std::string("\x84\x03\x00\x00\x00", 5));
  EXPECT_TRUE(
      waitFor([&] { return logHas("message of 2 bytes on /queueToMain has no complete id"); }));

  // Blocked in receive with nothing queued: SIGTERM must still stop it.
  mq_attr attr{};
  ASSERT_TRUE(waitFor([&] { return mq_getattr(card, &attr) == 0 && attr.mq_curmsgs == 0; }));
  m_card.main.signal(SIGTERM);
  EXPECT_EQ(reap(), 0) << "main did not end cleanly after SIGTERM\n" << readFile(kLog);
  EXPECT_TRUE(testsupport::exists("/tmp/main.ini"));
  EXPECT_TRUE(logHas("stop received"));
  EXPECT_TRUE(logHas("START_SELF_TESTS -> IDLE"));
  EXPECT_TRUE(logHas("Now deleting Ifc"));
  testsupport::ConsoleClient late;
  EXPECT_FALSE(late.connect(testsupport::kMainConsolePort, std::chrono::milliseconds(0)))
      << "console still listening after exit";
  mq_close(card);
  mq_close(reply);
}

TEST_F(MainProcess, QueueLimitTooLowStopsWithAClearMessageAndStatusZero) {
  // This test's own IPC namespace: lowering the limit touches nothing else.
  std::string old = readFile("/proc/sys/fs/mqueue/msg_max");
  writeFile("/proc/sys/fs/mqueue/msg_max", "10");
  mq_unlink("/queueToMain");
  ASSERT_TRUE(m_card.start());
  int status = reap();
  writeFile("/proc/sys/fs/mqueue/msg_max", old);
  ASSERT_NE(status, -1) << "main kept running without its queue";
  EXPECT_EQ(status, 0) << "main returns 0 in every case";
  std::string log = readFile(kLog);
  EXPECT_NE(log.find("[CRITICAL]"), std::string::npos) << log;
  EXPECT_NE(log.find("/proc/sys/fs/mqueue/msg_max"), std::string::npos) << log;
}

}  // namespace
