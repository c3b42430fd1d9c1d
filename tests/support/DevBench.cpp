#include "DevBench.h"

#include <sys/wait.h>

#include <filesystem>

#include "ChildProcess.h"

namespace testsupport {

std::string shellQuoted(const std::string& s) {
  std::string q = "'";
  for (char c : s)
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

DevBench::DevBench(const std::string& name)
    : m_dir(std::string(FXS_BIN_DIR) + "/../dev-bench/" + name) {
  std::filesystem::remove_all(m_dir);
  std::filesystem::create_directories(m_dir);
}

DevBench::~DevBench() {
  run("./dev chassis stop; ./dev bench stop", nullptr, 120);
}

std::string DevBench::env() const {
  return "export FXS_BENCH_DIR=" + shellQuoted(benchDir()) +
         " FXS_CHASSIS_DIR=" + shellQuoted(chassisDir()) +
         " FXS_BUILD_DIR=" + shellQuoted(std::string(FXS_BIN_DIR) + "/..") + "; cd " +
         shellQuoted(FXS_SOURCE_DIR) + "; ";
}

std::string DevBench::run(const std::string& line, int* status, int seconds) const {
  int st = -1;
  std::string out = runShell("timeout -k 5 " + std::to_string(seconds) + " bash -c " +
                                 shellQuoted(env() + line) + " </dev/null 2>&1",
                             &st);
  if (status)
    *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return out;
}

std::string DevBench::inCard(const std::string& command, int slot) const {
  std::string dir = slot == 0 ? benchDir() : chassisDir() + "/slot" + std::to_string(slot);
  return runShell("nsenter -t \"$(cat " + shellQuoted(dir + "/ns.pid") + ")\" -i -m -n sh -c " +
                  shellQuoted(command) + " 2>&1");
}

bool DevBench::chassisRunning() const {
  int st = -1;
  runShell("kill -0 \"$(cat " + shellQuoted(chassisDir() + "/chassis.pid") +
               " 2>/dev/null)\" 2>/dev/null",
           &st);
  return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

bool DevBench::running() const {
  int st = -1;
  run("./dev bench status", &st, 30);
  return st == 0;
}

}  // namespace testsupport
