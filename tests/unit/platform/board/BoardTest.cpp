// Board driver replies: the slot answer and an absent driver.
#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "board/boardUtils.h"

namespace {

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

INSTANTIATE_NAMED(Board, SlotReply, kSlotCases);

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

}  // namespace
