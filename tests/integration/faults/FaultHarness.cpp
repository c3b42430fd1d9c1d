#include <gtest/gtest.h>

#include "FaultHarness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

namespace faults {

bool emulated() {
  return !testsupport::execPrefix().empty();
}

void Card::startVelmora() {
  velmora.start("velmora", {"--socket", "/tmp/velmora.sock", "--quiet"});
}

::testing::AssertionResult Card::start() {
  startVelmora();
  if (!waitFor([] { return access("/tmp/velmora.sock", F_OK) == 0; }, seconds(10)))
    return ::testing::AssertionFailure() << "velmora did not come up";
  main.start("main", {}, "FXS_TRACE_STDERR=1");
  udpfe.start("udpfe", {"--port", std::to_string(ICSC_PORT)});
  IcscClient c;
  uint32_t oid = icscoid::object(TIMERS_OBJECT, 3, 0);
  if (!waitFor([&] { return c.get(oid, milliseconds(200)) == icscwire::OK; }, seconds(20)))
    return ::testing::AssertionFailure() << "the card did not serve a GET; main's log:\n"
                                         << main.log();
  return ::testing::AssertionSuccess();
}

IcscClient::IcscClient() : m_id(static_cast<uint32_t>(rand()) << 8) {
  m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(ICSC_PORT);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

IcscClient::~IcscClient() {
  close(m_fd);
}

int IcscClient::get(uint32_t oid, Clock::duration timeout, Clock::duration* took) {
  icscwire::Header h;
  h.op = icscwire::GET;
  h.count = 1;
  h.requestId = ++m_id;
  ICSCTlv cell;
  cell.oid = oid;
  std::vector<uint8_t> bytes;
  if (!icscwire::encode(h, &cell, 1, bytes))
    return -1;
  auto t0 = Clock::now();
  if (send(m_fd, bytes.data(), bytes.size(), 0) < 0)
    return -1;
  auto deadline = t0 + timeout;
  std::vector<ICSCTlv> cells;
  uint8_t buf[4096];
  for (;;) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
      return -1;
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) != 1)
      continue;
    ssize_t n = recv(m_fd, buf, sizeof buf, 0);
    icscwire::Header a;
    // Late answers to earlier requests are skipped.
    if (n > 0 && icscwire::decode(buf, static_cast<size_t>(n), a, cells) == icscwire::Decode::OK &&
        a.requestId == h.requestId) {
      if (took)
        *took = Clock::now() - t0;
      return cells.size() == 1 ? cells[0].status : a.status;
    }
  }
}

Load::Load(unsigned workers, Clock::duration limit) : m_end(Clock::now() + limit) {
  for (unsigned i = 0; i < workers; ++i)
    m_threads.emplace_back([this] { run(); });
}

Load::~Load() {
  stop();
}

Load::Stats Load::stop() {
  m_stop = true;
  for (auto& t : m_threads)
    if (t.joinable())
      t.join();
  return snapshot();
}

Load::Stats Load::snapshot() {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_stats;
}

void Load::run() {
  IcscClient c;
  uint32_t oid = icscoid::object(TIMERS_OBJECT, 3, 0);
  // Bounded in count as well as in time.
  for (size_t i = 0; i < 1000000 && !m_stop && Clock::now() < m_end; ++i) {
    Clock::duration took{};
    int st = c.get(oid, seconds(3), &took);
    std::lock_guard<std::mutex> lk(m_mutex);
    if (st < 0) {
      ++m_stats.unanswered;
      took = seconds(3);
    } else if (st == icscwire::OK) {
      ++m_stats.ok;
    } else {
      ++m_stats.refused;
    }
    if (took > m_stats.slowest)
      m_stats.slowest = took;
  }
}

}  // namespace faults
