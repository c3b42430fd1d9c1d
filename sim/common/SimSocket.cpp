#include "SimSocket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace simsocket {

int serveUnix(const std::string& path, int type, int backlog) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  unlink(path.c_str());
  if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      (type != SOCK_DGRAM && listen(fd, backlog) != 0)) {
    int err = errno;
    close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

}  // namespace simsocket
