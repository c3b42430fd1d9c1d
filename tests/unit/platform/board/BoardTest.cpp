// Board driver replies: the slot answer, an absent and a hung driver.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
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

// A driver that takes the connection but never answers costs the caller
// one short wait; for a second after it the slot is not asked for again.
TEST(Board, HungDriverIsWaitedForOncePerSecond) {
  const char* path = "/tmp/hung-board.sock";
  ::unlink(path);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path, sizeof a.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(listen(fd, 64), 0);
  boardUtils board(path);
  int slot = 7;
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i)
    EXPECT_FALSE(board.getSlotNum(slot));
  auto took = std::chrono::steady_clock::now() - t0;
  EXPECT_GE(took, std::chrono::milliseconds(200)) << "the driver was not waited for";
  EXPECT_LT(took, std::chrono::seconds(1))
      << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
      << " ms for 20 passes of the main loop";
  EXPECT_EQ(slot, 7);
  close(fd);
  ::unlink(path);
}

}  // namespace
