// The chassis controller's view: the lines it reports as polls come in,
// the reading it decodes from a card's answer, and what its page shows.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "Chassis.h"
#include "TestSupport.h"
#include "icsc/IcscWire.h"

namespace {

using chassis::Alarm;
using chassis::Chassis;
using chassis::Reading;

Reading card(const std::string& state, std::vector<Alarm> alarms = {}) {
  Reading r;
  r.state = state;
  r.alarms = std::move(alarms);
  r.sensors = {{"local", 42, true}, {"common.1", 99, false}, {"common.2", 39, true}};
  r.loadware = "abc123";
  return r;
}

struct Poll {
  std::optional<Reading> reading;  // none: no answer
  std::vector<std::string> lines;  // what the controller reports
};
struct SequenceCase {
  const char* name;
  std::vector<Poll> polls;  // of slot 3
};
const Alarm kTemp{"MAX6602 TempSensor", true}, kClock{"DPLL", false};
const SequenceCase kSequences[] = {
    {"state_changes_and_alarms",
     {{card("SELF_TESTS_BUSY"), {"slot 3: card found: state SELF_TESTS_BUSY, loadware abc123"}},
      {card("SELF_TESTS_BUSY"), {}},
      {card("ACTIVE"), {"slot 3: state SELF_TESTS_BUSY -> ACTIVE"}},
      {card("ACTIVE", {kTemp, kClock}),
       {"slot 3: hardware alarm raised: MAX6602 TempSensor",
        "slot 3: operational alarm raised: DPLL"}},
      {card("ACTIVE", {kClock}), {"slot 3: hardware alarm cleared: MAX6602 TempSensor"}}}},
    {"lost_after_three_missed_polls_and_back",
     {{card("ACTIVE", {kTemp}),
       {"slot 3: card found: state ACTIVE, loadware abc123",
        "slot 3: hardware alarm raised: MAX6602 TempSensor"}},
      {std::nullopt, {}},
      {std::nullopt, {}},
      {std::nullopt, {"slot 3: card lost: no answer to 3 polls"}},
      {std::nullopt, {}},
      {card("SELF_TESTS_BUSY"),
       {"slot 3: card back after 4 unanswered polls: state SELF_TESTS_BUSY",
        "slot 3: hardware alarm cleared: MAX6602 TempSensor"}}}},
    {"two_missed_polls_are_no_loss",
     {{card("ACTIVE"), {"slot 3: card found: state ACTIVE, loadware abc123"}},
      {std::nullopt, {}},
      {std::nullopt, {}},
      {card("ACTIVE"), {}}}},
    {"a_card_never_seen_is_never_lost",
     {{std::nullopt, {}}, {std::nullopt, {}}, {std::nullopt, {}}, {std::nullopt, {}}}},
    {"card_text_is_escaped",
     {{card("ACT\nIVE", {{"bad\xe2\x80\xa8name", true}}),
       {"slot 3: card found: state ACT\\x0aIVE, loadware abc123",
        "slot 3: hardware alarm raised: bad\\xe2\\x80\\xa8name"}}}},
};

class PollSequence : public ::testing::TestWithParam<SequenceCase> {};
TEST_P(PollSequence, ReportsEachChangeOnce) {
  Chassis c({1, 3}, 3);
  int n = 0;
  for (const Poll& p : GetParam().polls) {
    EXPECT_EQ(c.record(3, p.reading), p.lines) << "poll " << n;
    EXPECT_TRUE(c.record(1, std::nullopt).empty());
    ++n;
  }
}
INSTANTIATE_NAMED(Chassis, PollSequence, kSequences);

// An answer cell by cell, as the card gives it for the cells asked.
std::vector<ICSCTlv> answer(const std::vector<ICSCTlv>& asked) {
  std::vector<ICSCTlv> a = asked;
  for (ICSCTlv& c : a)
    c.status = 11;  // row out of range: a card with fewer rows
  a[0] = testsupport::cellOf(a[0].oid, IcscType::STRING, 0, "ACTIVE");
  a[1] = testsupport::cellOf(a[1].oid, IcscType::U32, 0x0102);
  a[5] = testsupport::cellOf(a[5].oid, IcscType::STRING, 0, "PowerMon");
  a[6] = testsupport::cellOf(a[6].oid, IcscType::BOOL, 1);
  a[7] = testsupport::cellOf(a[7].oid, IcscType::STRING, 0, "ADC");
  a[8] = testsupport::cellOf(a[8].oid, IcscType::BOOL, 0);
  return a;
}

TEST(ChassisReading, TakesWhatTheCardServes) {
  std::vector<ICSCTlv> asked = chassis::pollCells();
  ASSERT_LE(asked.size(), icscwire::MAX_CELLS);
  std::optional<Reading> r = chassis::readingOf(answer(asked));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->state, "ACTIVE");
  EXPECT_EQ(r->ledsOn, 0x0102u);
  ASSERT_EQ(r->alarms.size(), 1u);
  EXPECT_EQ(r->alarms[0].name, "PowerMon");
  EXPECT_TRUE(r->sensors.empty());

  std::vector<ICSCTlv> noState = answer(asked);
  noState[0].status = 6;
  EXPECT_FALSE(chassis::readingOf(noState));
  asked.pop_back();
  EXPECT_FALSE(chassis::readingOf(answer(asked)));
}

TEST(ChassisPage, LightsTheAlarmLedOfTheSlotWithAnAlarmOrLostOnly) {
  Chassis c({1, 2, 3}, 1);
  c.record(1, card("ACTIVE"));
  c.record(2, card("ACTIVE"));
  c.record(3, card("ACTIVE", {{"<b>hot</b>", true}}));
  c.record(2, std::nullopt);
  std::string page = c.page("now", 1);
  EXPECT_NE(page.find("id=\"slot1\" style=\"left:10px\"><div class=\"num\">slot 1</div><div "
                      "class=\"alarm\""),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("<div class=\"slot lost\" id=\"slot2\""), std::string::npos);
  EXPECT_NE(page.find("slot 2</div><div class=\"alarm on\""), std::string::npos);
  EXPECT_NE(page.find("slot 3</div><div class=\"alarm on\""), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;hot&lt;/b&gt;"), std::string::npos);
  EXPECT_EQ(page.find("<b>hot"), std::string::npos);
  EXPECT_NE(page.find("hottest: local 42 &deg;C"), std::string::npos);
}

}  // namespace
