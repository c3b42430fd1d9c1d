#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "debug/Odebug.h"
#include "debug/TraceDebug.h"
#include "thread/ThreadClass.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

namespace Odebug {

namespace {

int64_t nowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// A short notice to a client that is about to be closed; never waits.
void notify(int fd, const std::string& text) {
  (void)!::send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

// A number of seconds (1..86400) from the environment variable `name` into
// `ms`; anything else keeps the default, with a warning.
void secondsFromEnvironment(const char* name, unsigned& ms) {
  const char* text = std::getenv(name);
  if (text == nullptr)
    return;
  char* end = nullptr;
  unsigned long seconds = std::strtoul(text, &end, 10);
  if (end != text && *end == '\0' && seconds > 0 && seconds <= 24UL * 3600)
    ms = static_cast<unsigned>(seconds * 1000);
  else
    LOG_WARNING("debug server: %s '%s' is not 1..86400 seconds; using %u s", name, text, ms / 1000);
}

}  // namespace

CdebugServer::Options CdebugServer::optionsFromEnvironment() {
  Options o;
  if (const char* address = std::getenv("FXS_CONSOLE_ADDRESS"))
    o.address = address;
  secondsFromEnvironment("FXS_CONSOLE_IDLE_TIMEOUT", o.idleTimeoutMs);
  secondsFromEnvironment("FXS_CONSOLE_LINE_TIMEOUT", o.lineTimeoutMs);
  return o;
}

CdebugServer::CdebugServer(unsigned short port) : CdebugServer(port, optionsFromEnvironment()) {}

CdebugServer::CdebugServer(unsigned short port, Options options)
    : m_port(port), m_options(std::move(options)) {}

CdebugServer::~CdebugServer() {
  stop();
}

bool CdebugServer::start() {
  if (m_listenFd >= 0)
    return true;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(m_port);
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  const std::string shownAddress = m_options.address.empty() ? "*" : m_options.address;
  if (!m_options.address.empty() &&
      inet_pton(AF_INET, m_options.address.c_str(), &addr.sin_addr) != 1) {
    LOG_ERROR(
        "debug server: listen address '%s' is not a dotted IPv4 address; console not "
        "available",
        m_options.address.c_str());
    return false;
  }
  if (pipe2(m_wakeFd, O_CLOEXEC) != 0) {
    LOG_ERROR("debug server: pipe failed: %s", std::strerror(errno));
    return false;
  }
  m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  socklen_t alen = sizeof addr;
  if (m_listenFd < 0 || setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(m_listenFd, 8) != 0 ||
      getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &alen) != 0) {
    LOG_ERROR("debug server: cannot listen on TCP %s:%u: %s; console not available",
              shownAddress.c_str(), unsigned(m_port), std::strerror(errno));
    if (m_listenFd >= 0)
      close(m_listenFd);
    m_listenFd = -1;
    close(m_wakeFd[0]);
    close(m_wakeFd[1]);
    m_wakeFd[0] = m_wakeFd[1] = -1;
    return false;
  }
  m_port = ntohs(addr.sin_port);
  m_traceGroup = std::make_unique<TraceDebug>();
  m_stopping = false;
  m_acceptThread = std::thread(&CdebugServer::acceptLoop, this);
  LOG_INFO("debug server listening on TCP port %u", unsigned(m_port));
  return true;
}

void CdebugServer::stop() {
  if (m_listenFd < 0)
    return;
  m_stopping = true;
  char b = 1;
  (void)!write(m_wakeFd[1], &b, 1);
  if (m_acceptThread.joinable())
    m_acceptThread.join();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& c : m_clients)
      shutdown(c->fd, SHUT_RDWR);
    reapLocked(true);
  }
  close(m_listenFd);
  close(m_wakeFd[0]);
  close(m_wakeFd[1]);
  m_listenFd = -1;
  m_wakeFd[0] = m_wakeFd[1] = -1;
  m_traceGroup.reset();
}

void CdebugServer::reapLocked(bool all) {
  for (auto it = m_clients.begin(); it != m_clients.end();) {
    Client* c = it->get();
    if (all || c->done) {
      if (c->thread.joinable())
        c->thread.join();
      close(c->fd);
      it = m_clients.erase(it);
    } else {
      ++it;
    }
  }
}

bool CdebugServer::evictLocked() {
  int64_t now = nowMs();
  Client* victim = nullptr;
  int64_t longest = static_cast<int64_t>(m_options.evictIdleMs) - 1;
  for (auto& c : m_clients) {
    int64_t idle = now - c->lastActiveMs;
    if (!c->done && c->state == CLIENT_IDLE && idle > longest) {
      victim = c.get();
      longest = idle;
    }
  }
  int expected = CLIENT_IDLE;
  if (victim == nullptr || !victim->state.compare_exchange_strong(expected, CLIENT_EVICTED))
    return false;
  notify(victim->fd, "# closed: idle for " + std::to_string(longest / 1000) +
                         " s, the slot goes to a new client\n");
  shutdown(victim->fd, SHUT_RDWR);
  LOG_INFO_LIMITED("debug server: client idle for %lld s closed to serve a new one",
                   static_cast<long long>(longest / 1000));
  return true;
}

bool CdebugServer::sendReply(int fd, const std::string& text) {
  int64_t deadline = nowMs() + m_options.sendTimeoutMs;
  size_t off = 0;
  while (off < text.size()) {
    ssize_t n = ::send(fd, text.data() + off, text.size() - off, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      off += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
      return false;
    int64_t left = deadline - nowMs();
    pollfd p{fd, POLLOUT, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) == 0) {
      LOG_INFO_LIMITED("debug server: client took no output for %u ms, closed",
                       m_options.sendTimeoutMs);
      return false;
    }
  }
  return true;
}

void CdebugServer::acceptLoop() {
  blockStopSignal();
  while (!m_stopping) {
    pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFd[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      LOG_ERROR("debug server: poll failed: %s; no more clients accepted", std::strerror(errno));
      return;
    }
    if (fds[1].revents != 0 || m_stopping)
      return;
    if ((fds[0].revents & POLLIN) == 0)
      continue;
    int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
      continue;
    std::lock_guard<std::mutex> lock(m_mutex);
    reapLocked(false);
    size_t active = 0;
    for (auto& c : m_clients)
      active += c->state != CLIENT_EVICTED ? 1 : 0;
    if (active >= kMaxClients && !evictLocked()) {
      notify(fd, std::string("too many console clients, try again later\n#END ") +
                     resultName(Result::BUSY) + "\n");
      close(fd);
      continue;
    }
    auto c = std::make_unique<Client>();
    c->fd = fd;
    c->lastActiveMs = nowMs();
    Client* raw = c.get();
    m_clients.push_back(std::move(c));
    raw->thread = std::thread(&CdebugServer::serve, this, raw);
  }
}

void CdebugServer::serve(Client* c) {
  blockStopSignal();
  ConsoleSession session;
  bool open = sendReply(c->fd, ConsoleSession::banner());
  // When the first byte of the unfinished line came.
  int64_t lineStartMs = 0;
  char buf[512];
  while (open && !m_stopping && c->state != CLIENT_EVICTED) {
    int64_t now = nowMs();
    int64_t idleLeft = c->lastActiveMs + m_options.idleTimeoutMs - now;
    int64_t lineLeft = session.midLine() ? lineStartMs + m_options.lineTimeoutMs - now : INT64_MAX;
    if (lineLeft <= 0) {
      notify(c->fd, "# closed: line not completed within " +
                        std::to_string(m_options.lineTimeoutMs / 1000) + " s\n");
      LOG_INFO_LIMITED("debug server: client closed, its line not completed within %u s",
                       m_options.lineTimeoutMs / 1000);
      break;
    }
    if (idleLeft <= 0) {
      notify(c->fd,
             "# closed: idle for " + std::to_string(m_options.idleTimeoutMs / 1000) + " s\n");
      LOG_INFO_LIMITED("debug server: client idle for %u s closed", m_options.idleTimeoutMs / 1000);
      break;
    }
    pollfd fds[2] = {{c->fd, POLLIN, 0}, {m_wakeFd[0], POLLIN, 0}};
    int64_t wait = std::min({idleLeft, lineLeft, static_cast<int64_t>(INT32_MAX)});
    int r = poll(fds, 2, static_cast<int>(wait));
    if (r < 0 && errno != EINTR)
      break;
    if (r <= 0)
      continue;
    if (fds[1].revents != 0)
      break;
    ssize_t n = recv(c->fd, buf, sizeof buf, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
      continue;
    if (n <= 0)
      break;
    int expected = CLIENT_IDLE;
    if (!c->state.compare_exchange_strong(expected, CLIENT_BUSY))
      break;  // evicted meanwhile
    const int64_t receivedMs = nowMs();
    const bool wasMidLine = session.midLine();
    const unsigned long linesBefore = session.linesDone();
    std::string out;
    open = session.feed(buf, static_cast<size_t>(n), out);
    if (!out.empty() && !sendReply(c->fd, out))
      open = false;
    // Only a complete line is activity; a new unfinished one starts its
    // own clock.
    bool completed = session.linesDone() != linesBefore;
    if (completed)
      c->lastActiveMs = nowMs();
    if (session.midLine() && (completed || !wasMidLine))
      lineStartMs = receivedMs;
    c->state = CLIENT_IDLE;
  }
  shutdown(c->fd, SHUT_RDWR);
  c->done = true;
}

}  // namespace Odebug
