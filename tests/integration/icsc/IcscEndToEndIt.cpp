// UDP request -> front end -> "/queueToMain" -> main -> velmora stand-in and
// back, with the real processes inside this test's namespaces.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"
#include "velm/Velm_util.h"

using namespace icscwire;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPort = 5000;
constexpr auto kDeadline = std::chrono::seconds(20);
constexpr uint32_t kTimers = 43, kSystemStatus = 33;

// Exit status of one icscctl run.
int icscctl(const std::string& args) {
  int st = -1;
  testsupport::runShell(testsupport::binCommand("icscctl") + " " + args + " >/dev/null 2>&1", &st);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

class Client {
 public:
  Client() {
    m_sock = ::socket(AF_INET, SOCK_DGRAM, 0);
    m_to.sin_family = AF_INET;
    m_to.sin_port = htons(kPort);
    ::inet_pton(AF_INET, "127.0.0.1", &m_to.sin_addr);
  }
  ~Client() { ::close(m_sock); }

  void sendRaw(const std::vector<uint8_t>& bytes) {
    ::sendto(m_sock, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&m_to),
             sizeof(m_to));
  }
  void send(uint8_t op, uint32_t id, const ICSCTlv& cell) {
    Header h;
    h.op = op;
    h.requestId = id;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encode(h, &cell, 1, bytes));
    sendRaw(bytes);
  }
  // Next answer within `ms`; false on timeout.
  bool receive(Header& h, std::vector<ICSCTlv>& cells, int ms = 10000) {
    pollfd p{m_sock, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0)
      return false;
    uint8_t buf[4096];
    ssize_t n = ::recv(m_sock, buf, sizeof(buf), 0);
    return n > 0 && decode(buf, static_cast<size_t>(n), h, cells) == Decode::OK;
  }
  ICSCTlv call(uint8_t op, const ICSCTlv& cell) {
    uint32_t id = ++m_id;
    send(op, id, cell);
    Header h;
    std::vector<ICSCTlv> cells;
    while (receive(h, cells)) {
      if (h.requestId == id && cells.size() == 1)
        return cells[0];
    }
    ICSCTlv none;
    none.status = 0xFF;
    return none;
  }

 private:
  int m_sock;
  sockaddr_in m_to{};
  uint32_t m_id = 1000;
};

ICSCTlv cellOf(uint32_t oid, IcscType t = IcscType::NONE, int64_t num = 0) {
  ICSCTlv c;
  c.oid = oid;
  c.type = t;
  c.num = num;
  return c;
}

class IcscEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    m_velmora.start("velmora", {"--socket", "/tmp/velmora.sock", "--quiet"});
    m_main.start("main", {});
    m_udpfe.start("udpfe", {"--port", std::to_string(kPort)});
    // Up when a read of a scalar is served end to end.
    auto deadline = Clock::now() + kDeadline;
    Client c;
    for (;;) {
      uint32_t id = 1;
      c.send(GET, id, cellOf(icscoid::object(kTimers, 0, 0)));
      Header h;
      std::vector<ICSCTlv> cells;
      if (c.receive(h, cells, 200) && h.status == OK)
        break;
      ASSERT_LT(Clock::now(), deadline) << "card did not answer; main:\n" << m_main.log();
    }
  }
  void TearDown() override {
    m_udpfe.stop();
    m_main.stop();
    m_velmora.stop();
  }

  testsupport::ChildProcess m_velmora, m_main, m_udpfe;
  Velm_util m_velm;
};

TEST_F(IcscEndToEnd, WriteReachesTheEngineAndReadConverts) {
  Client c;
  ICSCTlv r = c.call(SET, cellOf(icscoid::object(kTimers, 3, 0), IcscType::U16, 250));
  EXPECT_EQ(r.status, OK);
  std::string v;
  ASSERT_EQ(m_velm.get("ipbx_interdigit_duration", v, -1, -1), 0);
  EXPECT_EQ(v, "250");

  const struct {
    const char* text;
    int64_t want;
  } reads[] = {{"0x20", 32}, {"70000", 4464}, {"010", 8}};
  for (const auto& rd : reads) {
    ASSERT_EQ(m_velm.set("ipbx_interdigit_duration", rd.text, -1, -1), 0);
    r = c.call(GET, cellOf(icscoid::object(kTimers, 3, 0)));
    EXPECT_EQ(r.status, OK) << rd.text;
    EXPECT_EQ(r.num, rd.want) << rd.text;
  }
}

TEST_F(IcscEndToEnd, RefusalsSayWhy) {
  Client c;
  EXPECT_EQ(c.call(SET, cellOf(icscoid::object(kSystemStatus, 1, 0), IcscType::U16, 3)).status,
            READ_ONLY);
  EXPECT_EQ(c.call(GET, cellOf(icscoid::object(kTimers, 0, 1))).status, ROW_OUT_OF_RANGE);
  EXPECT_EQ(c.call(GET, cellOf(icscoid::object(kTimers, 30, 0))).status, NO_SUCH_COLUMN);
  EXPECT_EQ(c.call(GET, cellOf(icscoid::event(1, 11, 0))).status, NOT_SERVED);
  ICSCTlv temp = c.call(GET, cellOf(icscoid::event(1, 7, 0)));
  EXPECT_EQ(temp.status, OK);
  EXPECT_EQ(temp.type, IcscType::BOOL);
  EXPECT_EQ(temp.num, 1) << "alarm while no temperature report arrived";
}

TEST_F(IcscEndToEnd, GarbageIsRejectedAndTheCardKeepsServing) {
  Client c;
  c.sendRaw({0xde, 0xad});
  c.sendRaw({1, GET, 0, 3, 0, 0, 0, 77, 0x80});  // truncated cell
  Header h;
  std::vector<ICSCTlv> cells;
  ASSERT_TRUE(c.receive(h, cells));
  EXPECT_EQ(h.requestId, 77u);
  EXPECT_EQ(h.status, MALFORMED);
  EXPECT_EQ(c.call(GET, cellOf(icscoid::object(kTimers, 0, 0))).status, OK);
}

TEST_F(IcscEndToEnd, AnswersFindTheirClientsWithSeveralOutstanding) {
  // Three clients use the same request ids, each reading its own column.
  constexpr int kClients = 3, kEach = 4;
  const char* params[kClients] = {"ipbx_brief_pause_duration", "ipbx_initial_dial_duration",
                                  "ipbx_warm_line_duration"};
  Client clients[kClients];
  for (int i = 0; i < kClients; ++i)
    ASSERT_EQ(m_velm.set(params[i], std::to_string(100 + i).c_str(), -1, -1), 0);
  for (int n = 0; n < kEach; ++n) {
    for (int i = 0; i < kClients; ++i)
      clients[i].send(GET, 500 + n, cellOf(icscoid::object(kTimers, i, 0)));
  }
  for (int i = 0; i < kClients; ++i) {
    std::vector<uint32_t> ids;
    for (int n = 0; n < kEach; ++n) {
      Header h;
      std::vector<ICSCTlv> cells;
      ASSERT_TRUE(clients[i].receive(h, cells)) << "client " << i;
      ASSERT_EQ(cells.size(), 1u);
      EXPECT_EQ(cells[0].oid, icscoid::object(kTimers, i, 0));
      EXPECT_EQ(cells[0].num, 100 + i);
      ids.push_back(h.requestId);
    }
    EXPECT_EQ(ids, (std::vector<uint32_t>{500, 501, 502, 503}));
  }
}

TEST_F(IcscEndToEnd, CommandLineClientExitsByOutcome) {
  EXPECT_EQ(icscctl("set OtherScalar ipbxHookDebounce 0 77"), 0);
  std::string v;
  ASSERT_EQ(m_velm.get("ipbx_hook_debounce", v, -1, -1), 0);
  EXPECT_EQ(v, "77");
  EXPECT_EQ(icscctl("set SystemStatusScalar 1 0 5"), 1);
  EXPECT_EQ(icscctl("get NoSuchScalar 1"), 3);
  EXPECT_EQ(icscctl("--port 5999 --timeout 300 get TimersScalar 0"), 2);
}

}  // namespace
