#include "process/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "process/executeCommand.h"
#include "trace/TraceObject.h"

extern char** environ;

namespace childprocess {

namespace {

using Clock = std::chrono::steady_clock;

// Socket pairs rather than pipes: send() with MSG_NOSIGNAL cannot raise
// SIGPIPE in the card when the child exits without reading its input.
struct Pair {
  int ours = -1;
  int theirs = -1;
  bool open() {
    int sv[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) < 0)
      return false;
    ours = sv[0];
    theirs = sv[1];
    return true;
  }
  void closeOurs() {
    if (ours >= 0)
      close(ours);
    ours = -1;
  }
  void closeTheirs() {
    if (theirs >= 0)
      close(theirs);
    theirs = -1;
  }
  ~Pair() {
    closeOurs();
    closeTheirs();
  }
};

// Where a program is named by its path, why it cannot run, told before the
// start: not every system reports a failed exec from posix_spawn (an
// emulator's vfork is a fork, and the child only exits 127).
int unrunnable(const std::string& path) {
  if (path.find('/') == std::string::npos)
    return 0;
  struct stat st;
  if (stat(path.c_str(), &st) < 0)
    return errno;
  if (!S_ISREG(st.st_mode) || access(path.c_str(), X_OK) < 0)
    return EACCES;
  return 0;
}

pid_t spawn(const std::vector<std::string>& argv, int in, int out, int err, bool ownGroup,
            std::string& error) {
  if (int why = unrunnable(argv[0])) {
    error = std::strerror(why);
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
  // Nothing of the card's (sockets, queues, files) stays open in the child.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  // The calling thread's blocked signals and the card's ignored ones are
  // not the child's business.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGCHLD})
    sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (ownGroup) {
    posix_spawnattr_setpgroup(&attr, 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  posix_spawnattr_setflags(&attr, flags);
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    error = std::strerror(rc);
    return -1;
  }
  return pid;
}

void append(std::string& to, const char* data, size_t n, size_t max) {
  if (to.size() < max)
    to.append(data, std::min(n, max - to.size()));
}

int waitStatus(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return -1;
  }
  return status;
}

void closeFd(int& fd) {
  if (fd >= 0)
    close(fd);
  fd = -1;
}

// Polls so often at most in one pump without waiting: a child that writes
// without pause cannot hold the caller.
constexpr int kMaxPollsPerPump = 64;

}  // namespace

Child::~Child() {
  if (m_pid > 0 && !m_done)
    finish(true);
  closeFd(m_in);
  closeFd(m_out);
  closeFd(m_err);
}

bool Child::start(const std::vector<std::string>& argv, const std::string& input,
                  const Bounds& bounds) {
  m_outcome = Outcome{};
  m_bounds = bounds;
  m_input = input;
  m_sent = 0;
  m_done = true;
  if (argv.empty()) {
    m_outcome.startError = "no program";
    return false;
  }
  Pair in, out, err;
  if (!in.open() || !out.open() || (bounds.separateErrors && !err.open())) {
    m_outcome.startError = std::strerror(errno);
    return false;
  }
  bool limited = bounds.limit.count() > 0;
  m_deadline = Clock::now() + bounds.limit;
  pid_t pid = spawn(argv, in.theirs, out.theirs, bounds.separateErrors ? err.theirs : out.theirs,
                    limited || bounds.stopFd >= 0, m_outcome.startError);
  if (pid < 0)
    return false;
  m_outcome.started = true;
  m_pid = pid;
  m_done = false;
  std::swap(m_in, in.ours);
  std::swap(m_out, out.ours);
  std::swap(m_err, err.ours);
  if (m_input.empty())
    closeFd(m_in);
  return true;
}

bool Child::streamsOpen() const {
  return m_in >= 0 || m_out >= 0 || m_err >= 0;
}

// One poll of the streams and the stop descriptor; false when nothing was
// ready within `timeoutMs`.
bool Child::moveStreams(int timeoutMs) {
  pollfd fds[4] = {
      {m_in, POLLOUT, 0}, {m_out, POLLIN, 0}, {m_err, POLLIN, 0}, {m_bounds.stopFd, POLLIN, 0}};
  int n = poll(fds, 4, timeoutMs);
  if (n <= 0)
    return false;
  if (fds[3].revents != 0) {
    m_outcome.stopped = true;
    return true;
  }
  if (fds[0].revents != 0) {
    ssize_t w =
        send(m_in, m_input.data() + m_sent, m_input.size() - m_sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (w > 0)
      m_sent += static_cast<size_t>(w);
    else if (errno != EAGAIN && errno != EINTR)
      closeFd(m_in);  // the child does not read
    if (m_sent == m_input.size())
      closeFd(m_in);
  }
  char buf[4096];
  for (int i : {1, 2}) {
    if (fds[i].revents == 0)
      continue;
    int& fd = i == 1 ? m_out : m_err;
    ssize_t r = read(fd, buf, sizeof buf);
    if (r > 0)
      append(i == 1 ? m_outcome.output : m_outcome.errors, buf, static_cast<size_t>(r),
             m_bounds.maxOutput);
    else if (r == 0 || (errno != EAGAIN && errno != EINTR))
      closeFd(fd);
  }
  return true;
}

bool Child::pump(bool wait) {
  if (m_done)
    return true;
  bool limited = m_bounds.limit.count() > 0;
  bool watched = limited || m_bounds.stopFd >= 0;
  for (int polls = 0; wait || polls < kMaxPollsPerPump; ++polls) {
    if (limited && !m_outcome.stopped && Clock::now() >= m_deadline)
      m_outcome.timedOut = true;
    if (m_outcome.stopped || m_outcome.timedOut) {
      finish(true);
      return true;
    }
    if (streamsOpen()) {
      int timeoutMs = 0;
      if (wait) {
        timeoutMs = -1;
        if (limited) {
          auto left = std::chrono::ceil<std::chrono::milliseconds>(m_deadline - Clock::now());
          timeoutMs = static_cast<int>(std::max<int64_t>(0, left.count()));
        }
      }
      if (!moveStreams(timeoutMs) && !wait)
        return false;
      continue;
    }
    // Its output closed, the child may still linger: the limit and the stop
    // hold until it has exited.
    int status = 0;
    pid_t w = waitpid(m_pid, &status, wait && !watched ? 0 : WNOHANG);
    if (w == m_pid) {
      m_done = true;
      if (WIFEXITED(status))
        m_outcome.exitStatus = WEXITSTATUS(status);
      else if (WIFSIGNALED(status))
        m_outcome.signal = WTERMSIG(status);
      return true;
    }
    if (w < 0 && errno != EINTR) {
      m_done = true;
      return true;
    }
    if (!wait)
      return false;
    pollfd stop = {m_bounds.stopFd, POLLIN, 0};
    if (poll(&stop, 1, 10) > 0)
      m_outcome.stopped = true;
  }
  return false;
}

void Child::stop() {
  if (m_pid <= 0 || m_done)
    return;
  m_outcome.stopped = true;
  finish(true);
}

void Child::finish(bool killIt) {
  if (killIt) {
    kill(-m_pid, SIGKILL);
    kill(m_pid, SIGKILL);
  }
  closeFd(m_in);
  closeFd(m_out);
  closeFd(m_err);
  int status = waitStatus(m_pid);
  m_done = true;
  if (status == -1)
    return;
  if (WIFEXITED(status))
    m_outcome.exitStatus = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    m_outcome.signal = WTERMSIG(status);
}

std::string Child::takeOutput() {
  std::string out;
  out.swap(m_outcome.output);
  return out;
}

Outcome run(const std::vector<std::string>& argv, const std::string& input, const Bounds& bounds) {
  Child child;
  if (child.start(argv, input, bounds))
    child.pump(true);
  return child.outcome();
}

int run(const std::vector<std::string>& argv, const std::string& input, std::string* output,
        std::chrono::milliseconds limit) {
  Bounds bounds;
  bounds.limit = limit;
  Outcome o = run(argv, input, bounds);
  if (output != nullptr) {
    *output =
        o.started || argv.empty() ? o.output : "cannot start " + argv[0] + ": " + o.startError;
    if (o.timedOut)
      *output += " (killed after " + std::to_string(limit.count()) + " ms)";
  }
  return o.exited() ? o.exitStatus : -1;
}

}  // namespace childprocess

namespace otn {

bool executeCommand(const std::string& command, bool wait, std::string* output, int* exitStatus,
                    bool logFailure) {
  if (!wait)
    LOG_WARNING("command '%s' is run and waited for anyway", command.c_str());
  std::string text;
  int status =
      childprocess::run({"/bin/sh", "-c", command}, "", &text, childprocess::kCommandLimit);
  if (output != nullptr)
    *output = text;
  if (exitStatus != nullptr)
    *exitStatus = status;
  if (status != 0 && logFailure) {
    while (!text.empty() && text.back() == '\n')
      text.pop_back();
    LOG_ERROR("command '%s' failed with status %d: %s", command.c_str(), status, text.c_str());
  }
  return status == 0;
}

}  // namespace otn
