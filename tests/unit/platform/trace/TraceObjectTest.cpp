#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <sstream>

#include "TestSupport.h"
#include "trace/LogLimit.h"
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

// No host path and no blank line in the log: the file's name, as in every
// line's prefix, and the detail's own line end dropped; an assertion alike.
TEST(Trace, SwerrIsWrittenWhateverTheLevelAsTwoLines) {
  testsupport::LogCapture cap(0);
  SWERR("Failed to join\n");
  FXS_ASSERT(cap.lines().empty(), "void f()");
  auto lines = cap.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("SWERR ERROR DETECTED: TraceObjectTest.cpp ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "Failed to join");
  EXPECT_EQ(lines[2].rfind("ASSERT FAILED: cap.lines().empty() at TraceObjectTest.cpp:", 0), 0u)
      << lines[2];
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

struct StampCase {
  const char* name;
  int64_t seconds;
  long nanoseconds;
  const char* want;
};
const StampCase kStampCases[] = {
    {"epoch", 0, 0, "1970-01-01T00:00:00.000Z"},
    // Milliseconds are cut, never rounded into the next second.
    {"last_nanosecond", 1798761599, 999999999, "2026-12-31T23:59:59.999Z"},
    {"leap_day", 1709164800, 5000000, "2024-02-29T00:00:00.005Z"},
    {"negative_nanoseconds", 60, -1, "1970-01-01T00:01:00.000Z"},
    {"nanoseconds_past_a_second", 60, 1000000000L, "1970-01-01T00:01:00.999Z"},
};
class UtcStamp : public ::testing::TestWithParam<StampCase> {};
TEST_P(UtcStamp, FormatsUtcWithMilliseconds) {
  char out[trace::UTC_STAMP_SIZE];
  size_t n = trace::formatUtcStamp(GetParam().seconds, GetParam().nanoseconds, out);
  EXPECT_EQ(std::string(out, n), GetParam().want);
}
INSTANTIATE_NAMED(Trace, UtcStamp, kStampCases);

// The stderr copy (the bench's main.log) carries the time; the syslog line
// and what a capture sink sees do not.
TEST(Trace, StderrMirrorLinesStartWithTheirUtcTime) {
  testsupport::LogCapture cap(6);
  std::string path = ::testing::TempDir() + "trace-mirror.txt";
  std::fflush(stderr);
  int saved = dup(STDERR_FILENO);
  int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  dup2(file, STDERR_FILENO);
  close(file);
  g_traceObject->setStderrMirror(true);
  LOG_ERROR("mirrored %d", 7);
  SWERR("detail");
  g_traceObject->setStderrMirror(false);
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);

  std::istringstream text(testsupport::readFile(path));
  const std::regex stamped(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (.*)$)");
  std::vector<std::string> bodies;
  for (std::string line; std::getline(text, line);) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, stamped)) << line;
    bodies.push_back(m[1]);
  }
  ASSERT_EQ(bodies.size(), 3u);
  EXPECT_NE(bodies[0].find("[ERROR] TraceObjectTest.cpp:"), std::string::npos) << bodies[0];
  EXPECT_EQ(bodies[1].rfind("SWERR ERROR DETECTED: ", 0), 0u);
  EXPECT_EQ(bodies[2], "detail");
  EXPECT_EQ(cap.lines()[0].rfind("[ERROR] ", 0), 0u);
}

// Text from outside must never start a line of its own or carry terminal
// control bytes into the log.
TEST(Trace, ControlCharactersAreWrittenEscaped) {
  struct Case {
    const char* name;
    std::string text;
    std::string shown;
  };
  const Case kCases[] = {
      {"forged_line", "x\n[ERROR] Ifc.cpp:1 (run) - forged",
       "x\\n[ERROR] Ifc.cpp:1 (run) - forged"},
      {"carriage_return", "a\rb", "a\\rb"},
      {"tab", "a\tb", "a\\tb"},
      {"bell_and_escape", "\x07\x1b[2J", "\\x07\\x1b[2J"},
      {"delete", "a\x7f", "a\\x7f"},
      {"high_bytes_kept", "caf\xc3\xa9 \xc5\x85 \xe2\x80\xa6 \xff~",
       "caf\xc3\xa9 \xc5\x85 \xe2\x80\xa6 \xff~"},
      {"backslash_kept", "a\\nb", "a\\nb"},
      // What Unicode-aware viewers break lines at.
      {"line_separator", "a\xe2\x80\xa8[ERROR] forged", "a\\xe2\\x80\\xa8[ERROR] forged"},
      {"paragraph_separator",
       "a\xe2\x80\xa9"
       "b",
       "a\\xe2\\x80\\xa9b"},
      {"next_line",
       "a\xc2\x85"
       "b",
       "a\\xc2\\x85"
       "b"},
      {"bare_next_line",
       "a\x85"
       "b",
       "a\\x85"
       "b"},
      {"other_c1_control",
       "a\xc2\x9b"
       "2J",
       "a\\xc2\\x9b"
       "2J"},
  };
  for (const Case& c : kCases) {
    testsupport::LogCapture cap(6);
    LOG_ERROR("server %s", c.text.c_str());
    ASSERT_EQ(cap.lines().size(), 1u) << c.name;
    const std::string line = cap.lines()[0];
    EXPECT_EQ(line.substr(line.find(" - ") + 3), "server " + c.shown) << c.name;
  }
  // A line end that the message itself ends with would show as a blank
  // line wherever the log is copied: it is dropped.
  testsupport::LogCapture cap(6);
  LOG_ERROR("Unknown msgid %d received\n", 7);
  ASSERT_EQ(cap.lines().size(), 1u);
  EXPECT_EQ(cap.lines()[0].substr(cap.lines()[0].size() - 9), " received");
}

// The figures: any rate up to kPerSecond is written in full for ever; a
// flood gets the burst, then kPerSecond lines a second, and one summary
// every kReportMs; a quiet spell gives the whole burst back.
TEST(RateLimit, WritesEveryLineUpToItsRateAndBoundsAFlood) {
  using trace::RateLimit;
  testsupport::LogCapture cap(6);
  RateLimit limit({trace::ERROR_ABOVE, 3, "ERROR", "Peer.cpp", 12, "onDatagram"});
  int64_t t = 1000000;
  const int64_t steadyMs = 1000 / RateLimit::kPerSecond;
  for (int i = 0; i < 3600 * static_cast<int>(RateLimit::kPerSecond); ++i, t += steadyMs)
    ASSERT_TRUE(limit.admit(t)) << "line " << i << " of an hour at the steady rate";

  // 30 s of one line a millisecond.
  unsigned admitted = 0;
  const unsigned flood = 30000;
  for (unsigned i = 0; i < flood; ++i, ++t) {
    admitted += limit.admit(t) ? 1 : 0;
    if (i % 100 == 0)
      limit.flush(t);
  }
  EXPECT_LE(admitted, RateLimit::kBurst + 30 * RateLimit::kPerSecond);
  EXPECT_GE(admitted, RateLimit::kBurst + 29 * RateLimit::kPerSecond);
  EXPECT_EQ(cap.count("similar messages suppressed"), 2u) << "one summary per 10 s held back";
  limit.flush(t + RateLimit::kReportMs);
  uint64_t reported = 0;
  for (const std::string& line : cap.lines()) {
    EXPECT_EQ(line.rfind("[ERROR] Peer.cpp:12 (onDatagram) - ", 0), 0u) << line;
    reported += std::stoull(line.substr(line.find(" - ") + 3));
  }
  EXPECT_EQ(reported, flood - admitted) << "every held-back line is counted once";

  // After a quiet spell of the burst's length the burst is back.
  t += RateLimit::kReportMs + 1000 * RateLimit::kBurst / RateLimit::kPerSecond;
  for (unsigned i = 0; i < RateLimit::kBurst; ++i)
    EXPECT_TRUE(limit.admit(t)) << i;
  EXPECT_FALSE(limit.admit(t));
}

void floodFromOneSite(int n) {
  for (int i = 0; i < n; ++i)
    LOG_WARNING("datagram %d rejected", i);
}

// Every call site has its own limit, SWERR ones too, whatever the level.
TEST(RateLimit, EachCallSiteHasItsOwnLimit) {
  testsupport::LimitClock clock;
  testsupport::LogCapture cap(6);
  floodFromOneSite(150);
  LOG_WARNING("another site");
  EXPECT_EQ(cap.count("datagram "), trace::RateLimit::kBurst);
  EXPECT_EQ(cap.count("datagram 99 rejected"), 1u) << "the first lines are the ones written";
  EXPECT_EQ(cap.count("another site"), 1u);
  clock.advance(trace::RateLimit::kReportMs);
  trace::flushSuppressed();
  EXPECT_EQ(cap.count("(floodFromOneSite) - 50 similar messages suppressed"), 1u);
  EXPECT_EQ(cap.count("similar messages suppressed"), 1u);

  testsupport::LogCapture quiet(0);
  for (int i = 0; i < 150; ++i)
    SWERR("queue full %d", i);
  EXPECT_EQ(quiet.count("SWERR ERROR DETECTED"), trace::RateLimit::kBurst);
  clock.advance(trace::RateLimit::kReportMs);
  trace::flushSuppressed();
  EXPECT_EQ(quiet.count("[ERROR] TraceObjectTest.cpp:"), 1u);
}

}  // namespace
