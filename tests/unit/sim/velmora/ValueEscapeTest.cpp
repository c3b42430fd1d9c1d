// The stand-in's configuration file keeps values on one line each: what
// escapeValue writes, unescapeValue reads back, and damaged escapes are
// refused rather than guessed.
#include <gtest/gtest.h>

#include <string>

#include "VelmoraEngine.h"

namespace {

TEST(ValueEscape, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int c = 0; c < 256; ++c)
    all += static_cast<char>(c);
  std::string escaped = velmora::escapeValue(all);
  EXPECT_EQ(escaped.find('\n'), std::string::npos);
  std::string back;
  ASSERT_TRUE(velmora::unescapeValue(escaped, back));
  EXPECT_EQ(back, all);
}

TEST(ValueEscape, HexDigitsOfEitherCase) {
  std::string out;
  ASSERT_TRUE(velmora::unescapeValue("a\\x1Fb\\x7fc\\x00", out));
  EXPECT_EQ(out, std::string("a\x1f"
                             "b\x7f"
                             "c\0",
                             6));
}

TEST(ValueEscape, DamagedEscapesAreRefused) {
  for (const char* bad :
       {"\\", "x\\q", "\\x", "\\x4", "\\x4g", "\\xg4", "\\x+4", "\\x-4", "\\x 4"}) {
    std::string out;
    EXPECT_FALSE(velmora::unescapeValue(bad, out)) << bad;
  }
}

}  // namespace
