#include "CardWithPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscOid.h"

namespace testsupport {

using std::chrono::milliseconds;

// Clients start at different ids so that one's late answer never looks like
// another's.
IcscClient::IcscClient(unsigned short port) : m_id(static_cast<uint32_t>(rand()) << 8) {
  m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // A failure shows at the first send.
  (void)::connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

IcscClient::~IcscClient() {
  ::close(m_fd);
}

void IcscClient::sendRaw(const std::vector<uint8_t>& bytes) {
  (void)!::send(m_fd, bytes.data(), bytes.size(), 0);
}

void IcscClient::send(uint8_t op, uint32_t id, const ICSCTlv& cell) {
  icscwire::Header h;
  h.op = op;
  h.requestId = id;
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(icscwire::encode(h, &cell, 1, bytes));
  sendRaw(bytes);
}

bool IcscClient::receive(icscwire::Header& h, std::vector<ICSCTlv>& cells,
                         Clock::duration timeout) {
  auto deadline = Clock::now() + timeout;
  uint8_t buf[4096];
  for (;;) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
      return false;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) != 1)
      continue;
    ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
    if (n > 0 && icscwire::decode(buf, static_cast<size_t>(n), h, cells) == icscwire::Decode::OK)
      return true;
  }
}

ICSCTlv IcscClient::call(uint8_t op, const ICSCTlv& cell, Clock::duration timeout,
                         Clock::duration* took) {
  uint32_t id = ++m_id;
  auto t0 = Clock::now();
  send(op, id, cell);
  icscwire::Header h;
  std::vector<ICSCTlv> cells;
  while (receive(h, cells, t0 + timeout - Clock::now())) {
    if (h.requestId != id)
      continue;
    if (took)
      *took = Clock::now() - t0;
    if (cells.size() == 1)
      return cells[0];
    ICSCTlv bare;
    bare.status = h.status;
    return bare;
  }
  ICSCTlv none;
  none.status = kNoAnswer;
  return none;
}

std::string cardState(Clock::duration timeout, Clock::duration* took) {
  IcscClient c;
  ICSCTlv name =
      c.call(icscwire::GET,
             cellOf(icscoid::common(commonStatCtrl::CO_CARD_STATE, commonrec::CARDSTATE_NAME, 0)),
             timeout, took);
  return name.status == icscwire::OK ? name.str : "";
}

VelmoraProcess::VelmoraProcess(std::string socket, std::string config, std::string log)
    : m_socket(std::move(socket)), m_config(std::move(config)), m_log(std::move(log)) {}

namespace {

bool canConnect(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

bool VelmoraProcess::start(std::chrono::milliseconds deadline) {
  ::unlink(m_socket.c_str());
  std::vector<std::string> args{"--socket", m_socket};
  if (!m_config.empty())
    args.insert(args.end(), {"--config", m_config});
  if (m_log.empty())
    args.push_back("--quiet");
  else
    args.insert(args.end(), {"--log", m_log});
  m_proc.start("velmora", args);
  return waitFor([this] { return canConnect(m_socket); }, deadline);
}

bool VelmoraProcess::kill() {
  int status;
  m_proc.signal(SIGKILL);
  return m_proc.waitExit(std::chrono::seconds(5), status);
}

::testing::AssertionResult CardWithPeers::start(Clock::duration limit) {
  if ((m_peers & ENGINE) && !velmora.start())
    return ::testing::AssertionFailure() << "velmora did not come up";
  if (boardSlot > 0) {
    std::vector<std::string> args{"--slot", std::to_string(boardSlot)};
    args.insert(args.end(), boardArgs.begin(), boardArgs.end());
    board.start("board", args, env);
  }
  if (m_peers & DRIVERS)
    startDrivers();
  main.start("main", {}, "FXS_TRACE_STDERR=1 " + env, mainLog);
  if (m_peers & FRONT_END)
    udpfe.start("udpfe", {"--port", std::to_string(kIcscPort)}, env);
  if ((m_peers & (ENGINE | FRONT_END)) != (ENGINE | FRONT_END))
    return ::testing::AssertionSuccess();
  IcscClient c;
  ICSCTlv read = cellOf(icscoid::object(kTimersObject, 3, 0));
  if (!waitFor(
          [&] { return c.call(icscwire::GET, read, milliseconds(200)).status == icscwire::OK; },
          limit))
    return ::testing::AssertionFailure() << "the card did not serve a GET; main's log:\n"
                                         << main.log();
  return ::testing::AssertionSuccess();
}

void CardWithPeers::startDrivers() {
  std::vector<std::string> args{"--panel", panel};
  args.insert(args.end(), pcaArgs.begin(), pcaArgs.end());
  pca.start("sim_pca9552", args, env);
  i2c.start("sim_i2cdrv", i2cArgs, env);
}

}  // namespace testsupport
