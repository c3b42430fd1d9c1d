#include <gtest/gtest.h>

#include "TestSupport.h"
#include "trace/TraceObject.h"

namespace {

struct ThresholdCase {
  const char* name;
  int level;
  bool critical, error, warning, info, debug, debug2, debug3;
};

// A line is written when the level is above its threshold.
const ThresholdCase kThresholds[] = {
    {"level1_nothing", 1, false, false, false, false, false, false, false},
    {"level2_critical_only", 2, true, false, false, false, false, false, false},
    {"level4_up_to_warning", 4, true, true, true, false, false, false, false},
    {"level6_start_level", 6, true, true, true, true, false, false, false},
    {"level7_debug1", 7, true, true, true, true, true, false, false},
    {"level8_debug2", 8, true, true, true, true, true, true, false},
    {"level9_everything", 9, true, true, true, true, true, true, true},
};

class TraceThreshold : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(TraceThreshold, WritesOnlyLinesAboveThreshold) {
  const auto& c = GetParam();
  testsupport::LogCapture cap(c.level);
  LOG_CRITICAL("c");
  LOG_ERROR("e");
  LOG_WARNING("w");
  LOG_INFO("i");
  LOG_DEBUG1("d1");
  LOG_DEBUG2("d2");
  LOG_DEBUG3("d3");
  EXPECT_EQ(cap.contains("[CRITICAL]"), c.critical);
  EXPECT_EQ(cap.contains("[ERROR]"), c.error);
  EXPECT_EQ(cap.contains("[WARNING]"), c.warning);
  EXPECT_EQ(cap.contains("[INFO]"), c.info);
  EXPECT_EQ(cap.contains("[DEBUG1]"), c.debug);
  EXPECT_EQ(cap.contains("[DEBUG2]"), c.debug2);
  EXPECT_EQ(cap.contains("[DEBUG3]"), c.debug3);
}

INSTANTIATE_TEST_SUITE_P(Trace, TraceThreshold, ::testing::ValuesIn(kThresholds),
                         [](const auto& i) { return std::string(i.param.name); });

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
