// Runs a program as a child process from an argument vector (no shell),
// feeding it `input` on standard input and collecting what it writes.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace childprocess {

// What the main loop waits at most for one of the card's short commands
// (ip, vconfig, iptables-restore) before the command is killed.
constexpr std::chrono::milliseconds kCommandLimit{10000};

// Exit status of the child, or -1 when it could not be started, was killed
// by a signal or ran past `limit` (zero: no limit). The program is searched
// in PATH. Standard output and error are collected together.
int run(const std::vector<std::string>& argv, const std::string& input, std::string* output,
        std::chrono::milliseconds limit = std::chrono::milliseconds(0));

struct Bounds {
  // The child (and what it started in its process group) is killed once
  // this has passed; zero waits for as long as it takes.
  std::chrono::milliseconds limit{0};
  // Standard error apart from standard output (else both in `output`).
  bool separateErrors = false;
  // Kept of each stream; the rest is read and dropped.
  size_t maxOutput = 1 << 20;
  // When this descriptor becomes readable the child is killed as at the
  // limit (the caller is stopping); -1: none.
  int stopFd = -1;
};

struct Outcome {
  bool started = false;
  bool timedOut = false;  // killed at the limit
  bool stopped = false;   // killed through stopFd
  int exitStatus = -1;    // when it exited
  int signal = 0;         // when a signal ended it (SIGKILL after a timeout)
  std::string output;
  std::string errors;      // with separateErrors
  std::string startError;  // why it could not be started
  bool exited() const { return started && !timedOut && !stopped && signal == 0 && exitStatus >= 0; }
};

Outcome run(const std::vector<std::string>& argv, const std::string& input, const Bounds& bounds);

// A child watched step by step, for a caller that must not wait (the card's
// loop): pump() moves what is ready and tells when the outcome is final.
// run() is start() and pump() until done.
class Child {
 public:
  Child() = default;
  // A child still running is killed (with its process group) and reaped.
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // False when it cannot start (outcome().startError says why). A limit or
  // a stop descriptor gives the child a process group of its own.
  bool start(const std::vector<std::string>& argv, const std::string& input, const Bounds& bounds);
  // Moves input and output, then reaps. wait false: only what is ready now;
  // true: until the child has ended. True once the outcome is final.
  bool pump(bool wait);
  // Kills it now; the outcome says stopped.
  void stop();
  bool started() const { return m_pid > 0; }
  bool done() const { return m_done; }
  const Outcome& outcome() const { return m_outcome; }
  // The standard output kept so far, handed over (for reports read as they
  // come); bounds.maxOutput applies to what has not been taken.
  std::string takeOutput();

 private:
  bool streamsOpen() const;
  bool moveStreams(int timeoutMs);
  void finish(bool kill);

  std::string m_input;
  size_t m_sent = 0;
  Bounds m_bounds;
  std::chrono::steady_clock::time_point m_deadline;
  int m_in = -1, m_out = -1, m_err = -1;
  int m_pid = -1;
  bool m_done = false;
  Outcome m_outcome;
};

}  // namespace childprocess
