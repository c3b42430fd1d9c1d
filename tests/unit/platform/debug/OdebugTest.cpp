// The debug console: command routing, argument checks, the line protocol
// and the TCP server with several, misbehaving clients.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "ConsoleClient.h"
#include "TestSupport.h"
#include "debug/Odebug.h"
#include "debug/TraceDebug.h"

namespace {

using Odebug::Result;

// Writes its arguments separated by '|'.
class EchoCommand : public Odebug::CdebugCommand {
 public:
  EchoCommand(Odebug::Cdebugable* g, const char* name) : CdebugCommand(g, name, nullptr) {}
  EchoCommand(Odebug::Cdebugable* g, const char* name, unsigned char lo, unsigned char hi)
      : CdebugCommand(g, name, lo, hi, nullptr) {}
  void command(unsigned argc, char* const* argv, std::ostringstream& os, void*) override {
    for (unsigned i = 0; i < argc; ++i)
      os << (i ? "|" : "") << argv[i];
    os << "\n";
  }
  void help(std::ostringstream& os) override { os << name() << ":\n\thelp of " << name() << "\n"; }
};

class TestGroup : public Odebug::Cdebugable {
 public:
  TestGroup() : Cdebugable("tst"), m_echo(this, "echo"), m_two(this, "two", 1, 2) {}
  EchoCommand m_echo;
  EchoCommand m_two;
};

struct LineCase {
  const char* name;
  std::string line;
  Result want;
  std::string output;  // expected substring; "" = empty output
};

const LineCase kLineCases[] = {
    {"empty", "", Result::OK, ""},
    {"blanks_only", "  \t ", Result::OK, ""},
    {"echo_args", "tst echo a b", Result::OK, "a|b\n"},
    {"tabs_and_spaces", "\ttst  echo\ta  ", Result::OK, "a\n"},
    {"no_args_unchecked", "tst echo", Result::OK, "\n"},
    {"group_alone_is_help", "tst", Result::OK, "help of two"},
    {"group_help_command", "tst help two", Result::OK, "two:\n\thelp of two\n"},
    {"top_help", "help", Result::OK, "groups:"},
    {"top_help_lists_commands", "help", Result::OK, "\n  tst: echo two\n"},
    {"top_help_of_group", "help tst", Result::OK, "help of echo"},
    {"top_help_unknown_group", "help nowhere", Result::UNKNOWN_GROUP, "unknown group 'nowhere'"},
    {"too_few", "tst two", Result::BAD_ARGUMENT_COUNT, "takes 1 to 2 argument(s), got 0"},
    {"too_many", "tst two 1 2 3", Result::BAD_ARGUMENT_COUNT, "got 3"},
    {"max_args", "tst two 1 2", Result::OK, "1|2\n"},
    {"unknown_command", "tst nope", Result::UNKNOWN_COMMAND, "unknown command 'nope'"},
    {"unknown_group", "nowhere x", Result::UNKNOWN_GROUP, "unknown group 'nowhere'"},
    {"control_byte", "tst echo a\x01", Result::BAD_CHARACTERS, "refused"},
    {"nul_byte", std::string("tst echo a\0b", 12), Result::BAD_CHARACTERS, "refused"},
    {"high_byte", "tst echo \xc3\xa9", Result::BAD_CHARACTERS, "refused"},
    {"too_many_words",
     "tst echo" + std::string(size_t{31} * 2, ' ').replace(1, 1, "x") +
         " y y y y y y y"
         " y y y y y y y y y y y y y y y y y y y y y y y y y",
     Result::TOO_MANY_WORDS, "refused"},
};

class ConsoleLine : public ::testing::TestWithParam<LineCase> {
 protected:
  TestGroup m_group;
};

TEST_P(ConsoleLine, RoutesAndChecks) {
  std::ostringstream os;
  EXPECT_EQ(Odebug::runCommandLine(GetParam().line, os), GetParam().want)
      << Odebug::resultName(Odebug::runCommandLine(GetParam().line, os));
  if (GetParam().output.empty())
    EXPECT_EQ(os.str(), "");
  else
    EXPECT_NE(os.str().find(GetParam().output), std::string::npos) << os.str();
}

INSTANTIATE_NAMED(Odebug, ConsoleLine, kLineCases);

TEST(Cdebugable, DbgFindCopiesOutputAndCutsIt) {
  TestGroup g;
  char a0[] = "tst", a1[] = "echo", a2[] = "abcdef";
  char* argv[] = {a0, a1, a2};
  char out[5];
  std::memset(out, 'z', sizeof out);
  EXPECT_EQ(g.dbgFind(3, argv, out, sizeof out), 0);
  EXPECT_STREQ(out, "abcd");
  // Without the group name, and with no buffer at all.
  EXPECT_EQ(g.dbgFind(2, argv + 1, nullptr, 0), 0);
  char bad[] = "nope";
  char* argvBad[] = {bad};
  EXPECT_EQ(g.dbgFind(1, argvBad, nullptr, 0), -1);
  char line[64];
  EXPECT_EQ(g.dbgFind(std::string("echo x y"), line, sizeof line), 0);
  EXPECT_STREQ(line, "x|y\n");
  EXPECT_EQ(g.dbgFind(std::string("two"), line, sizeof line), -1);
}

TEST(Cdebugable, GroupsAndCommandsUnregisterWhenDestroyed) {
  {
    TestGroup g;
    auto names = Odebug::groupNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "tst"), names.end());
    {
      EchoCommand extra(&g, "extra");
      std::ostringstream os;
      EXPECT_EQ(Odebug::runCommandLine("tst extra 1", os), Result::OK);
    }
    std::ostringstream os;
    EXPECT_EQ(Odebug::runCommandLine("tst extra 1", os), Result::UNKNOWN_COMMAND);
  }
  std::ostringstream os;
  EXPECT_EQ(Odebug::runCommandLine("tst echo", os), Result::UNKNOWN_GROUP);
}

struct TraceCase {
  const char* name;
  const char* line;
  int levelAfter;
  const char* output;
};

const TraceCase kTraceCases[] = {
    {"show", "trace level", 6, "trace level 6\n"},
    {"set", "trace level 9", 9, "trace level 6 -> 9\n"},
    {"hex", "trace level 0x3", 3, "trace level 6 -> 3\n"},
    {"too_high", "trace level 11", 6, "invalid level '11'"},
    {"negative", "trace level -1", 6, "invalid level"},
    {"not_a_number", "trace level 7x", 6, "invalid level '7x'"},
};

class TraceLevel : public ::testing::TestWithParam<TraceCase> {};

TEST_P(TraceLevel, ShowsAndSetsTheLevel) {
  TraceObject t("test", 6);
  g_traceObject = &t;
  Odebug::TraceDebug group;
  std::ostringstream os;
  EXPECT_EQ(Odebug::runCommandLine(GetParam().line, os), Result::OK);
  EXPECT_NE(os.str().find(GetParam().output), std::string::npos) << os.str();
  EXPECT_EQ(t.level(), GetParam().levelAfter);
  g_traceObject = nullptr;
}

INSTANTIATE_NAMED(Odebug, TraceLevel, kTraceCases);

// Numbers as the card's 32-bit strtol reads them: capped, never wrapped.
TEST(NumberArg, ReadsAsTheCardsStrtol) {
  const std::pair<const char*, int32_t> kCases[] = {
      {"16", 16},
      {"0x10", 16},
      {"010", 8},
      {" +7", 7},
      {"-1", -1},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"4294967299", INT32_MAX},
      {"0xFFFFFFFF", INT32_MAX},
      {"99999999999999999999999", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-4294967299", INT32_MIN},
      {"-99999999999999999999999", INT32_MIN},
  };
  for (const auto& [text, want] : kCases)
    EXPECT_EQ(Odebug::numberArg(text), want) << "'" << text << "'";
}

struct SessionCase {
  const char* name;
  std::string input;
  std::string output;
  bool open;
};

const std::string kLong(1100, 'a');

const SessionCase kSessionCases[] = {
    {"one_command", "tst echo a\n", "a\n#END ok\n", true},
    {"crlf_from_telnet", "tst echo a\r\n", "a\n#END ok\n", true},
    {"blank_line_still_ends", "\n", "#END ok\n", true},
    {"partial_line_waits", "tst echo a", "", true},
    {"two_lines", "tst echo a\ntst echo b\n", "a\n#END ok\nb\n#END ok\n", true},
    {"error_then_ok", "bad\ntst echo b\n",
     "unknown group 'bad'; 'help' lists the groups\n#END unknown-group\nb\n#END ok\n", true},
    {"quit_ends_and_ignores_rest", "quit\ntst echo a\n", "", false},
    {"exit_with_crlf", " exit \r\n", "", false},
    {"over_long_line_refused_whole", kLong + "\ntst echo b\n",
     "command line longer than 1024 characters refused\n#END line-too-long\nb\n#END ok\n", true},
    {"garbage_refused", "\xff\xfe\x01\x02\n",
     "command line refused: bad-characters\n"
     "#END bad-characters\n",
     true},
};

class Session : public ::testing::TestWithParam<SessionCase> {
 protected:
  TestGroup m_group;
};

TEST_P(Session, WholeInput) {
  Odebug::ConsoleSession s;
  std::string out;
  EXPECT_EQ(s.feed(GetParam().input.data(), GetParam().input.size(), out), GetParam().open);
  EXPECT_EQ(out, GetParam().output);
}

TEST_P(Session, ByteByByte) {
  Odebug::ConsoleSession s;
  std::string out;
  bool open = true;
  for (char c : GetParam().input) {
    open = s.feed(&c, 1, out);
    if (!open)
      break;
  }
  EXPECT_EQ(open, GetParam().open);
  EXPECT_EQ(out, GetParam().output);
}

INSTANTIATE_NAMED(Odebug, Session, kSessionCases);

// A TCP client of the console on loopback.
class Client {
 public:
  explicit Client(unsigned short port, const char* address = "127.0.0.1", int receiveBuffer = 0)
      : m_fd(testsupport::connectTcp(port, 0, address, receiveBuffer)) {}
  ~Client() {
    if (m_fd >= 0)
      close(m_fd);
  }
  bool connected() const { return m_fd >= 0; }
  void send(const std::string& s) {
    ASSERT_EQ(::send(m_fd, s.data(), s.size(), MSG_NOSIGNAL), static_cast<ssize_t>(s.size()));
  }
  // Reads until `marker` has arrived, the peer closed, or 5 s passed.
  std::string readUntil(const std::string& marker) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (m_in.find(marker) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{m_fd, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0)
        continue;
      char b[4096];
      ssize_t n = recv(m_fd, b, sizeof b, 0);
      if (n <= 0) {
        m_closed = true;
        break;
      }
      m_in.append(b, static_cast<size_t>(n));
    }
    return m_in;
  }
  bool closedByPeer() {
    readUntil("\x01never");
    return m_closed;
  }
  // Sends without waiting; what does not fit is dropped.
  void push(const std::string& s) {
    (void)!::send(m_fd, s.data(), s.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  }

 private:
  int m_fd;
  bool m_closed = false;
  std::string m_in;
};

// Writes a reply far larger than any socket buffer.
class FloodCommand : public Odebug::CdebugCommand {
 public:
  explicit FloodCommand(Odebug::Cdebugable* g) : CdebugCommand(g, "flood", nullptr) {}
  void command(unsigned, char* const*, std::ostringstream& os, void*) override {
    os << std::string(8 << 20, 'x') << "\n";
  }
};

class ServerWithOptions : public ::testing::Test {
 protected:
  void start(const Odebug::CdebugServer::Options& options) {
    m_server = std::make_unique<Odebug::CdebugServer>(0, options);
    ASSERT_TRUE(m_server->start());
  }
  // Holds every slot with a client that has read its banner.
  std::vector<std::unique_ptr<Client>> fill() {
    std::vector<std::unique_ptr<Client>> clients;
    for (unsigned i = 0; i < Odebug::CdebugServer::kMaxClients; ++i) {
      clients.push_back(std::make_unique<Client>(m_server->port()));
      EXPECT_TRUE(clients.back()->connected());
      clients.back()->readUntil("session\n");
    }
    return clients;
  }
  bool served() {
    Client c(m_server->port());
    c.send("tst echo back\n");
    return c.readUntil("#END").find("back\n#END ok") != std::string::npos;
  }

  testsupport::LogCapture m_log{6};
  TestGroup m_group;
  FloodCommand m_flood{&m_group};
  std::unique_ptr<Odebug::CdebugServer> m_server;
};

TEST_F(ServerWithOptions, SeveralClientsAtOnceAndOneTooMany) {
  start({});
  auto clients = fill();
  Client extra(m_server->port());
  EXPECT_NE(extra.readUntil("#END").find("#END busy\n"), std::string::npos);
  EXPECT_TRUE(extra.closedByPeer());
  // A slot frees up once a client leaves.
  clients.back()->send("quit\n");
  EXPECT_TRUE(clients.back()->closedByPeer());
  clients.pop_back();
  EXPECT_TRUE(testsupport::waitFor([&] { return served(); }, std::chrono::seconds(5)));
}

TEST_F(ServerWithOptions, StopEndsConnectedClients) {
  start({});
  Client c(m_server->port());
  c.readUntil("session\n");
  m_server->stop();
  EXPECT_TRUE(c.closedByPeer());
  Client late(m_server->port());
  EXPECT_FALSE(late.connected());
}

TEST_F(ServerWithOptions, IdleClientIsClosed) {
  Odebug::CdebugServer::Options o;
  o.idleTimeoutMs = 300;
  start(o);
  Client c(m_server->port());
  c.send("tst echo a\n");
  EXPECT_TRUE(c.closedByPeer());
  EXPECT_NE(c.readUntil("#").find("a\n#END ok\n# closed: idle"), std::string::npos);
}

// Eight idle clients cannot lock the console out: once the longest idle has
// been idle long enough, it gives its slot to the next client.
TEST_F(ServerWithOptions, FullServerClosesTheLongestIdleForANewClient) {
  Odebug::CdebugServer::Options o;
  o.evictIdleMs = 2000;
  start(o);
  auto clients = fill();
  Client early(m_server->port());
  EXPECT_NE(early.readUntil("#END").find("#END busy"), std::string::npos)
      << "no slot was idle long enough yet";
  // Everyone but the first stays active.
  bool evicted = testsupport::waitFor(
      [&] {
        for (size_t i = 1; i < clients.size(); ++i)
          clients[i]->send("tst echo x\n");
        return served();
      },
      std::chrono::seconds(10));
  EXPECT_TRUE(evicted) << "the new client was never served";
  EXPECT_TRUE(clients[0]->closedByPeer());
  EXPECT_NE(clients[0]->readUntil("#").find("# closed: idle"), std::string::npos);
  for (size_t i = 1; i < clients.size(); ++i) {
    clients[i]->send("tst echo still\n");
    EXPECT_NE(clients[i]->readUntil("still\n#END ok").find("still\n#END ok"), std::string::npos)
        << "client " << i << " was active, yet closed";
  }
}

// Clients that never read their replies: each thread gives up on its
// client after the send bound, so the slots free up.
TEST_F(ServerWithOptions, ClientsThatNeverReadDoNotHoldTheirSlots) {
  Odebug::CdebugServer::Options o;
  o.sendTimeoutMs = 300;
  start(o);
  std::vector<std::unique_ptr<Client>> stuck;
  for (unsigned i = 0; i < Odebug::CdebugServer::kMaxClients; ++i) {
    stuck.push_back(std::make_unique<Client>(m_server->port(), "127.0.0.1", 4096));
    ASSERT_TRUE(stuck.back()->connected());
    stuck.back()->push("tst flood\n");
  }
  // The log line names the bound that freed them; how soon that is depends
  // on how fast this host produces the replies, so the wait is generous.
  EXPECT_TRUE(testsupport::waitFor([&] { return served(); }, std::chrono::seconds(30)))
      << "clients that never read held the console";
  EXPECT_TRUE(m_log.contains("took no output for 300 ms, closed"));
}

// Clients that send a byte at a time hold no slot: only a complete line
// counts as activity, and a line must end within its bound.
TEST_F(ServerWithOptions, ByteAtATimeClientsDoNotHoldTheirSlots) {
  Odebug::CdebugServer::Options o;
  o.lineTimeoutMs = 1000;
  start(o);
  auto clients = fill();
  std::atomic<bool> stop{false};
  std::thread dribble([&] {
    for (int i = 0; i < 200 && !stop; ++i) {
      for (auto& c : clients)
        c->push("x");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  const auto bound = std::chrono::seconds(testsupport::kThreadSanitizer ? 8 : 4);
  bool freed = testsupport::waitFor([&] { return served(); }, bound);
  stop = true;
  dribble.join();
  EXPECT_TRUE(freed) << "clients sending a byte every 50 ms held every slot";
  EXPECT_TRUE(m_log.contains("its line not completed within 1 s"));
}

TEST_F(ServerWithOptions, ListensOnTheConfiguredAddressOnly) {
  Odebug::CdebugServer::Options o;
  o.address = "127.0.0.1";
  start(o);
  EXPECT_TRUE(Client(m_server->port(), "127.0.0.1").connected());
  EXPECT_FALSE(Client(m_server->port(), "127.0.0.2").connected());
  m_server->stop();
  o.address = "localhost";
  Odebug::CdebugServer named(0, o);
  EXPECT_FALSE(named.start());
  EXPECT_TRUE(m_log.contains("listen address 'localhost' is not a dotted IPv4 address"));
}

}  // namespace
