// Watchdog deadlines, the report of a miss and the debug text.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "TestSupport.h"
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

}  // namespace
