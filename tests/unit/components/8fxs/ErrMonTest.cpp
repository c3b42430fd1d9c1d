#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "errMon.h"

namespace {

struct HighwaterCase {
  const char* name;
  const char* errors;    // "name:level ...", registered in this order
  const char* steps;     // "+name" raises, "-name" clears
  const char* wantName;  // "" = no highwater
  int wantLevel;
};

// The map orders by name, whatever the registration order.
const HighwaterCase kHighwaterCases[] = {
    {"none_active", "a:0 b:1", "", "", 0},
    {"single", "a:0 b:1", "+a", "a", 0},
    {"higher_takes_over", "a:0 b:1", "+a +b", "b", 1},
    {"lower_does_not_displace", "a:0 b:1", "+b +a", "b", 1},
    {"equal_level_keeps_current", "x:1 m:1", "+x +m", "x", 1},
    {"clear_highwater_falls_to_first_in_name_order", "z:2 c:1 b:1", "+z +c +b -z", "b", 1},
    {"clear_last_resets", "a:0 b:1", "+b -b", "", 0},
    {"clear_lower_keeps_highwater", "a:0 b:1", "+a +b -a", "b", 1},
    {"unknown_name_fails", "a:0", "+nope", "", 0},
    {"repeat_state_is_noop", "a:2", "+a +a", "a", 2},
    {"shorter_name_first_on_prefix", "ab:1 a:1 top:2", "+top +ab +a -top", "a", 1},
};

class ErrMonHighwater : public ::testing::TestWithParam<HighwaterCase> {};

TEST_P(ErrMonHighwater, FollowsRules) {
  testsupport::LogCapture logs;
  errMon mon;
  std::istringstream errors(GetParam().errors), steps(GetParam().steps);
  std::set<std::string> known;
  for (std::string e; errors >> e;) {
    size_t colon = e.find(':');
    known.insert(e.substr(0, colon));
    ASSERT_TRUE(mon.addError(e.substr(0, colon), std::stoul(e.substr(colon + 1))));
  }
  for (std::string s; steps >> s;)
    EXPECT_EQ(mon.setState(s.substr(1), s[0] == '+'), known.count(s.substr(1)) == 1) << s;
  ErrorState hw;
  ASSERT_TRUE(mon.getHighwater(hw));
  EXPECT_EQ(hw.name, GetParam().wantName);
  EXPECT_EQ(hw.error_level, GetParam().wantLevel);
  EXPECT_EQ(hw.active, std::strlen(GetParam().wantName) > 0);
}

INSTANTIATE_NAMED(Rules, ErrMonHighwater, kHighwaterCases);

TEST(ErrMon, AddRejectsDuplicateAndIllegalLevel) {
  testsupport::LogCapture logs;
  errMon mon;
  EXPECT_TRUE(mon.addError("PCA", 2));
  EXPECT_FALSE(mon.addError("PCA", 0));
  EXPECT_TRUE(logs.contains("trying to add an already existing error PCA"));
  EXPECT_FALSE(mon.addError("bad", 3));
  EXPECT_TRUE(logs.contains("Illegal error level 3"));
  EXPECT_TRUE(logs.contains("SWERR ERROR DETECTED: "));
  EXPECT_EQ(mon.find("bad"), nullptr);
}

TEST(ErrMon, LogsTransitionsAndHighwaterOnlyWhenItChanges) {
  testsupport::LogCapture logs;
  errMon mon;
  mon.addError("low", 0);
  mon.addError("high", 1);
  mon.setState("high", true);
  EXPECT_EQ(logs.count("highwater: high (level=1)"), 1u);
  struct {
    bool active;
    const char* level;  // "" = nothing logged
    const char* text;
  } steps[] = {
      {true, "[ERROR] ", "low: 0 -> 1"}, {false, "[INFO] ", "low: 1 -> 0"}, {false, "", ""}};
  for (const auto& s : steps) {
    logs.clear();
    mon.setState("low", s.active);
    ASSERT_EQ(logs.lines().size(), *s.level ? 1u : 0u) << "no highwater line";
    if (*s.level) {
      EXPECT_TRUE(logs.contains(s.level) && logs.contains(s.text)) << s.text;
    }
  }
}

TEST(ErrMon, RepeatedStateKeepsCountersAndTime) {
  errMon mon;
  mon.addError("e", 1);
  mon.setState("e", true);
  const ErrorObject* obj = mon.find("e");
  ASSERT_NE(obj, nullptr);
  timeval first = obj->lastModified();
  EXPECT_NE(first.tv_sec, 0);
  mon.setState("e", true);
  EXPECT_EQ(obj->nrActives(), 1);
  EXPECT_EQ(obj->lastModified().tv_sec, first.tv_sec);
  EXPECT_EQ(obj->lastModified().tv_usec, first.tv_usec);
  mon.setState("e", false);
  mon.setState("e", true);
  EXPECT_EQ(obj->nrActives(), 2);
}

TEST(ErrMon, UnknownNamesForQueries) {
  testsupport::LogCapture logs;
  errMon mon;
  mon.addError("known", 0);
  EXPECT_FALSE(mon.isActive("missing"));
  EXPECT_FALSE(logs.contains("SWERR"));
  bool active = true;
  EXPECT_FALSE(mon.getActive("missing", active));
  EXPECT_TRUE(logs.contains("element not found missing"));
  mon.setState("known", true);
  EXPECT_TRUE(mon.getActive("known", active) && active);
  EXPECT_TRUE(mon.isActive("known"));
}

// The console's hwstatus shows this dump; its buffer is fixed.
TEST(ErrMon, DumpOrderAndBounds) {
  testsupport::LogCapture logs;
  errMon mon;
  for (const char* n : {"two", "one", "three"})
    mon.addError(n, 0);
  mon.setState("two", true);
  char big[2048];
  ASSERT_TRUE(mon.dump(big, sizeof big));
  std::string text(big);
  auto at = [&](const std::string& n) { return text.find("m_name                  : " + n); };
  size_t hw = text.find("m_highwater.name          : two\n");
  EXPECT_TRUE(hw < at("one") && at("one") < at("three") && at("three") < at("two")) << text;
  EXPECT_NE(at("two"), std::string::npos);
  EXPECT_NE(text.find("m_nr_actives            : 1\nm_active                : TRUE\n"),
            std::string::npos);
  for (int size : {1, 5, 40, 150, 300}) {
    std::vector<char> buf(static_cast<size_t>(size) + 16, '#');
    ASSERT_TRUE(mon.dump(buf.data(), size));
    EXPECT_EQ(std::string(buf.data()), text.substr(0, static_cast<size_t>(size) - 1)) << size;
    for (size_t i = static_cast<size_t>(size); i < buf.size(); ++i)
      ASSERT_EQ(buf[i], '#') << "overrun at size " << size;
  }
  EXPECT_FALSE(mon.dump(nullptr, 10));
  EXPECT_TRUE(logs.contains("NULL pointer parameter"));
}

}  // namespace
