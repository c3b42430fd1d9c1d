#include "board/boardUtils.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "trace/LogLimit.h"

namespace {

constexpr unsigned kMaxSlot = 63;
constexpr char kRequest[] = "SLOT?\n";
constexpr char kReboot[] = "REBOOT\n";
constexpr char kRebooting[] = "REBOOTING\n";

}  // namespace

bool boardUtils::parseSlotReply(const char* data, size_t len, int& slot) {
  static constexpr char kPrefix[] = "SLOT ";
  constexpr size_t kPrefixLen = sizeof kPrefix - 1;
  if (data == nullptr || len <= kPrefixLen || std::memcmp(data, kPrefix, kPrefixLen) != 0)
    return false;
  const char* last = data + len;
  unsigned value = 0;
  auto [end, error] = std::from_chars(data + kPrefixLen, last, value);
  if (error != std::errc() || value > kMaxSlot || end == last || *end != '\n')
    return false;
  slot = static_cast<int>(value);
  return true;
}

bool boardUtils::isSlotRequest(const char* data, size_t len) {
  return data != nullptr && len == sizeof kRequest - 1 && std::memcmp(data, kRequest, len) == 0;
}

std::string boardUtils::slotReply(int slot) {
  return slot < 0 ? "NOSLOT\n" : "SLOT " + std::to_string(slot) + "\n";
}

bool boardUtils::isRebootRequest(const char* data, size_t len) {
  return data != nullptr && len == sizeof kReboot - 1 && std::memcmp(data, kReboot, len) == 0;
}

const char* boardUtils::rebootReply() {
  return kRebooting;
}

size_t boardUtils::exchange(const char* request, size_t len, char* reply, size_t size,
                            int timeoutMs, bool& timedOut) const {
  timedOut = false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    return 0;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, m_socketPath, sizeof addr.sun_path - 1);
  // One deadline for the whole exchange: a driver that dribbles its answer
  // or is interrupted by signals still costs the caller `timeoutMs` at most.
  const int64_t deadline = trace::monotonicMs() + timeoutMs;
  auto ready = [&](short events) {
    for (;;) {
      int64_t left = deadline - trace::monotonicMs();
      pollfd p{fd, events, 0};
      int r = left > 0 ? poll(&p, 1, static_cast<int>(left)) : 0;
      if (r < 0 && errno == EINTR)
        continue;
      timedOut = r == 0;
      return r > 0;
    }
  };
  size_t got = 0;
  // A Unix connect completes at once or fails (EAGAIN: the backlog is full).
  bool sent = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && ready(POLLOUT) &&
              send(fd, request, len, MSG_NOSIGNAL) == static_cast<ssize_t>(len);
  while (sent && got < size && ready(POLLIN)) {
    ssize_t n = recv(fd, reply + got, size - got, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
      continue;
    if (n <= 0)
      break;
    got += static_cast<size_t>(n);
    if (std::memchr(reply, '\n', got) != nullptr)
      break;
  }
  close(fd);
  return got;
}

bool boardUtils::getSlotNum(int& slot) const {
  // After a driver that did not answer, ask again only a while later: a hung
  // driver costs the main loop one short wait per second, not one per pass.
  if (trace::monotonicMs() < m_quietUntilMs)
    return false;
  char reply[32];
  bool timedOut = false;
  size_t got = exchange(kRequest, sizeof kRequest - 1, reply, sizeof reply, 200, timedOut);
  m_quietUntilMs = timedOut ? trace::monotonicMs() + 1000 : 0;
  return parseSlotReply(reply, got, slot);
}

bool boardUtils::requestReboot() const {
  char reply[16];
  bool timedOut = false;
  // Rare and wanted: worth a longer wait on a busy board.
  size_t got = exchange(kReboot, sizeof kReboot - 1, reply, sizeof reply, 1000, timedOut);
  return got == sizeof kRebooting - 1 && std::memcmp(reply, kRebooting, got) == 0;
}
