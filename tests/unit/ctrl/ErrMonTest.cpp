#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "errMon.h"

namespace {

struct Step {
  const char* name;
  bool active;
  bool wantResult;
};

struct HighwaterCase {
  const char* title;
  std::vector<std::pair<const char*, unsigned>> errors;
  std::vector<Step> steps;
  const char* wantName;  // "" = no highwater
  int wantLevel;
};

// Errors are registered in this order; map order is by name.
const HighwaterCase kHighwaterCases[] = {
    {"none_active", {{"a", 0}, {"b", 1}}, {}, "", 0},
    {"single", {{"a", 0}, {"b", 1}}, {{"a", true, true}}, "a", 0},
    {"higher_takes_over", {{"a", 0}, {"b", 1}}, {{"a", true, true}, {"b", true, true}}, "b", 1},
    {"lower_does_not_displace",
     {{"a", 0}, {"b", 1}},
     {{"b", true, true}, {"a", true, true}},
     "b",
     1},
    {"equal_level_keeps_current",
     {{"x", 1}, {"m", 1}},
     {{"x", true, true}, {"m", true, true}},
     "x",
     1},
    {"clear_highwater_falls_to_first_in_name_order",
     {{"z", 2}, {"c", 1}, {"b", 1}},
     {{"z", true, true}, {"c", true, true}, {"b", true, true}, {"z", false, true}},
     "b",
     1},
    {"clear_last_resets", {{"a", 0}, {"b", 1}}, {{"b", true, true}, {"b", false, true}}, "", 0},
    {"clear_lower_keeps_highwater",
     {{"a", 0}, {"b", 1}},
     {{"a", true, true}, {"b", true, true}, {"a", false, true}},
     "b",
     1},
    {"unknown_name_fails", {{"a", 0}}, {{"nope", true, false}}, "", 0},
    {"repeat_state_is_noop", {{"a", 2}}, {{"a", true, true}, {"a", true, true}}, "a", 2},
    {"shorter_name_first_on_prefix",
     {{"ab", 1}, {"a", 1}, {"top", 2}},
     {{"top", true, true}, {"ab", true, true}, {"a", true, true}, {"top", false, true}},
     "a",
     1},
};

class ErrMonHighwater : public ::testing::TestWithParam<HighwaterCase> {};

TEST_P(ErrMonHighwater, FollowsRules) {
  testsupport::LogCapture logs;
  errMon mon;
  for (const auto& e : GetParam().errors)
    ASSERT_TRUE(mon.addError(e.first, e.second));
  for (const auto& s : GetParam().steps)
    EXPECT_EQ(mon.setState(s.name, s.active), s.wantResult) << s.name;
  ErrorState hw;
  ASSERT_TRUE(mon.getHighwater(hw));
  EXPECT_EQ(hw.name, GetParam().wantName);
  EXPECT_EQ(hw.error_level, GetParam().wantLevel);
  EXPECT_EQ(hw.active, std::strlen(GetParam().wantName) > 0);
}

INSTANTIATE_TEST_SUITE_P(Rules, ErrMonHighwater, ::testing::ValuesIn(kHighwaterCases),
                         [](const auto& i) { return std::string(i.param.title); });

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
  logs.clear();
  mon.setState("low", true);
  EXPECT_TRUE(logs.contains("[ERROR] "));
  EXPECT_TRUE(logs.contains("low: 0 -> 1"));
  EXPECT_FALSE(logs.contains("highwater:"));
  logs.clear();
  mon.setState("low", false);
  EXPECT_TRUE(logs.contains("[INFO] "));
  EXPECT_TRUE(logs.contains("low: 1 -> 0"));
  logs.clear();
  mon.setState("low", false);
  EXPECT_TRUE(logs.lines().empty());
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
  EXPECT_TRUE(mon.getActive("known", active));
  EXPECT_FALSE(active);
  mon.setState("known", true);
  EXPECT_TRUE(mon.getActive("known", active));
  EXPECT_TRUE(active);
  EXPECT_TRUE(mon.isActive("known"));
}

TEST(ErrorObject, GetDataAndDumpRejectNull) {
  testsupport::LogCapture logs;
  ErrorObject obj("x", 1);
  EXPECT_FALSE(obj.getData(nullptr));
  EXPECT_FALSE(obj.dump(nullptr, 10));
  EXPECT_EQ(logs.count("NULL pointer parameter"), 2u);
}

TEST(ErrMon, DumpListsHighwaterThenObjectsInNameOrder) {
  errMon mon;
  mon.addError("b_err", 1);
  mon.addError("a_err", 0);
  mon.setState("b_err", true);
  char buf[2048];
  ASSERT_TRUE(mon.dump(buf, sizeof buf));
  std::string text(buf);
  EXPECT_EQ(text.rfind("m_highwater.active        : TRUE\n"
                       "m_highwater.name          : b_err\n"
                       "m_highwater.error_level   : 1\n"
                       "\n"
                       "Error Monitor Error Objects\n"
                       "===========================\n\n"
                       "m_name                  : a_err\n"
                       "m_error_level           : 0\n",
                       0),
            0u);
  EXPECT_NE(text.find("m_nr_actives            : 0\nm_active                : FALSE\n\n"
                      "m_name                  : b_err\n"),
            std::string::npos);
  EXPECT_NE(text.find("m_nr_actives            : 1\nm_active                : TRUE\n\n"),
            std::string::npos);
}

TEST(ErrMon, DumpNeverWritesPastSize) {
  errMon mon;
  for (const char* n : {"one", "two", "three"})
    mon.addError(n, 0);
  for (int size : {1, 5, 40, 150, 300}) {
    std::vector<char> buf(static_cast<size_t>(size) + 16, '#');
    ASSERT_TRUE(mon.dump(buf.data(), size));
    EXPECT_EQ(buf[static_cast<size_t>(size) - 1], '\0') << size;
    EXPECT_LT(std::strlen(buf.data()), static_cast<size_t>(size));
    for (size_t i = static_cast<size_t>(size); i < buf.size(); ++i)
      ASSERT_EQ(buf[i], '#') << "overrun at size " << size;
  }
}

}  // namespace
