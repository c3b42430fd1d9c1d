// The tick thread against a real "/queueToMain" (private IPC namespace).
#include <gtest/gtest.h>
#include <mqueue.h>

#include <chrono>
#include <functional>
#include <thread>

#include "TestSupport.h"
#include "drivermsg/hwMessages.h"
#include "mq/MessageQueue.h"
#include "timestamper.h"

namespace {

bool waitFor(const std::function<bool()>& done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (done())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

struct MainQueue {
  MainQueue() { mq_unlink(mainqueue::NAME); }
  ~MainQueue() { mq_unlink(mainqueue::NAME); }
};

// The tick count of the next queued message, 0 when none is there.
uint32_t nextTick(MessageQueue& q) {
  uint8_t buf[mainqueue::MAX_MSG_SIZE];
  ssize_t n = q.receive(buf, sizeof buf);
  if (n < 0)
    return 0;
  EXPECT_EQ(n, static_cast<ssize_t>(hwmsg::TICK_MSG_SIZE));
  EXPECT_EQ(hwmsg::msgId(buf, static_cast<size_t>(n)), MSG_TIMER_TICK);
  return hwmsg::decodeTick(buf, static_cast<size_t>(n)).value_or(0);
}

TEST(Timestamper, StopBeforeStartDoesNotJoin) {
  CTimestamper t(1000);
  EXPECT_TRUE(t.stop());
  EXPECT_TRUE(t.stop());
}

// A full queue loses ticks; the count goes on, so the receiver sees a gap.
TEST(Timestamper, TicksCountUpFromOneAndLostTicksLeaveAGap) {
  MainQueue name;
  testsupport::LogCapture logs;
  MessageQueue q(mainqueue::NAME, mainqueue::MAX_MSG_SIZE, 2);
  ASSERT_TRUE(q.isOpen());
  q.blocking(false);
  CTimestamper t(5);
  ASSERT_TRUE(t.start());
  ASSERT_TRUE(waitFor([&] {
    return logs.contains(
        "Failed send message: Resource temporarily "
        "unavailable [3]");
  }));
  EXPECT_EQ(nextTick(q), 1u);
  EXPECT_EQ(nextTick(q), 2u);
  uint32_t after = 0;
  ASSERT_TRUE(waitFor([&] { return (after = nextTick(q)) != 0; }));
  ASSERT_TRUE(t.stop());
  EXPECT_GT(after, 3u);
}

TEST(Timestamper, MissingQueueEndsTheThreadWithoutCreatingIt) {
  MainQueue name;
  testsupport::LogCapture logs;
  CTimestamper t(5);
  ASSERT_TRUE(t.start());
  ASSERT_TRUE(
      waitFor([&] { return logs.contains("mq_open /queueToMain - No such file or directory"); }));
  EXPECT_TRUE(t.stop());
  EXPECT_TRUE(logs.contains("SWERR ERROR DETECTED: "));
  EXPECT_EQ(t.tickCount(), 0u);
  EXPECT_EQ(mq_open(mainqueue::NAME, O_RDONLY), static_cast<mqd_t>(-1));
}

}  // namespace
