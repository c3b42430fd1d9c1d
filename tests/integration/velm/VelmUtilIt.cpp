// Velm_util against the real velmora stand-in process, in the test's own
// namespaces (private /tmp and /vocal).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CardWithPeers.h"
#include "TestSupport.h"
#include "velm/VelmClient.h"
#include "velm/VelmWire.h"
#include "velm/Velm_util.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto READY_DEADLINE = std::chrono::seconds(20);  // qemu is slow to start
// A call against a dead or hung engine must come back; anything near this
// means a hang, not a slow machine.
constexpr auto NO_HANG_LIMIT = std::chrono::seconds(5);
const std::string kSocket = "/tmp/velmora.sock";
const std::string kLog = "/tmp/vocallog";
const std::string kConfig = "/vocal/velm.cfg";

using testsupport::readFile;
using testsupport::runTool;

class VelmUtilIt : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir("/vocal", 0755);
    std::remove(kConfig.c_str());
    std::remove(kLog.c_str());
    ASSERT_TRUE(m_engine.start(READY_DEADLINE)) << "velmora did not come up";
  }

  testsupport::VelmoraProcess m_engine{kSocket, kConfig, kLog};
};

}  // namespace

struct CallCase {
  const char* what;
  bool isSet;
  const char* name;
  const char* value;
  int i1, i2;
  int want;
};

const CallCase kCallCases[] = {
    {"scalar read", false, "ipbx_interdigit_duration", nullptr, -1, -1, 0},
    {"missing parameter", false, "ipbx_bogus_parameter", nullptr, -1, -1, -2},
    {"set missing parameter", true, "ipbx_bogus_parameter", "1", -1, -1, -2},
    {"line out of range", false, "ipbx_three_way_calling_service", nullptr, 8, -1,
     velmwire::RC_INVALID},
    {"scalar with index", true, "ipbx_interdigit_duration", "1", 0, -1, velmwire::RC_INVALID},
    {"feature code", true, "ipbx_fc_do_not_disturb_enable", "072", 4, -1, 0},
    {"list entry", true, "ipbx_call_forward_list_", "5550100", 7, 29, 0},
    {"list entry past end", true, "ipbx_call_forward_list_", "5550100", 7, 30,
     velmwire::RC_INVALID},
};

TEST_F(VelmUtilIt, ResultCodesReachTheCaller) {
  Velm_util velm;
  for (const CallCase& c : kCallCases) {
    std::string v;
    int rc = c.isSet ? velm.set(c.name, c.value, c.i1, c.i2) : velm.get(c.name, v, c.i1, c.i2);
    EXPECT_EQ(rc, c.want) << c.what;
  }
}

TEST_F(VelmUtilIt, SetThenGetOfTheLongestValueAndAFailedGet) {
  Velm_util velm;
  std::string v;
  std::string big(velmwire::MAX_VALUE_LEN, 'd');
  ASSERT_EQ(velm.set("ipbx_speed_dial_array_", big.c_str(), 7, 39), 0);
  ASSERT_EQ(velm.set("ipbx_three_way_calling_service", "0", 3, -1), 0);
  ASSERT_EQ(velm.get("ipbx_speed_dial_array_", v, 7, 39), 0);
  EXPECT_EQ(v, big);
  ASSERT_EQ(velm.get("ipbx_three_way_calling_service", v, 3, -1), 0);
  EXPECT_EQ(v, "0");
  v = "kept";
  EXPECT_NE(velm.get("ipbx_three_way_calling_service", v, 9, -1), 0);
  EXPECT_EQ(v, "kept") << "a failed get must not touch the value";
}

TEST_F(VelmUtilIt, CommitPersistsAcrossARestartResetAndRebootAreVisible) {
  Velm_util velm;
  ASSERT_EQ(velm.set("ipbx_line_name", "Lobby", 2, 0), 0);
  EXPECT_EQ(readFile(kConfig).find("Lobby"), std::string::npos) << "written before the commit";
  ASSERT_EQ(velm.commit(), 0);
  EXPECT_NE(readFile(kConfig).find("ipbx_line_name 2 0 Lobby\n"), std::string::npos);

  ASSERT_EQ(velm.set("ipbx_line_name", "Uncommitted", 3, 0), 0);
  ASSERT_EQ(velm.reboot(), 0);
  std::string v;
  ASSERT_EQ(velm.get("ipbx_line_name", v, 3, 0), 0);
  EXPECT_EQ(v, "");
  ASSERT_EQ(velm.get("ipbx_line_name", v, 2, 0), 0);
  EXPECT_EQ(v, "Lobby");

  ASSERT_EQ(velm.reset(), 0);
  ASSERT_EQ(velm.get("ipbx_line_name", v, 2, 0), 0);
  EXPECT_EQ(v, "");

  m_engine.kill();
  ASSERT_TRUE(m_engine.start(READY_DEADLINE));
  ASSERT_EQ(velm.get("ipbx_line_name", v, 2, 0), 0) << "same object, new connection";
  EXPECT_EQ(v, "Lobby");
}

TEST_F(VelmUtilIt, DeadEngineFailsBoundedThenRecovers) {
  testsupport::LogCapture logs(6);
  Velm_util velm;
  std::string v;
  ASSERT_EQ(velm.get("ipbx_mode", v, 0, -1), 0);
  m_engine.kill();
  for (int i = 0; i < 3; ++i) {
    auto t0 = Clock::now();
    int rc = velm.set("ipbx_mode", "2", 0, -1);
    EXPECT_NE(rc, 0);
    EXPECT_NE(rc, -2);
    EXPECT_LT(Clock::now() - t0, NO_HANG_LIMIT);
  }
  EXPECT_EQ(logs.count("unreachable"), 1u) << "the outage is logged once";
  ASSERT_TRUE(m_engine.start(READY_DEADLINE));
  ASSERT_EQ(velm.set("ipbx_mode", "2", 0, -1), 0);
  ASSERT_EQ(velm.get("ipbx_mode", v, 0, -1), 0);
  EXPECT_EQ(v, "2");
  EXPECT_TRUE(logs.contains("reachable again"));
}

// A stalled engine is waited for once: later calls fail at once without
// being sent, and the engine is probed at most once a second until it
// answers again. Its late replies answer no later call.
TEST_F(VelmUtilIt, StalledEngineIsWaitedForOnceUntilItAnswers) {
  testsupport::LogCapture logs(6);
  Velm_util velm;
  std::string v;
  ASSERT_EQ(velm.set("ipbx_mode", "4", 1, -1), 0);
  m_engine.signal(SIGSTOP);
  const auto stalledAt = Clock::now();
  EXPECT_EQ(velm.get("ipbx_hot_warm_dial_string", v, 0, -1), velmwire::RC_TIMEOUT);
  EXPECT_LT(Clock::now() - stalledAt, NO_HANG_LIMIT);
  // Well below the 500 ms timeout, also when sanitizers or an emulator slow
  // the code down.
  const bool slow = testsupport::kThreadSanitizer || !testsupport::execPrefix().empty();
  const auto fast = std::chrono::milliseconds(slow ? 300 : 100);
  Clock::duration slowest{};
  for (int call = 1; call < 40; ++call) {
    auto t0 = Clock::now();
    EXPECT_EQ(velm.get("ipbx_hot_warm_dial_string", v, call, -1), velmwire::RC_TIMEOUT);
    slowest = std::max(slowest, Clock::now() - t0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_LT(slowest, fast) << "a call waited "
                           << std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count()
                           << " ms for the stalled engine";
  const auto stalledFor = Clock::now() - stalledAt;
  m_engine.signal(SIGCONT);
  EXPECT_TRUE(testsupport::waitFor([&] { return velm.get("ipbx_mode", v, 1, -1) == 0; },
                                   std::chrono::seconds(2)));
  EXPECT_EQ(v, "4");
  std::string requestLog = runTool("nbcat", {kLog}).out;
  EXPECT_EQ(testsupport::countOf(requestLog, "get ipbx_hot_warm_dial_string"), 1u) << requestLog;
  const size_t probes = testsupport::countOf(requestLog, "get  -1 -1");
  EXPECT_GE(probes, 1u) << requestLog;
  EXPECT_LE(probes, static_cast<size_t>(stalledFor / std::chrono::seconds(1)) + 1) << requestLog;
  EXPECT_EQ(logs.count("no reply within"), 1u) << "the stall is logged once";
  EXPECT_EQ(logs.count("answering again"), 1u);
}

TEST_F(VelmUtilIt, ConcurrentCallersGetTheirOwnAnswers) {
  Velm_util velm;
  constexpr int kThreads = 4;
  constexpr int kRounds = 150;
  std::atomic<int> wrong{0}, failed{0};
  std::vector<std::thread> threads;
  threads.reserve(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int r = 0; r < kRounds; ++r) {
        std::string want = "t" + std::to_string(t) + "r" + std::to_string(r);
        std::string got;
        if (velm.set("ipbx_speed_dial_array_", want.c_str(), t, r % 40) != 0 ||
            velm.get("ipbx_speed_dial_array_", got, t, r % 40) != 0)
          ++failed;
        else if (got != want)
          ++wrong;
      }
    });
  }
  for (auto& th : threads)
    th.join();
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(VelmUtilIt, CredentialsStayOutOfEveryLog) {
  testsupport::LogCapture logs(9);  // DEBUG3 and all
  Velm_util velm;
  ASSERT_EQ(velm.set("auth_user_password", "hunter2", 3, -1), 0);
  ASSERT_EQ(velm.set("nat_stun_server_user_name", "stunner", -1, -1), 0);
  ASSERT_EQ(velm.set("ipbx_line_name", "Lobby", 1, 0), 0);
  EXPECT_TRUE(logs.contains("Lobby")) << "the debug line of an ordinary set shows its value";
  for (const auto& l : logs.lines()) {
    EXPECT_EQ(l.find("hunter2"), std::string::npos) << l;
    EXPECT_EQ(l.find("stunner"), std::string::npos) << l;
  }
  std::string requestLog = runTool("nbcat", {kLog}).out;
  EXPECT_NE(requestLog.find("set auth_user_password 3 -1 = *****"), std::string::npos)
      << requestLog;
  EXPECT_NE(requestLog.find("set ipbx_line_name 1 0 = Lobby"), std::string::npos);
  EXPECT_EQ(requestLog.find("hunter2"), std::string::npos);
  EXPECT_EQ(requestLog.find("stunner"), std::string::npos);
}

TEST_F(VelmUtilIt, BenchClientShowsWhatTheCardSet) {
  Velm_util velm;
  ASSERT_EQ(velm.set("ipbx_interdigit_duration", "2500", -1, -1), 0);
  const struct {
    std::vector<std::string> args;
    const char* out;
    bool ok;
  } cases[] = {
      {{"get", "ipbx_interdigit_duration"}, "ipbx_interdigit_duration == 2500\n", true},
      {{"set", "ipbx_fc_do_not_disturb_enable", "072", "4", "-1"},
       "ipbx_fc_do_not_disturb_enable.4 = 072\nSUCCESS\n",
       true},
      {{"get", "ipbx_three_way_calling_service", "3", "-1"},
       "ipbx_three_way_calling_service.3 == 1\n",
       true},
      {{"get", "nope"}, "PARAMETER NOT EXISTING [-2]\n", false},
  };
  for (const auto& c : cases) {
    testsupport::ToolResult r = runTool("velmctl", c.args);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.status == 0, c.ok) << c.out;
  }
  std::string dump = runTool("velmctl", {"dump", "fc_do_not_disturb"}).out;
  EXPECT_NE(dump.find("ipbx_fc_do_not_disturb_enable[4] = 072\n"), std::string::npos) << dump;
  EXPECT_EQ(dump.find("interdigit"), std::string::npos);
}

TEST(Nbcat, ReturnsAtOnceOnAFifoWithoutWriters) {
  const std::string fifo = "/tmp/nbcat-fifo";
  ::unlink(fifo.c_str());
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  testsupport::ToolResult r = runTool("nbcat", {fifo}, std::chrono::seconds(10));
  EXPECT_EQ(r.status, 0) << "a reader that blocks never ends";
  EXPECT_EQ(r.out, "");
  EXPECT_NE(runTool("nbcat", {"/tmp/does-not-exist"}).status, 0);
}

// The client must survive whatever comes back on the socket.
TEST(VelmClientReplies, GarbageAndForeignRepliesAreRejected) {
  const std::string path = "/tmp/fake-velmora.sock";
  ::unlink(path.c_str());
  int lfd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
  ASSERT_EQ(::bind(lfd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(lfd, 1), 0);

  // Each request gets the scripted answer: garbage, a reply of another op,
  // a stale seq followed by the right reply.
  std::thread server([lfd] {
    int c = ::accept(lfd, nullptr, nullptr);
    uint8_t in[velmwire::MAX_REQUEST_SIZE];
    uint8_t out[velmwire::MAX_REPLY_SIZE];
    for (int step = 0; step < 3; ++step) {
      ssize_t n = ::recv(c, in, sizeof in, 0);
      velmwire::Request req;
      if (n <= 0 ||
          velmwire::decodeRequest(in, static_cast<size_t>(n), req) != velmwire::Status::OK)
        break;
      velmwire::Status st;
      if (step == 0) {
        const uint8_t junk[] = {1, 1, 0xff};
        ::send(c, junk, sizeof junk, 0);
      } else if (step == 1) {
        size_t len =
            velmwire::encodeReply({velmwire::Op::SET, req.seq, 0, ""}, out, sizeof out, st);
        ::send(c, out, len, 0);
      } else {
        size_t len = velmwire::encodeReply({velmwire::Op::GET, req.seq - 1, 0, "stale"}, out,
                                           sizeof out, st);
        ::send(c, out, len, 0);
        len = velmwire::encodeReply({velmwire::Op::GET, req.seq, 0, "fresh"}, out, sizeof out, st);
        ::send(c, out, len, 0);
      }
    }
    ::close(c);
  });

  VelmClient client(path, 2000);
  std::string v = "before";
  EXPECT_EQ(client.call(velmwire::Op::GET, "a", nullptr, -1, -1, &v), velmwire::RC_PROTOCOL);
  EXPECT_EQ(v, "before");
  EXPECT_EQ(client.call(velmwire::Op::GET, "a", nullptr, -1, -1, &v), velmwire::RC_PROTOCOL);
  EXPECT_EQ(client.call(velmwire::Op::GET, "a", nullptr, -1, -1, &v), 0);
  EXPECT_EQ(v, "fresh");
  server.join();
  ::close(lfd);
}
