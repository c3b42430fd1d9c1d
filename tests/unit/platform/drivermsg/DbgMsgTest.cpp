#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "drivermsg/dbgMsg.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct EncodeCase {
  const char* name;
  std::string text;
  size_t size;  // 0: refused
};

const EncodeCase kCases[] = {
    {"ready_answer", "", 5},
    {"command_line", "main internals", 4 + 14 + 1},
    {"longest_text", std::string(dbgmsg::MAX_TEXT, 'a'), mainqueue::MAX_MSG_SIZE},
    {"one_character_too_long", std::string(dbgmsg::MAX_TEXT + 1, 'a'), 0},
};

class DbgMsgEncode : public ::testing::TestWithParam<EncodeCase> {};

// The text follows the id and always ends in a NUL, within one queue message.
TEST_P(DbgMsgEncode, IdTextAndTerminator) {
  const auto& c = GetParam();
  Bytes msg = dbgmsg::encode(c.text);
  ASSERT_EQ(msg.size(), c.size);
  if (c.size == 0)
    return;
  EXPECT_EQ(Bytes(msg.begin(), msg.begin() + 4), (Bytes{0x84, 0x03, 0, 0}));
  EXPECT_EQ(std::string(msg.begin() + 4, msg.end() - 1), c.text);
  EXPECT_EQ(msg.back(), 0);
}

INSTANTIATE_NAMED(Wire, DbgMsgEncode, kCases);

}  // namespace
