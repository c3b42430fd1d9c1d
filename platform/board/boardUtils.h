// Board information and control from the board driver. On the bench the
// driver's stand-in answers on a Unix stream socket, one line per
// connection: "SLOT?\n" is answered "SLOT <n>\n" (or "NOSLOT\n" while it
// does not know); "REBOOT\n" is answered "REBOOTING\n" before the board
// resets the card.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class boardUtils {
 public:
  static constexpr const char* kDriverSocket = "/tmp/boardDriverServer";

  boardUtils() = default;
  explicit boardUtils(const char* socketPath) : m_socketPath(socketPath) {}

  // true and `slot` set when the driver reports the slot; false (slot
  // untouched) when the driver is absent, does not know it or answers
  // nonsense. Waits 200 ms at most; for a second after a driver that did not
  // answer in time it fails at once without asking.
  bool getSlotNum(int& slot) const;

  // Asks the board to reboot the card; true when the driver took it.
  bool requestReboot() const;

  // Decodes the driver's answer; exposed for tests.
  static bool parseSlotReply(const char* data, size_t len, int& slot);
  // The driver's side of the exchange (its bench stand-in).
  static bool isSlotRequest(const char* data, size_t len);
  static std::string slotReply(int slot);  // "NOSLOT\n" for a negative slot
  static bool isRebootRequest(const char* data, size_t len);
  static const char* rebootReply();

 private:
  // One request line, the answer up to its newline (at most `size` bytes),
  // all within `timeoutMs`; `timedOut` tells a driver that did not answer
  // in time.
  size_t exchange(const char* request, size_t len, char* reply, size_t size, int timeoutMs,
                  bool& timedOut) const;

  const char* m_socketPath = kDriverSocket;
  mutable int64_t m_quietUntilMs = 0;
};
