// A bench of a test's own for running ./dev as a user does: its state under
// the build tree, this build's binaries, commands run through bash from the
// source tree.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestSupport.h"

extern char** environ;

namespace testsupport {

inline std::string shellQuoted(const std::string& s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// One bench per name: its own state, this build's binaries.
class DocBench {
 public:
  explicit DocBench(const std::string& name)
      : m_dir(std::string(FXS_BIN_DIR) + "/../docs-bench/" + name) {
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
  }
  ~DocBench() { run("./dev bench stop"); }

  // The bench's own directory (its state is in bench/ below it).
  const std::string& dir() const { return m_dir; }

  std::string env() const {
    return "export FXS_BENCH_DIR=" + shellQuoted(m_dir + "/bench") +
           " FXS_BUILD_DIR=" + shellQuoted(std::string(FXS_BIN_DIR) + "/..") + "; cd " +
           shellQuoted(FXS_SOURCE_DIR) + "; ";
  }
  // Runs a shell line as written; output and exit status.
  std::string run(const std::string& line, int* status = nullptr, int seconds = 180) const {
    int st = -1;
    std::string out = runShell("timeout -k 5 " + std::to_string(seconds) + " bash -c " +
                                   shellQuoted(env() + line) + " </dev/null 2>&1",
                               &st);
    if (status)
      *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return out;
  }
  bool running() const {
    int st = -1;
    run("./dev bench status", &st, 30);
    return st == 0;
  }

  // ./dev bench in the foreground, as from a terminal: Ctrl-C (SIGINT to
  // its process group) once it said the card is ready.
  ::testing::AssertionResult foreground(const std::string& line) const {
    std::string log = m_dir + "/foreground.log";
    std::string script = env() + "exec env " + line + " >" + shellQuoted(log) + " 2>&1 </dev/null";
    std::vector<std::string> args{"bash", "-c", script};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, "/bin/bash", nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0)
      return ::testing::AssertionFailure() << "cannot start bash";
    bool ready = waitFor([&] { return readFile(log).find("card ready") != std::string::npos; },
                         std::chrono::seconds(180));
    ::kill(-pid, SIGINT);
    int st = -1;
    bool ended =
        waitFor([&] { return ::waitpid(pid, &st, WNOHANG) == pid; }, std::chrono::seconds(60));
    if (!ended) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &st, 0);
    }
    std::string out = readFile(log);
    if (!ready || !ended || !WIFEXITED(st) || WEXITSTATUS(st) != 0 ||
        out.find("bench stopped") == std::string::npos)
      return ::testing::AssertionFailure()
             << "ready " << ready << ", ended " << ended << ", status " << st << ":\n"
             << out;
    return ::testing::AssertionSuccess();
  }

 private:
  std::string m_dir;
};

}  // namespace testsupport
