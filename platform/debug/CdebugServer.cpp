#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "debug/Odebug.h"
#include "debug/TraceDebug.h"
#include "thread/ThreadClass.h"
#include "trace/TraceObject.h"

namespace Odebug {

namespace {

// A client that stops reading is dropped rather than holding its thread.
constexpr int kSendTimeoutSec = 5;

bool sendAll(int fd, const std::string& text) {
  size_t off = 0;
  while (off < text.size()) {
    ssize_t n = ::send(fd, text.data() + off, text.size() - off, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

CdebugServer::CdebugServer(unsigned short port) : m_port(port) {}

CdebugServer::~CdebugServer() {
  stop();
}

bool CdebugServer::start() {
  if (m_listenFd >= 0)
    return true;
  if (pipe2(m_wakeFd, O_CLOEXEC) != 0) {
    LOG_ERROR("debug server: pipe failed: %s", std::strerror(errno));
    return false;
  }
  m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(m_port);
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t alen = sizeof addr;
  if (m_listenFd < 0 || setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
      bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(m_listenFd, 8) != 0 ||
      getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &alen) != 0) {
    LOG_ERROR("debug server: cannot listen on TCP port %u: %s; console not available",
              unsigned(m_port), std::strerror(errno));
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
    int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
      continue;
    timeval tv{kSendTimeoutSec, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    std::lock_guard<std::mutex> lock(m_mutex);
    reapLocked(false);
    if (m_clients.size() >= kMaxClients) {
      sendAll(fd, std::string("too many console clients, try again later\n#END ") +
                      resultName(Result::BUSY) + "\n");
      close(fd);
      continue;
    }
    auto c = std::make_unique<Client>();
    c->fd = fd;
    Client* raw = c.get();
    m_clients.push_back(std::move(c));
    raw->thread = std::thread(&CdebugServer::serve, this, raw);
  }
}

void CdebugServer::serve(Client* c) {
  blockStopSignal();
  ConsoleSession session;
  bool open = sendAll(c->fd, ConsoleSession::banner());
  char buf[512];
  while (open && !m_stopping) {
    pollfd fds[2] = {{c->fd, POLLIN, 0}, {m_wakeFd[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      break;
    }
    if (fds[1].revents != 0)
      break;
    ssize_t n = recv(c->fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    std::string out;
    open = session.feed(buf, static_cast<size_t>(n), out);
    if (!out.empty() && !sendAll(c->fd, out))
      break;
  }
  shutdown(c->fd, SHUT_RDWR);
  c->done = true;
}

}  // namespace Odebug
