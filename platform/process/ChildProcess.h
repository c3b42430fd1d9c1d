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

}  // namespace childprocess
