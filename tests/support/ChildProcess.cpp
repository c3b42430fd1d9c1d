#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "TestSupport.h"

namespace testsupport {

bool waitFor(const std::function<bool()>& cond, Clock::duration limit) {
  auto deadline = Clock::now() + limit;
  for (;;) {
    if (cond())
      return true;
    if (Clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

ChildProcess::ChildProcess(const std::string& bin, const std::vector<std::string>& args,
                           const std::string& env, const std::string& logPath) {
  start(bin, args, env, logPath);
}

ChildProcess::~ChildProcess() {
  stop();
}

namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  out.reserve(strings.size() + 1);
  for (auto& s : strings)
    out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

std::vector<std::string> environment(const std::string& extra) {
  std::vector<std::string> added = words(extra), env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry(*e);
    std::string name = entry.substr(0, entry.find('=') + 1);
    if (std::none_of(added.begin(), added.end(), [&](auto& a) { return a.rfind(name, 0) == 0; }))
      env.push_back(entry);
  }
  env.insert(env.end(), added.begin(), added.end());
  return env;
}

}  // namespace

void ChildProcess::start(const std::string& bin, const std::vector<std::string>& args,
                         const std::string& env, const std::string& logPath) {
  static std::atomic<unsigned> serial{0};
  m_logPath = logPath.empty() ? "/tmp/child-" + bin.substr(bin.rfind('/') + 1) + "-" +
                                    std::to_string(++serial) + ".log"
                              : logPath;
  // Everything is prepared before fork: the test may run threads.
  // An absolute path is a program of the host (a script): no qemu prefix.
  bool host = !bin.empty() && bin[0] == '/';
  std::vector<std::string> argStrings = host ? std::vector<std::string>{} : words(execPrefix());
  argStrings.push_back(host ? bin : binPath(bin));
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<std::string> envStrings = environment(env);
  std::vector<char*> argv = pointers(argStrings);
  std::vector<char*> envp = pointers(envStrings);
  m_status = -1;
  m_pid = fork();
  if (m_pid == 0) {
    if (m_leadGroup)
      setpgid(0, 0);
    int fd = open(m_logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
}

bool ChildProcess::alive() {
  if (m_pid <= 0)
    return false;
  int st = 0;
  pid_t r = waitpid(m_pid, &st, WNOHANG);
  if (r == m_pid) {
    m_status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    m_pid = -1;
    return false;
  }
  return true;
}

void ChildProcess::signal(int sig) {
  if (m_pid > 0)
    kill(m_pid, sig);
}

void ChildProcess::signalGroup(int sig) {
  if (m_pid > 0 && m_leadGroup)
    kill(-m_pid, sig);
}

bool ChildProcess::waitExit(Clock::duration limit, int& status) {
  bool gone = waitFor([this] { return !alive(); }, limit);
  status = m_status;
  return gone;
}

void ChildProcess::stop(Clock::duration grace) {
  if (m_pid <= 0)
    return;
  int st;
  // A stopped child must be woken to see the SIGTERM.
  kill(m_pid, SIGCONT);
  kill(m_pid, SIGTERM);
  if (!waitExit(grace, st)) {
    kill(m_pid, SIGKILL);
    waitExit(std::chrono::seconds(5), st);
  }
}

std::string ChildProcess::log() const {
  return readFile(m_logPath);
}

ToolResult runTool(const std::string& bin, const std::vector<std::string>& args,
                   Clock::duration limit) {
  ChildProcess p(bin, args);
  ToolResult r;
  if (!p.waitExit(limit, r.status))
    r.status = -1;
  r.out = p.log();
  return r;
}

std::string runShell(const std::string& cmd, int* status) {
  std::string out;
  FILE* p = ::popen(cmd.c_str(), "r");
  char buf[4096];
  size_t n;
  while (p && (n = std::fread(buf, 1, sizeof buf, p)) > 0)
    out.append(buf, n);
  int st = p ? ::pclose(p) : -1;
  if (status)
    *status = st;
  return out;
}

bool processRunning(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pidText, comm, state;
  return static_cast<bool>(stat >> pidText >> comm >> state) && state != "Z";
}

std::string binCommand(const std::string& bin) {
  std::string prefix = execPrefix();
  return (prefix.empty() ? "" : prefix + " ") + binPath(bin);
}

}  // namespace testsupport
