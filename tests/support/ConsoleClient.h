// Test helpers for the real processes around the card: a client of the TCP
// debug console and the velmora stand-in started as a child process.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

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

// The velmora stand-in as a child process on `socket`, keeping its
// configuration in `config` and its request log in `log`.
class VelmoraProcess {
 public:
  VelmoraProcess(std::string socket, std::string config, std::string log);
  ~VelmoraProcess();
  VelmoraProcess(const VelmoraProcess&) = delete;
  VelmoraProcess& operator=(const VelmoraProcess&) = delete;

  // Starts it and waits until the socket accepts connections.
  bool start(std::chrono::milliseconds deadline = std::chrono::seconds(20));
  void stop();

 private:
  std::string m_socket, m_config, m_log;
  pid_t m_pid = -1;
};

}  // namespace testsupport
