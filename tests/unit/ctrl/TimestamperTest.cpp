#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "FakeTickQueue.h"
#include "TestSupport.h"
#include "drivermsg/hwMessages.h"
#include "drivermsg/wireLe.h"
#include "timestamper.h"

namespace {

bool waitFor(FakeTickQueue& q, size_t n) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (q.sentCount() >= n)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

TEST(Timestamper, StopBeforeStartDoesNotJoin) {
  FakeTickQueue q;
  CTimestamper t(1000, &q);
  EXPECT_TRUE(t.stop());
  EXPECT_TRUE(t.stop());
}

// Every third send fails: that tick is lost, the count goes on.
TEST(Timestamper, TicksCountUpFromOneAndLostTicksLeaveAGap) {
  testsupport::LogCapture logs;
  FakeTickQueue q;
  q.failEvery = 3;
  CTimestamper t(5, &q);
  ASSERT_TRUE(t.start());
  ASSERT_TRUE(waitFor(q, 5));
  ASSERT_TRUE(t.stop());
  EXPECT_EQ(q.openedName, "/queueToMain");
  EXPECT_TRUE(logs.contains("Failed send message: Resource temporarily unavailable [3]"));
  std::lock_guard<std::mutex> lock(q.mutex);
  for (size_t i = 0; i < q.sent.size(); ++i) {
    ASSERT_EQ(q.sent[i].size(), 8u);
    EXPECT_EQ(wire::getU32(q.sent[i].data(), 0), hwmsg::TICK_MSG);
    EXPECT_EQ(wire::getU32(q.sent[i].data(), 4), i + i / 2 + 1) << i;  // 1 2 4 5 7 ...
  }
}

TEST(Timestamper, MissingQueueEndsTheThread) {
  testsupport::LogCapture logs;
  FakeTickQueue q;
  q.failOpen = true;
  CTimestamper t(5, &q);
  ASSERT_TRUE(t.start());
  // stop() before the thread looked at its flag would skip the open.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!q.openCalled && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(q.openCalled);
  EXPECT_TRUE(t.stop());
  EXPECT_TRUE(logs.contains("SWERR ERROR DETECTED: "));
  EXPECT_TRUE(logs.contains("mq_open /queueToMain - No such file or directory"));
  EXPECT_EQ(q.attempts, 0u);
}

}  // namespace
