#include "velm/VelmClient.h"

#include <errno.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

using velmwire::Op;
using velmwire::Reply;
using velmwire::Request;

namespace {

int64_t nowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int remainingMs(int64_t deadlineMs) {
  int64_t left = deadlineMs - nowMs();
  return left > 0 ? static_cast<int>(left) : 0;
}

const char* opName(Op op) {
  switch (op) {
    case Op::GET:
      return "get";
    case Op::SET:
      return "set";
    case Op::COMMIT:
      return "commit";
    case Op::RESET:
      return "reset";
    case Op::REBOOT:
      return "reboot";
    case Op::DUMP:
      return "dump";
  }
  return "?";
}

}  // namespace

VelmClient::VelmClient(std::string socketPath, int timeoutMs)
    : m_path(std::move(socketPath)), m_timeoutMs(timeoutMs) {}

VelmClient::~VelmClient() {
  closeLocked();
}

std::string VelmClient::defaultSocketPath() {
  const char* env = std::getenv("VELMORA_SOCKET");
  return (env && *env) ? std::string(env) : std::string("/tmp/velmora.sock");
}

void VelmClient::reportDown(const char* what, int err) {
  if (m_down)
    return;
  m_down = true;
  LOG_ERROR("velmora engine at %s unreachable (%s: %s); engine calls fail until it is back",
            m_path.c_str(), what, std::strerror(err));
}

bool VelmClient::acquire(std::chrono::steady_clock::time_point until) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_released.wait_until(lock, until, [this] { return !m_busy; }))
    return false;
  m_busy = true;
  return true;
}

void VelmClient::release() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_busy = false;
  }
  m_released.notify_one();
}

void VelmClient::reportStalled(Op op) {
  m_nextProbeMs = nowMs() + PROBE_INTERVAL_MS;
  if (m_stalled)
    return;
  m_stalled = true;
  LOG_WARNING(
      "velmora %s: no reply within %d ms; engine calls fail at once until it answers again "
      "(probed every %d ms)",
      opName(op), m_timeoutMs, PROBE_INTERVAL_MS);
}

void VelmClient::reportAnswering() {
  if (!m_stalled)
    return;
  m_stalled = false;
  LOG_INFO("velmora engine at %s answering again", m_path.c_str());
}

bool VelmClient::answeredLocked() {
  bool answered = false;
  // Bounded: an engine that keeps sending cannot keep the caller here.
  for (int i = 0; m_fd >= 0 && i < 256; ++i) {
    ssize_t n = ::recv(m_fd, m_rx, sizeof m_rx, MSG_DONTWAIT);
    if (n > 0) {
      answered = true;
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return answered;
    closeLocked();
  }
  if (m_fd < 0) {
    // The engine went away: no longer stalled; connecting tells whether a
    // new one is there.
    m_stalled = false;
    return true;
  }
  return answered;
}

void VelmClient::probeLocked() {
  int64_t now = nowMs();
  if (m_fd < 0 || now < m_nextProbeMs)
    return;
  m_nextProbeMs = now + PROBE_INTERVAL_MS;
  Request probe;
  probe.op = Op::GET;
  probe.index1 = probe.index2 = -1;
  probe.seq = ++m_seq;
  velmwire::Status st;
  size_t len = velmwire::encodeRequest(probe, m_tx, sizeof m_tx, st);
  // Any answer will do, "no such parameter" too; a full socket means the
  // engine has enough to answer already.
  if (len > 0)
    (void)::send(m_fd, m_tx, len, MSG_NOSIGNAL | MSG_DONTWAIT);
}

bool VelmClient::connectLocked() {
  if (m_fd >= 0)
    return true;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (m_path.size() >= sizeof addr.sun_path) {
    reportDown("socket path too long", ENAMETOOLONG);
    return false;
  }
  std::memcpy(addr.sun_path, m_path.c_str(), m_path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    reportDown("socket", errno);
    return false;
  }
  // A Unix connect completes at once or fails (a full backlog gives EAGAIN).
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    int err = errno;
    ::close(fd);
    reportDown("connect", err);
    return false;
  }
  m_fd = fd;
  if (m_down) {
    LOG_INFO("velmora engine at %s reachable again", m_path.c_str());
    m_down = false;
  }
  return true;
}

void VelmClient::closeLocked() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
}

int32_t VelmClient::sendLocked(size_t len, int64_t deadlineMs) {
  for (;;) {
    ssize_t n = ::send(m_fd, m_tx, len, MSG_NOSIGNAL);
    if (n == static_cast<ssize_t>(len))
      return velmwire::RC_OK;
    if (n >= 0)
      return velmwire::RC_PROTOCOL;  // a seqpacket is never sent in part
    if (errno == EINTR)
      continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      return velmwire::RC_UNREACHABLE;
    pollfd p{m_fd, POLLOUT, 0};
    int left = remainingMs(deadlineMs);
    if (left == 0 || (::poll(&p, 1, left) == 0))
      return velmwire::RC_TIMEOUT;
  }
}

int32_t VelmClient::awaitReplyLocked(uint32_t seq, int64_t deadlineMs, Reply& reply) {
  for (;;) {
    ssize_t n = ::recv(m_fd, m_rx, sizeof m_rx, 0);
    if (n > 0) {
      velmwire::Status st = velmwire::decodeReply(m_rx, static_cast<size_t>(n), reply);
      if (st != velmwire::Status::OK) {
        LOG_ERROR_LIMITED("velmora reply rejected: %s (%zd bytes); request failed",
                          velmwire::statusText(st), n);
        return velmwire::RC_PROTOCOL;
      }
      if (reply.seq == seq)
        return velmwire::RC_OK;
      // The late answer of a request that already timed out: drop it.
      LOG_DEBUG2("velmora stale reply seq=%u dropped (waiting for %u)", reply.seq, seq);
      continue;
    }
    if (n == 0) {
      closeLocked();
      return velmwire::RC_UNREACHABLE;
    }
    if (errno == EINTR)
      continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      closeLocked();
      return velmwire::RC_UNREACHABLE;
    }
    pollfd p{m_fd, POLLIN, 0};
    int left = remainingMs(deadlineMs);
    if (left == 0)
      return velmwire::RC_TIMEOUT;
    int r = ::poll(&p, 1, left);
    if (r == 0)
      return velmwire::RC_TIMEOUT;
  }
}

int32_t VelmClient::call(Op op, const char* name, const char* value, int32_t index1, int32_t index2,
                         std::string* valueOut) {
  Request req;
  req.op = op;
  req.index1 = index1;
  req.index2 = index2;
  req.name = name ? std::string_view(name) : std::string_view();
  req.value = value ? std::string_view(value) : std::string_view();

  int64_t deadline = nowMs() + m_timeoutMs;
  if (!acquire(std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timeoutMs))) {
    // Another caller is waiting for a stalled engine.
    LOG_WARNING_LIMITED("velmora %s: engine busy with another caller for %d ms; request failed",
                        opName(op), m_timeoutMs);
    return velmwire::RC_TIMEOUT;
  }
  struct Owner {
    VelmClient* client;
    ~Owner() { client->release(); }
  } owner{this};
  if (m_stalled) {
    if (!answeredLocked()) {
      probeLocked();
      LOG_DEBUG2("velmora %s %s: the engine is not answering; failed at once", opName(op),
                 name ? name : "");
      return velmwire::RC_TIMEOUT;
    }
    reportAnswering();
  }
  req.seq = ++m_seq;
  velmwire::Status st;
  size_t len = velmwire::encodeRequest(req, m_tx, sizeof m_tx, st);
  if (len == 0) {
    LOG_ERROR("velmora %s request not sent: %s (name %zu bytes, value %zu bytes)", opName(op),
              velmwire::statusText(st), req.name.size(), req.value.size());
    return velmwire::RC_INVALID;
  }
  bool fresh = m_fd < 0;
  if (!connectLocked())
    return velmwire::RC_UNREACHABLE;
  int32_t rc = sendLocked(len, deadline);
  if (rc == velmwire::RC_UNREACHABLE && !fresh) {
    // The engine restarted since the last call: one new connection, one resend.
    closeLocked();
    if (!connectLocked())
      return velmwire::RC_UNREACHABLE;
    rc = sendLocked(len, deadline);
  }
  if (rc != velmwire::RC_OK) {
    if (rc == velmwire::RC_UNREACHABLE) {
      reportDown("send", errno);
      closeLocked();
    } else if (rc == velmwire::RC_TIMEOUT) {
      reportStalled(op);
    }
    return rc;
  }
  Reply reply;
  rc = awaitReplyLocked(req.seq, deadline, reply);
  if (rc == velmwire::RC_UNREACHABLE)
    reportDown("connection closed", ECONNRESET);
  if (rc == velmwire::RC_TIMEOUT)
    reportStalled(op);
  if (rc != velmwire::RC_OK)
    return rc;
  reportAnswering();
  if (reply.op != op) {
    LOG_ERROR_LIMITED("velmora reply to %s carries operation %u; request failed", opName(op),
                      static_cast<unsigned>(reply.op));
    return velmwire::RC_PROTOCOL;
  }
  if (valueOut && (reply.rc == velmwire::RC_OK || op == Op::DUMP))
    valueOut->assign(reply.value.data(), reply.value.size());
  return reply.rc;
}
