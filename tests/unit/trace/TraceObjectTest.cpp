#include <gtest/gtest.h>

#include "TestSupport.h"
#include "trace/TraceObject.h"

namespace {

// A line is written when the level is above its threshold; every level is
// tried so that each threshold is hit on both sides.
TEST(Trace, WritesOnlyLinesAboveTheirThreshold) {
  const std::pair<const char*, int> kThresholds[] = {
      {"[CRITICAL]", 1}, {"[ERROR]", 2},  {"[WARNING]", 3}, {"[INFO]", 5},
      {"[DEBUG1]", 6},   {"[DEBUG2]", 7}, {"[DEBUG3]", 8}};
  for (int level = 0; level <= 10; ++level) {
    testsupport::LogCapture cap(level);
    LOG_CRITICAL("c");
    LOG_ERROR("e");
    LOG_WARNING("w");
    LOG_INFO("i");
    LOG_DEBUG1("d1");
    LOG_DEBUG2("d2");
    LOG_DEBUG3("d3");
    for (const auto& [tag, threshold] : kThresholds)
      EXPECT_EQ(cap.contains(tag), level > threshold) << tag << " at level " << level;
  }
}

void logFromHere() {
  LOG_ERROR("Unknown msgid %d received", 42);
}

TEST(Trace, LineHasLevelFileLineFunctionPrefix) {
  testsupport::LogCapture cap(6);
  logFromHere();
  ASSERT_EQ(cap.lines().size(), 1u);
  const std::string line = cap.lines()[0];
  EXPECT_EQ(line.rfind("[ERROR] TraceObjectTest.cpp:", 0), 0u) << line;
  EXPECT_NE(line.find(" (logFromHere) - Unknown msgid 42 received"), std::string::npos) << line;
}

TEST(Trace, SwerrIsWrittenWhateverTheLevelAsTwoLines) {
  testsupport::LogCapture cap(0);
  SWERR("Failed to join\n");
  auto lines = cap.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("SWERR ERROR DETECTED: ", 0), 0u);
  EXPECT_NE(lines[0].find("TraceObjectTest.cpp "), std::string::npos);
  EXPECT_EQ(lines[1], "Failed to join\n");
}

TEST(Trace, NothingIsWrittenWithoutTraceObject) {
  testsupport::LogCapture cap(9);
  TraceObject* saved = g_traceObject;
  g_traceObject = nullptr;
  LOG_CRITICAL("lost");
  g_traceObject = saved;
  EXPECT_TRUE(cap.lines().empty());
}

TEST(Trace, LongMessagesAreNotTruncated) {
  testsupport::LogCapture cap(6);
  std::string big(3000, 'x');
  LOG_ERROR("%s", big.c_str());
  ASSERT_EQ(cap.lines().size(), 1u);
  EXPECT_NE(cap.lines()[0].find(big), std::string::npos);
}

}  // namespace
