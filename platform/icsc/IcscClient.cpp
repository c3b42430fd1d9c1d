#include "icsc/IcscClient.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

using namespace icscwire;

namespace {

// Room for any datagram: what is too big is refused by its decoding, not
// cut short by the socket.
constexpr size_t kDatagramRoom = 65536;

using Clock = std::chrono::steady_clock;

Clock::time_point after(int timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

// Ids start apart per process, so that two tools never share a run of ids.
IcscClient::IcscClient()
    : m_nextId(static_cast<uint32_t>(getpid()) << 16), m_answer(kDatagramRoom) {}

IcscClient::~IcscClient() {
  if (m_fd >= 0)
    close(m_fd);
}

bool IcscClient::open(const std::string& host, int port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  if (port <= 0 || port > 65535 || inet_pton(AF_INET, host.c_str(), &to.sin_addr) != 1) {
    errno = EINVAL;
    return false;
  }
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    int err = errno;
    close(fd);
    errno = err;
    return false;
  }
  adopt(fd);
  return true;
}

void IcscClient::adopt(int fd) {
  if (m_fd >= 0)
    close(m_fd);
  m_fd = fd;
}

bool IcscClient::sendBytes(const uint8_t* bytes, size_t len) {
  if (m_fd < 0) {
    errno = EBADF;
    return false;
  }
  if (::send(m_fd, bytes, len, 0) != static_cast<ssize_t>(len))
    return false;
  m_bytesSent += len;
  return true;
}

bool IcscClient::send(uint8_t op, const ICSCTlv* cells, size_t count, uint32_t& id) {
  Header h;
  h.op = op;
  h.requestId = ++m_nextId;
  if (!encode(h, cells, count, m_request)) {
    errno = EMSGSIZE;
    return false;
  }
  id = h.requestId;
  return sendBytes(m_request.data(), m_request.size());
}

long IcscClient::nextDatagram(std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    // Rounded up: a wait never ends before the deadline.
    int64_t left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || m_fd < 0)
      return -1;
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0)
      continue;  // interrupted, or the time is up: the top decides
    // Errors (ICMP unreachable while the peer starts) are no answer.
    ssize_t n = recv(m_fd, m_answer.data(), m_answer.size(), MSG_DONTWAIT);
    if (n < 0)
      continue;
    m_bytesReceived += static_cast<size_t>(n);
    return static_cast<long>(n);
  }
}

IcscClient::Result IcscClient::await(uint32_t id, int timeoutMs, Header& h,
                                     std::vector<ICSCTlv>& cells, Decode* why) {
  Clock::time_point deadline = after(timeoutMs);
  for (;;) {
    long n = nextDatagram(deadline);
    if (n < 0)
      return Result::NO_ANSWER;
    size_t len = static_cast<size_t>(n);
    uint32_t answerId = 0;
    if (!peekRequestId(m_answer.data(), len, answerId) || answerId != id)
      continue;
    Decode d = decode(m_answer.data(), len, h, cells);
    if (why != nullptr)
      *why = d;
    return d == Decode::OK ? Result::ANSWERED : Result::MALFORMED;
  }
}

IcscClient::Result IcscClient::call(uint8_t op, const std::vector<ICSCTlv>& cells, int timeoutMs,
                                    Header& h, std::vector<ICSCTlv>& out, Decode* why) {
  uint32_t id = 0;
  if (!send(op, cells.data(), cells.size(), id))
    return Result::NOT_SENT;
  return await(id, timeoutMs, h, out, why);
}

bool IcscClient::receive(int timeoutMs, Header& h, std::vector<ICSCTlv>& cells) {
  Clock::time_point deadline = after(timeoutMs);
  for (;;) {
    long n = nextDatagram(deadline);
    if (n < 0)
      return false;
    if (decode(m_answer.data(), static_cast<size_t>(n), h, cells) == Decode::OK)
      return true;
  }
}

bool IcscClient::receiveBytes(int timeoutMs, std::vector<uint8_t>& datagram) {
  long n = nextDatagram(after(timeoutMs));
  if (n < 0)
    return false;
  datagram.assign(m_answer.begin(), m_answer.begin() + n);
  return true;
}
