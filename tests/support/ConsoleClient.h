// Clients of the card's TCP debug console.
#pragma once

#include <chrono>
#include <string>

#include "ChildProcess.h"
#include "debug/Odebug.h"

namespace testsupport {

// One console session over TCP on 127.0.0.1.
class ConsoleClient {
 public:
  ConsoleClient() = default;
  ~ConsoleClient();
  ConsoleClient(const ConsoleClient&) = delete;
  ConsoleClient& operator=(const ConsoleClient&) = delete;

  // Connects and reads the banner line; false when either fails in time.
  bool connect(unsigned short port, std::chrono::milliseconds deadline = std::chrono::seconds(10));
  // Sends one line; returns the output without the end line and sets
  // `result` to the end line's result ("ok", "bad-argument-count", ...;
  // empty when no end line came in time).
  std::string run(const std::string& line, std::string* result = nullptr,
                  std::chrono::milliseconds deadline = std::chrono::seconds(20));

 private:
  bool readLine(std::string& line, std::chrono::steady_clock::time_point until);
  int m_fd = -1;
  std::string m_pending;
};

constexpr unsigned short kMainConsolePort = Odebug::CdebugServer::kConsolePort;

// A TCP connection to `port` on `address`; -1 when refused. With a timeout,
// connecting, sending and receiving each give up after that many seconds; a
// receive buffer is set before connecting, so the window stays that small.
int connectTcp(unsigned short port, int timeoutSeconds = 0, const char* address = "127.0.0.1",
               int receiveBuffer = 0);

// The output of one line on a fresh session with main's console; empty
// without a complete answer within `limit`.
std::string mainConsole(const std::string& line,
                        std::chrono::milliseconds limit = std::chrono::seconds(3));

}  // namespace testsupport
