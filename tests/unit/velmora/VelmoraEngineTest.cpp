#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "VelmoraEngine.h"

using namespace velmora;
using velmwire::Op;
using velmwire::Request;

namespace {

using testsupport::readFile;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir("/vocal", 0755);
    std::remove(m_cfg.c_str());
  }

  Engine makeEngine() {
    Engine e(m_cfg, [this](const std::string& l) { m_log.push_back(l); });
    e.start();
    return e;
  }

  int32_t call(Engine& e, Op op, const char* name, int32_t i1, int32_t i2, const char* value = "",
               std::string* out = nullptr) {
    Request r{op, ++m_seq, i1, i2, name, value};
    velmwire::Reply rep = e.handle(r);
    EXPECT_EQ(rep.seq, m_seq);
    EXPECT_EQ(rep.op, op);
    if (out)
      *out = std::string(rep.value);
    return rep.rc;
  }

  std::string get(Engine& e, const char* name, int32_t i1 = -1, int32_t i2 = -1) {
    std::string v;
    EXPECT_EQ(call(e, Op::GET, name, i1, i2, "", &v), 0) << name;
    return v;
  }

  bool logHas(const std::string& text) const {
    for (const auto& l : m_log)
      if (l.find(text) != std::string::npos)
        return true;
    return false;
  }

  std::string m_cfg = "/vocal/velm.cfg";
  std::vector<std::string> m_log;
  uint32_t m_seq = 0;
};

}  // namespace

TEST_F(EngineTest, SetValuesAreKeptPerIndexAndAsGiven) {
  Engine e = makeEngine();
  EXPECT_EQ(get(e, "ata_firmware_revision"), "velmora 2.4.1 (bench)");
  EXPECT_EQ(call(e, Op::SET, "ipbx_fc_do_not_disturb_enable", 4, -1, "072"), 0);
  EXPECT_EQ(call(e, Op::SET, "ipbx_speed_dial_array_", 1, 5, " 0x20, odd text\t"), 0);
  EXPECT_EQ(get(e, "ipbx_fc_do_not_disturb_enable", 4), "072");
  EXPECT_EQ(get(e, "ipbx_fc_do_not_disturb_enable", 3), "78") << "other lines keep the default";
  EXPECT_EQ(get(e, "ipbx_speed_dial_array_", 1, 5), " 0x20, odd text\t");
  EXPECT_EQ(get(e, "ipbx_speed_dial_array_", 1, 6), "");
  std::string v = "untouched";
  EXPECT_NE(call(e, Op::GET, "ipbx_speed_dial_array_", 1, 40, "", &v), 0);
}

TEST_F(EngineTest, CommitWritesEverySetValueAndAStartLoadsIt) {
  {
    Engine e = makeEngine();
    call(e, Op::SET, "ipbx_line_name", 2, 0, "Reception\nfront\\desk");
    call(e, Op::SET, "ipbx_interdigit_duration", -1, -1, "3000");
    call(e, Op::SET, "sip_user_agent", -1, -1, "");
    call(e, Op::SET, "ipbx_interdigit_duration", -1, -1, "3500");  // one line per value
    EXPECT_EQ(call(e, Op::COMMIT, "", -1, -1), 0);
  }
  std::string text = readFile(m_cfg);
  EXPECT_NE(text.find("ipbx_interdigit_duration -1 -1 3500\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("3000"), std::string::npos);
  EXPECT_NE(text.find("ipbx_line_name 2 0 Reception\\nfront\\\\desk\n"), std::string::npos);
  EXPECT_NE(text.find("sip_user_agent -1 -1 \n"), std::string::npos);
  struct stat st {};
  EXPECT_NE(::stat((m_cfg + ".tmp").c_str(), &st), 0) << "temporary file left behind";

  Engine again = makeEngine();
  EXPECT_EQ(get(again, "ipbx_line_name", 2, 0), "Reception\nfront\\desk");
  EXPECT_EQ(get(again, "ipbx_interdigit_duration"), "3500");
  EXPECT_EQ(get(again, "sip_user_agent"), "");
  EXPECT_TRUE(logHas("3 committed values loaded"));
}

TEST_F(EngineTest, MalformedConfigurationLinesAreSkipped) {
  std::ofstream(m_cfg) << "# comment\n"
                       << "ipbx_mode 3 -1 5\n"
                       << "ipbx_mode 9 -1 5\n"           // index out of range
                       << "no_such_param -1 -1 x\n"      // unknown
                       << "ipbx_mode x -1 5\n"           // not a number
                       << "ipbx_mode 4\n"                // too few fields
                       << "ipbx_line_name 1 0 bad\\q\n"  // bad escape
                       << "ipbx_line_name 1 0 ok\\x41\n";
  Engine e = makeEngine();
  EXPECT_EQ(get(e, "ipbx_mode", 3), "5");
  EXPECT_EQ(get(e, "ipbx_mode", 4), "1");
  EXPECT_EQ(get(e, "ipbx_line_name", 1, 0), "okA");
  EXPECT_TRUE(logHas("5 malformed lines"));
}

TEST_F(EngineTest, CommitFailureIsReportedAndKeepsTheOldFile) {
  m_cfg = "/vocal/missing-dir/velm.cfg";
  Engine e = makeEngine();
  call(e, Op::SET, "ipbx_mode", 1, -1, "7");
  EXPECT_EQ(call(e, Op::COMMIT, "", -1, -1), velmwire::RC_IO);
  EXPECT_TRUE(logHas("commit -> -5"));
}

// Masked also when the write is refused, and in the dump.
TEST_F(EngineTest, CredentialsAreMaskedEvenWhenRefused) {
  Engine e = makeEngine();
  call(e, Op::SET, "auth_user_password", 3, -1, "hunter2");
  call(e, Op::SET, "auth_user_name", 99, -1, "alice");
  EXPECT_TRUE(logHas("set auth_user_name 99 -1 = ***** -> -22"));
  for (const char* secret : {"hunter2", "alice"})
    EXPECT_FALSE(logHas(secret)) << secret;
  for (const auto& l : e.dumpLines("auth_user_password"))
    EXPECT_EQ(l.find("hunter2"), std::string::npos) << l;
}

TEST_F(EngineTest, DumpPagesCoverEveryLineOnce) {
  Engine e = makeEngine();
  std::string big(3000, 'x');
  for (int line = 0; line < 8; ++line)
    for (int entry = 0; entry < 40; ++entry)
      call(e, Op::SET, "ipbx_speed_dial_array_", line, entry, big.c_str());
  std::vector<std::string> want = e.dumpLines("");
  std::string all;
  int32_t next = 0;
  int pages = 0;
  do {
    std::string page;
    Request r{Op::DUMP, 1, next, -1, "", ""};
    velmwire::Reply rep = e.handle(r);
    page = std::string(rep.value);
    ASSERT_LE(page.size(), velmwire::MAX_VALUE_LEN);
    ASSERT_TRUE(rep.rc == 0 || rep.rc > next) << "no progress at " << next;
    next = rep.rc;
    all += page;
    ++pages;
  } while (next != 0 && pages < 1000);
  std::string joined;
  for (const auto& l : want)
    joined += l + "\n";
  EXPECT_EQ(all, joined);
  EXPECT_GT(pages, 1);
  EXPECT_NE(all.find("ipbx_speed_dial_array_[8][40] default = \n"), std::string::npos);
  EXPECT_NE(all.find("ipbx_speed_dial_array_[7][39] = xxx"), std::string::npos);
}

TEST(ConfigEscape, RoundTripsEveryByte) {
  std::string all;
  for (int c = 0; c < 256; ++c)
    all += static_cast<char>(c);
  std::string text = escapeValue(all);
  EXPECT_EQ(text.find('\n'), std::string::npos);
  std::string back;
  ASSERT_TRUE(unescapeValue(text, back));
  EXPECT_EQ(back, all);
  for (const char* bad : {"\\", "a\\x4", "\\x4g", "\\t"})
    EXPECT_FALSE(unescapeValue(bad, back)) << bad;
}
