#include "ConsoleClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace testsupport {

ConsoleClient::~ConsoleClient() {
  if (m_fd >= 0)
    ::close(m_fd);
}

int connectTcp(unsigned short port, int timeoutSeconds, const char* address, int receiveBuffer) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  timeval tv{timeoutSeconds, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  if (receiveBuffer > 0)
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  if (::inet_pton(AF_INET, address, &a.sin_addr) != 1) {
    ::close(fd);
    return -1;
  }
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
    return fd;
  ::close(fd);
  return -1;
}

bool ConsoleClient::connect(unsigned short port, std::chrono::milliseconds deadline) {
  auto until = Clock::now() + deadline;
  while ((m_fd = connectTcp(port)) < 0) {
    if (Clock::now() >= until)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::string banner;
  return readLine(banner, until) && banner.rfind("# ", 0) == 0;
}

bool ConsoleClient::readLine(std::string& line, Clock::time_point until) {
  for (;;) {
    size_t nl = m_pending.find('\n');
    if (nl != std::string::npos) {
      line = m_pending.substr(0, nl);
      m_pending.erase(0, nl + 1);
      return true;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (m_fd < 0 || left.count() <= 0)
      return false;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
      continue;
    char buf[4096];
    ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n <= 0)
      return false;
    m_pending.append(buf, static_cast<size_t>(n));
  }
}

std::string ConsoleClient::run(const std::string& line, std::string* result,
                               std::chrono::milliseconds deadline) {
  if (result)
    result->clear();
  std::string msg = line + "\n";
  if (m_fd < 0 ||
      ::send(m_fd, msg.data(), msg.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(msg.size()))
    return "";
  auto until = Clock::now() + deadline;
  std::string out, l;
  while (readLine(l, until)) {
    if (l.rfind("#END ", 0) == 0) {
      if (result)
        *result = l.substr(5);
      return out;
    }
    out += l + "\n";
  }
  return out;
}

std::string mainConsole(const std::string& line, std::chrono::milliseconds limit) {
  ConsoleClient c;
  std::string result;
  std::string out = c.connect(kMainConsolePort, limit) ? c.run(line, &result, limit) : "";
  return result.empty() ? "" : out;
}

}  // namespace testsupport
