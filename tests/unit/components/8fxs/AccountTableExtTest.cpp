#include <gtest/gtest.h>

#include "AccountTableExt.h"
#include "FakeIptables.h"
#include "SipMediaRules.h"
#include "TestSupport.h"

namespace {

// Lets a test play the velmora side refusing a write.
class TestAccountTable : public AccountTableExt {
 public:
  using AccountTableExt::AccountTableExt;
  bool velmAccepts = true;

 protected:
  bool accountUpdated(IcscProperty*, unsigned) override { return velmAccepts; }
};

class AccountFirewall : public ::testing::Test {
 protected:
  bool writeServer(unsigned row, unsigned column, const std::string& text) {
    IcscProperty* prop = table.getProp(column);
    prop->setValueAt(row, text);
    prop->selectRow(row);
    return table.updated(prop, row);
  }
  void enable(unsigned row, bool on) { table.setPropproviderEnable(row, on); }

  static constexpr unsigned kReg = AccountTableBase::OBJ_ACCOUNT_REGISTERDOMAINNAME;
  static constexpr unsigned kProxy = AccountTableBase::OBJ_ACCOUNT_PROXYDOMAINNAME;
  static constexpr unsigned kAuth = AccountTableBase::OBJ_ACCOUNT_AUTHDOMAINNAME;

  testsupport::LogCapture log;
  FakeIptables iptables;
  TestAccountTable table{nullptr, &iptables};
};

TEST_F(AccountFirewall, SixRulesOnceForASharedServer) {
  enable(0, true);
  enable(1, true);
  ASSERT_TRUE(writeServer(0, kReg, "10.20.30.40:5080"));
  ASSERT_EQ(iptables.calls.size(), 1u);
  EXPECT_TRUE(iptables.calls[0].add);
  EXPECT_EQ(iptables.calls[0].rules, sipmedia::serverRules("10.20.30.40", 5080));
  EXPECT_TRUE(log.contains("adding rules for 10.20.30.40:5080"));

  ASSERT_TRUE(writeServer(1, kProxy, "10.20.30.40:5080"));
  EXPECT_TRUE(log.contains("ip and port already allowed"));
  EXPECT_EQ(iptables.calls.size(), 1u);
  EXPECT_EQ(table.allowedServers(), std::set<std::string>{"10.20.30.40:5080"});
}

TEST_F(AccountFirewall, ChangedRegistrarOpensNewThenClosesOld) {
  enable(0, true);
  ASSERT_TRUE(writeServer(0, kReg, "10.20.30.40:5060"));
  ASSERT_TRUE(writeServer(0, kReg, "10.20.30.41:5060"));
  ASSERT_EQ(iptables.calls.size(), 3u);
  EXPECT_TRUE(iptables.calls[1].add);
  EXPECT_EQ(iptables.calls[1].rules, sipmedia::serverRules("10.20.30.41", 5060));
  EXPECT_FALSE(iptables.calls[2].add);
  EXPECT_EQ(iptables.calls[2].rules, sipmedia::serverRules("10.20.30.40", 5060));
  EXPECT_EQ(table.allowedServers(), std::set<std::string>{"10.20.30.41:5060"});
}

TEST_F(AccountFirewall, DisabledProviderIsClosedAtTheNextServerWrite) {
  enable(0, true);
  ASSERT_TRUE(writeServer(0, kAuth, "10.20.30.40:5060"));
  enable(0, false);
  // Writing any server text on a disabled row installs nothing but cleans up.
  for (const char* text : {"", "0.0.0.0:5060", "10.9.9.9:5060"})
    ASSERT_TRUE(writeServer(3, kReg, text)) << text;
  ASSERT_EQ(iptables.calls.size(), 2u);
  EXPECT_FALSE(iptables.calls[1].add);
  EXPECT_TRUE(table.allowedServers().empty());
}

TEST_F(AccountFirewall, BadServerTextsAreRefusedWithTheirLogLines) {
  enable(0, true);
  for (const char* text : {"10.20.30.40", "10.20.30.40:0", "10.20.30.40:65536", "1.2.3:5060",
                           "abcdefgh:5060", "10.20.30.40:x"}) {
    log.clear();
    EXPECT_FALSE(writeServer(0, kReg, text)) << text;
    EXPECT_TRUE(log.contains(std::string("this is not string with ip and port: ") + text)) << text;
    EXPECT_TRUE(log.contains(std::string("adding rules for ip ") + text + " failed")) << text;
  }
  EXPECT_TRUE(iptables.calls.empty());
  // A host name with a dot passes here; the firewall component checks it.
  ASSERT_TRUE(writeServer(0, kReg, "sip.provider.example:5060"));
  ASSERT_EQ(iptables.calls.size(), 1u);
  EXPECT_EQ(iptables.calls[0].rules[0].sourceAddress().address, "sip.provider.example");
}

// The reading of a server text is fixed: the address up to the first ":",
// the port a decimal number up to the first character that is not part of
// it; a text that holds 0.0.0.0 anywhere stands for no server.
TEST_F(AccountFirewall, ServerTextsAreReadAsTheCardDefines) {
  struct Case {
    const char* text;
    bool answer;
    const char* opens;  // address filter of the rules opened, "" for none
    int port;
  };
  const Case kCases[] = {
      {"10.20.30.40:5060:5061", true, "10.20.30.40", 5060},
      {"10.20.30.41:5070abc", true, "10.20.30.41", 5070},
      {"10.20.30.42: 5080", true, "10.20.30.42", 5080},
      {"0.0.0.0/0:5060", true, "", 0},
      {"10.0.0.0.0:5060", true, "", 0},
      {"10.20.30.43:+5090", true, "10.20.30.43", 5090},
      {"10.20.30.44:-5060", false, "", 0},
  };
  enable(0, true);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    iptables.calls.clear();
    EXPECT_EQ(writeServer(0, kReg, c.text), c.answer);
    bool opened = !iptables.calls.empty() && iptables.calls[0].add;
    EXPECT_EQ(opened, c.opens[0] != '\0');
    if (opened) {
      EXPECT_EQ(iptables.calls[0].rules, sipmedia::serverRules(c.opens, c.port));
    }
  }
}

// 3 000 writes in 30 s that each open one server and close another: the
// log gets the burst and 10 lines a second of each line, not 6 000 lines.
TEST_F(AccountFirewall, AFloodOfServerWritesAddsAFewHundredLines) {
  testsupport::LimitClock clock;
  log.clear();
  enable(0, true);
  const std::string servers[] = {"10.20.30.40:5060", "10.20.30.41:5060"};
  for (unsigned i = 0; i < 3000; ++i, clock.advance(10))
    ASSERT_TRUE(writeServer(0, kReg, servers[i % 2])) << i;
  clock.advance(trace::RateLimit::kReportMs);
  trace::flushSuppressed();
  EXPECT_EQ(iptables.calls.size(), 2u * 3000 - 1) << "every write still acted";
  EXPECT_LE(log.count("adding rules for"), 400u);
  EXPECT_LE(log.count("deleting rules for"), 400u);
  EXPECT_GE(log.count("similar messages suppressed"), 2u);
  EXPECT_LE(log.lines().size(), 820u);
}

TEST_F(AccountFirewall, OtherColumnsVelmoraRefusalAndFailuresLeaveTheFirewall) {
  enable(0, true);
  EXPECT_TRUE(writeServer(0, AccountTableBase::OBJ_ACCOUNT_PROVIDERNAME, "10.20.30.40:5060"));
  table.velmAccepts = false;
  EXPECT_FALSE(writeServer(0, kReg, "10.20.30.40:5060"));
  EXPECT_TRUE(iptables.calls.empty());
  table.velmAccepts = true;
  iptables.results = {false};
  EXPECT_FALSE(writeServer(0, kReg, "10.20.30.40:5060"));
  EXPECT_TRUE(table.allowedServers().empty());
  EXPECT_FALSE(table.updated(table.getProp(kReg), 16));
  EXPECT_TRUE(log.contains("AccountTableExt: Out of range: row=16, expected=[0..15]"));
  EXPECT_FALSE(table.updated(nullptr, 0));
}

// The real firewall component under the table: a server text whose address
// is more than one host never starts the restore program, and the write
// fails as for an unparsable text.
TEST(AccountFirewallComponent, RefusesAnythingButOneHostAndTheWriteFails) {
  testsupport::LogCapture log;
  const std::string marker = "/tmp/restore_was_run";
  Iptables iptables(testsupport::markingRestoreProgram(marker));
  TestAccountTable table(nullptr, &iptables);
  table.setPropproviderEnable(0, true);
  IcscProperty* reg = table.getProp(AccountTableBase::OBJ_ACCOUNT_REGISTERDOMAINNAME);
  auto write = [&](const std::string& text) {
    reg->setValueAt(0, text);
    reg->selectRow(0);
    return table.updated(reg, 0);
  };
  for (const char* text : {"10.20.30.40/0:5060", "10.20.30.40/8:5060", "10.20.30.40/32:5060",
                           "sip.provider.example:5060", "255.255.255.255:5060", "224.0.0.1:5060",
                           "010.20.30.40:5060"}) {
    log.clear();
    EXPECT_FALSE(write(text)) << text;
    std::string address = std::string(text).substr(0, std::string(text).find(':'));
    EXPECT_EQ(log.count("firewall: 6 rules not added, nothing run: address filter '" + address +
                        "' is not a single IPv4 host"),
              1u)
        << text;
    EXPECT_EQ(log.count(std::string("adding rules for ip ") + text + " failed"), 1u) << text;
  }
  EXPECT_FALSE(testsupport::exists(marker)) << "the restore program was started";
  EXPECT_TRUE(table.allowedServers().empty());
  ASSERT_TRUE(write("10.20.30.40:5060"));
  EXPECT_TRUE(testsupport::exists(marker)) << "a single host reaches the restore program";
}

}  // namespace
