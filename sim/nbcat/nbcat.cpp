// Bench stand-in of the card's nbcat: prints what a log device holds now
// and returns, never waiting for more (works on files and fifos alike).
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "SimCli.h"

namespace {

bool writeAll(const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(STDOUT_FILENO, p, n);
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0)
      return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

int drain(const char* path) {
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    std::fprintf(stderr, "nbcat: %s: %s\n", path, std::strerror(errno));
    return 1;
  }
  char buf[8192];
  int rc = 0;
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n == 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)))
      break;
    if (n < 0 || !writeAll(buf, static_cast<size_t>(n))) {
      std::fprintf(stderr, "nbcat: %s: %s\n", path, std::strerror(errno));
      rc = 1;
      break;
    }
  }
  ::close(fd);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  const char usage[] =
      "usage: nbcat FILE...\n"
      "  prints what each FILE (a log device, fifo or file) holds now, without waiting\n";
  int rc = simcli::parse("nbcat", usage, argc, argv, simcli::ANYWHERE, {},
                         [](int, const char*) { return std::string(); });
  if (rc >= 0)
    return rc;
  if (optind >= argc)
    return simcli::badUsage("nbcat", "no file", usage);
  rc = 0;
  for (int i = optind; i < argc; ++i)
    rc |= drain(argv[i]);
  return rc;
}
