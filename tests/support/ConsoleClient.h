// Test helpers for the real processes around the card: a client of the TCP
// debug console and the velmora stand-in started as a child process.
#pragma once

#include <chrono>
#include <string>

#include "ChildProcess.h"

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
  // Dies without a chance to clean up, as in a crash.
  void kill();
  void signal(int sig) { m_proc.signal(sig); }

 private:
  std::string m_socket, m_config, m_log;
  ChildProcess m_proc;
};

// One exchange on a fresh connection to the console on 127.0.0.1: the text
// read until `until` shows up or `limit` passes.
std::string consoleExchange(const std::string& line, const std::string& until,
                            Clock::duration limit = std::chrono::seconds(3),
                            unsigned short port = 10000);

// The card's state as "main internals" shows it; empty without an answer.
std::string cardState();

}  // namespace testsupport
