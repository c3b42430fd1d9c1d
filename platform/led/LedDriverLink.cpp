#include "led/LedDriverLink.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

sockaddr_un unixAddress(const char* path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path, sizeof addr.sun_path - 1);
  return addr;
}

}  // namespace

UnixLedDriverLink::~UnixLedDriverLink() {
  if (m_fd > 0)
    ::close(m_fd);
}

bool UnixLedDriverLink::create(int& fd, std::string& error) {
  m_fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
  fd = m_fd;
  if (m_fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

bool UnixLedDriverLink::bind(const char* ownPath, std::string& error) {
  ::unlink(ownPath);
  sockaddr_un addr = unixAddress(ownPath);
  if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

bool UnixLedDriverLink::peerPresent(const char* peerPath) const {
  return ::access(peerPath, F_OK) == 0;
}

bool UnixLedDriverLink::sendTo(const char* peerPath, const uint8_t* data, size_t len,
                               std::string& error) {
  sockaddr_un addr = unixAddress(peerPath);
  // Never waits: a driver that stops reading must not hold up the caller.
  ssize_t n = ::sendto(m_fd, data, len, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&addr),
                       sizeof addr);
  if (n < 0 || static_cast<size_t>(n) != len) {
    error = n < 0 ? std::strerror(errno) : "short send";
    return false;
  }
  return true;
}

void UnixLedDriverLink::close(const char* ownPath) {
  if (m_fd > 0) {
    ::close(m_fd);
    m_fd = -1;
  }
  ::unlink(ownPath);
}
