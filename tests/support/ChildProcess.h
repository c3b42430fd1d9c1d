// Built binaries run as child processes of a test, and waiting with a
// deadline for what they should bring about.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

using Clock = std::chrono::steady_clock;

// Retries `cond` every 20 ms until it holds or `limit` passes.
bool waitFor(const std::function<bool()>& cond, Clock::duration limit);

// One built binary (through the qemu prefix where needed, no shell between)
// with its output appended to a log file; stopped (SIGTERM, then SIGKILL)
// when destroyed.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const std::string& bin, const std::vector<std::string>& args,
               const std::string& env = "", const std::string& logPath = "");
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // `env` holds NAME=value words added to (or replacing in) the test's
  // environment; without `logPath` the output goes to a file of its own. A
  // `bin` with an absolute path is a host program, run as it is.
  void start(const std::string& bin, const std::vector<std::string>& args,
             const std::string& env = "", const std::string& logPath = "");
  bool alive();
  void signal(int sig);
  // Set before start(): the child leads a process group of its own, and
  // signalGroup() reaches whatever it started too.
  void leadGroup() { m_leadGroup = true; }
  void signalGroup(int sig);
  // Waits for the exit; true with the exit status (or 128 + signal) when it
  // came within `limit`.
  bool waitExit(Clock::duration limit, int& status);
  // SIGTERM, then SIGKILL after `grace`.
  void stop(Clock::duration grace = std::chrono::seconds(5));
  std::string log() const;

 private:
  pid_t m_pid = -1;
  int m_status = -1;
  bool m_leadGroup = false;
  std::string m_logPath;
};

// A built binary run to its end: the exit status (-1 when it did not end
// within `limit`) and its stdout and stderr together.
struct ToolResult {
  int status = -1;
  std::string out;
};
ToolResult runTool(const std::string& bin, const std::vector<std::string>& args,
                   Clock::duration limit = std::chrono::seconds(30));

// Runs `cmd` through the shell and returns its stdout; `status` receives the
// wait status.
std::string runShell(const std::string& cmd, int* status = nullptr);

// A built binary's command line: the qemu prefix where needed and the path.
std::string binCommand(const std::string& bin);

// True while `pid` runs (a zombie waiting for its reaper does not count).
bool processRunning(pid_t pid);

}  // namespace testsupport
