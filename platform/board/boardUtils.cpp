#include "board/boardUtils.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

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
                            long timeoutUs) const {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return 0;
  timeval tv{timeoutUs / 1000000, timeoutUs % 1000000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, m_socketPath, sizeof addr.sun_path - 1);
  size_t got = 0;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      send(fd, request, len, MSG_NOSIGNAL) == static_cast<ssize_t>(len)) {
    // A signal (the board's reset of the card after "REBOOTING") ends a
    // timed recv early with EINTR: a few retries still read the answer.
    for (int interrupted = 0; got < size;) {
      ssize_t n = recv(fd, reply + got, size - got, 0);
      if (n < 0 && errno == EINTR && ++interrupted < 5)
        continue;
      if (n <= 0)
        break;
      got += static_cast<size_t>(n);
      if (std::memchr(reply, '\n', got) != nullptr)
        break;
    }
  }
  close(fd);
  return got;
}

bool boardUtils::getSlotNum(int& slot) const {
  char reply[32];
  // The driver answers at once or not at all: never hold up the main loop.
  size_t got = exchange(kRequest, sizeof kRequest - 1, reply, sizeof reply, 200000);
  return parseSlotReply(reply, got, slot);
}

bool boardUtils::requestReboot() const {
  char reply[16];
  // Rare and wanted: worth a longer wait on a busy board.
  size_t got = exchange(kReboot, sizeof kReboot - 1, reply, sizeof reply, 1000000);
  return got == sizeof kRebooting - 1 && std::memcmp(reply, kRebooting, got) == 0;
}
