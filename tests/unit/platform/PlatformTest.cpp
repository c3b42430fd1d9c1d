// Watchdog deadlines, board driver replies, thread start and sleep.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "board/boardUtils.h"
#include "thread/BetterSleep.h"
#include "thread/Guard.h"
#include "thread/ThreadClass.h"
#include "watchdog/watchdogMonitor.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(Watchdog, MissedDeadlineReportedOnceThenRecovery) {
  testsupport::LogCapture log(6);
  watchdogMonitor wd("wdtest");
  ASSERT_TRUE(wd.wdm_start(1000));
  Clock::time_point t0 = Clock::now();
  // Far checks only; the background checker cannot see a miss in 1 s.
  EXPECT_EQ(watchdog::checkDeadlines(t0 + milliseconds(500)), 0u);
  EXPECT_EQ(watchdog::checkDeadlines(t0 + milliseconds(60000)), 1u);
  EXPECT_EQ(watchdog::checkDeadlines(t0 + milliseconds(70000)), 0u) << "reported once per miss";
  EXPECT_EQ(wd.missedDeadlines(), 1u);
  EXPECT_TRUE(log.contains("SWERR ERROR DETECTED:"));
  EXPECT_TRUE(log.contains("watchdog: wdtest missed its deadline"));
  char text[256];
  wd.wdm_dbg(text, sizeof text);
  EXPECT_NE(std::string(text).find("OVERDUE"), std::string::npos) << text;
  EXPECT_TRUE(wd.wdm_notify(0));
  EXPECT_TRUE(log.contains("watchdog: wdtest notified again"));
  wd.wdm_dbg(text, sizeof text);
  EXPECT_EQ(std::string(text).find("OVERDUE"), std::string::npos) << text;
}

TEST(Watchdog, StoppedOrUnstartedClientsAreNotChecked) {
  watchdogMonitor idle("idle");
  watchdogMonitor stopped("stopped");
  stopped.wdm_start(10);
  EXPECT_TRUE(stopped.wdm_stop());
  EXPECT_FALSE(idle.wdm_notify(0));
  EXPECT_FALSE(idle.wdm_start(0)) << "a zero timeout is refused";
  // Other tests' clients may exist; these two must not be counted.
  watchdog::checkDeadlines(Clock::now() + std::chrono::hours(1));
  EXPECT_EQ(idle.missedDeadlines(), 0u);
  EXPECT_EQ(stopped.missedDeadlines(), 0u);
}

TEST(Watchdog, DbgTextIsCutToTheBuffer) {
  watchdogMonitor wd("a-rather-long-watchdog-client-name");
  wd.wdm_start(60000);
  char text[16];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(wd.wdm_dbg(text, sizeof text), 15);
  EXPECT_EQ(text[15], '\0');
  EXPECT_EQ(wd.wdm_dbg(nullptr, 10), 0);
}

struct SlotCase {
  const char* name;
  std::string reply;
  bool ok;
  int slot;
};

const SlotCase kSlotCases[] = {
    {"zero", "SLOT 0\n", true, 0},
    {"two_digits", "SLOT 17\n", true, 17},
    {"highest", "SLOT 63\n", true, 63},
    {"too_high", "SLOT 64\n", false, -1},
    {"huge", "SLOT 99999999999999\n", false, -1},
    {"not_known_yet", "NOSLOT\n", false, -1},
    {"no_newline", "SLOT 3", false, -1},
    {"no_digits", "SLOT \n", false, -1},
    {"negative", "SLOT -1\n", false, -1},
    {"trailing_junk", "SLOT 3x\n", false, -1},
    {"leading_zeros", "SLOT 0007\n", true, 7},
    {"plus_sign", "SLOT +3\n", false, -1},
    {"two_blanks", "SLOT  3\n", false, -1},
    {"newline_first", "SLOT \n3", false, -1},
    {"empty", "", false, -1},
};

class SlotReply : public ::testing::TestWithParam<SlotCase> {};

TEST_P(SlotReply, Decodes) {
  int slot = -1;
  EXPECT_EQ(boardUtils::parseSlotReply(GetParam().reply.data(), GetParam().reply.size(), slot),
            GetParam().ok);
  EXPECT_EQ(slot, GetParam().slot);
}

INSTANTIATE_TEST_SUITE_P(Board, SlotReply, ::testing::ValuesIn(kSlotCases),
                         [](const auto& i) { return std::string(i.param.name); });

// The stand-in's answers are what the card decodes.
TEST(Board, StandInRepliesDecodeToTheirSlot) {
  for (int want : {0, 9, 10, 63}) {
    std::string reply = boardUtils::slotReply(want);
    int slot = -1;
    EXPECT_TRUE(boardUtils::parseSlotReply(reply.data(), reply.size(), slot)) << reply;
    EXPECT_EQ(slot, want);
  }
  std::string unknown = boardUtils::slotReply(-1);
  int slot = 5;
  EXPECT_FALSE(boardUtils::parseSlotReply(unknown.data(), unknown.size(), slot));
  EXPECT_EQ(slot, 5);
  EXPECT_TRUE(boardUtils::isSlotRequest("SLOT?\n", 6));
  EXPECT_FALSE(boardUtils::isSlotRequest("SLOT?\n", 5));
  EXPECT_FALSE(boardUtils::isSlotRequest("SLOT!\n", 6));
}

// The answering driver is the board stand-in of the network bench tests.
TEST(Board, AbsentDriverFailsAndKeepsTheSlot) {
  int slot = 7;
  EXPECT_FALSE(boardUtils("/tmp/no-such-driver.sock").getSlotNum(slot));
  EXPECT_EQ(slot, 7);
}

class Counter : public ThreadClass {
 public:
  int run() override {
    ++runs;
    self = pthread_self();
    sigset_t set;
    pthread_sigmask(SIG_BLOCK, nullptr, &set);
    termBlocked = sigismember(&set, SIGTERM) == 1;
    return 0;
  }
  std::atomic<int> runs{0};
  pthread_t self{};
  bool termBlocked = false;
};

TEST(Thread, StartupRunsTheObjectOnTheNewThread) {
  Counter c;
  pthread_t t;
  ASSERT_EQ(pthread_create(&t, nullptr, ThreadStartup, &c), 0);
  ASSERT_EQ(pthread_join(t, nullptr), 0);
  EXPECT_EQ(c.runs, 1);
  EXPECT_TRUE(pthread_equal(c.self, t));
  EXPECT_TRUE(c.termBlocked) << "SIGTERM must reach the main thread only";
}

TEST(Thread, BetterSleepSleepsThroughSignals) {
  struct sigaction sa {};
  sa.sa_handler = [](int) {};
  sigaction(SIGUSR1, &sa, nullptr);
  pthread_t me = pthread_self();
  std::thread poker([me] {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(milliseconds(20));
      pthread_kill(me, SIGUSR1);
    }
  });
  auto t0 = Clock::now();
  BetterSleep(0.3);
  auto slept = Clock::now() - t0;
  poker.join();
  EXPECT_GE(slept, milliseconds(300));
}

TEST(Thread, GuardHoldsTheMutexForItsLifetime) {
  pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
  {
    Guard g(m);
    EXPECT_EQ(pthread_mutex_trylock(&m), EBUSY);
  }
  EXPECT_EQ(pthread_mutex_trylock(&m), 0);
  pthread_mutex_unlock(&m);
}

}  // namespace
