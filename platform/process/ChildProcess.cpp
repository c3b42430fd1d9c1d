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

}  // namespace

Outcome run(const std::vector<std::string>& argv, const std::string& input, const Bounds& bounds) {
  Outcome o;
  if (argv.empty()) {
    o.startError = "no program";
    return o;
  }
  Pair in, out, err;
  if (!in.open() || !out.open() || (bounds.separateErrors && !err.open())) {
    o.startError = std::strerror(errno);
    return o;
  }
  bool limited = bounds.limit.count() > 0;
  Clock::time_point deadline = Clock::now() + bounds.limit;
  pid_t pid = spawn(argv, in.theirs, out.theirs, bounds.separateErrors ? err.theirs : out.theirs,
                    limited || bounds.stopFd >= 0, o.startError);
  in.closeTheirs();
  out.closeTheirs();
  err.closeTheirs();
  if (pid < 0)
    return o;
  o.started = true;

  size_t sent = 0;
  if (input.empty())
    in.closeOurs();
  char buf[4096];
  while (in.ours >= 0 || out.ours >= 0 || err.ours >= 0) {
    int timeoutMs = -1;
    if (limited) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) {
        o.timedOut = true;
        break;
      }
      timeoutMs = static_cast<int>(left);
    }
    pollfd fds[4] = {{in.ours, POLLOUT, 0},
                     {out.ours, POLLIN, 0},
                     {err.ours, POLLIN, 0},
                     {bounds.stopFd, POLLIN, 0}};
    int n = poll(fds, 4, timeoutMs);
    if (n < 0 && errno != EINTR)
      break;
    if (n <= 0)
      continue;
    if (fds[3].revents != 0) {
      o.stopped = true;
      break;
    }
    if (fds[0].revents != 0) {
      ssize_t w =
          send(in.ours, input.data() + sent, input.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (w > 0)
        sent += static_cast<size_t>(w);
      else if (errno != EAGAIN && errno != EINTR)
        in.closeOurs();  // the child does not read
      if (sent == input.size())
        in.closeOurs();
    }
    for (int i : {1, 2}) {
      if (fds[i].revents == 0)
        continue;
      Pair& p = i == 1 ? out : err;
      ssize_t r = read(p.ours, buf, sizeof buf);
      if (r > 0)
        append(i == 1 ? o.output : o.errors, buf, static_cast<size_t>(r), bounds.maxOutput);
      else if (r == 0 || (errno != EAGAIN && errno != EINTR))
        p.closeOurs();
    }
  }
  in.closeOurs();
  out.closeOurs();
  err.closeOurs();

  int status = 0;
  if (!limited && bounds.stopFd < 0) {
    status = waitStatus(pid);
  } else {
    // Its output closed, the child may still linger: the limit and the stop
    // hold until it has exited.
    for (;;) {
      bool ending = o.timedOut || o.stopped;
      pid_t w = ending ? 0 : waitpid(pid, &status, WNOHANG);
      if (w == pid)
        break;
      if (w < 0 && errno == EINTR)
        continue;
      if (w < 0) {
        status = -1;
        break;
      }
      if (!ending && limited && Clock::now() >= deadline)
        o.timedOut = ending = true;
      if (ending) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        status = waitStatus(pid);
        break;
      }
      pollfd stop = {bounds.stopFd, POLLIN, 0};
      if (poll(&stop, 1, 10) > 0)
        o.stopped = true;
    }
  }
  if (status == -1)
    return o;
  if (WIFEXITED(status))
    o.exitStatus = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    o.signal = WTERMSIG(status);
  return o;
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
