#include "net/ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/executeCommand.h"
#include "trace/TraceObject.h"

extern char** environ;

namespace childprocess {

int run(const std::vector<std::string>& argv, const std::string& input, std::string* output) {
  if (argv.empty())
    return -1;
  // Socket pairs rather than pipes: send() with MSG_NOSIGNAL cannot raise
  // SIGPIPE in the card when the child exits without reading its input.
  int in[2], out[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) < 0)
    return -1;
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out) < 0) {
    close(in[0]);
    close(in[1]);
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[1]);
  close(out[1]);
  if (rc != 0) {
    close(in[0]);
    close(out[0]);
    if (output != nullptr)
      *output = std::string("cannot start ") + argv[0] + ": " + std::strerror(rc);
    return -1;
  }
  size_t sent = 0;
  while (sent < input.size()) {
    ssize_t n = send(in[0], input.data() + sent, input.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    sent += static_cast<size_t>(n);
  }
  close(in[0]);
  std::string collected;
  char buf[4096];
  for (;;) {
    ssize_t n = read(out[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    collected.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return -1;
  }
  if (output != nullptr)
    *output = collected;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace childprocess

namespace otn {

bool executeCommand(const std::string& command, bool wait, std::string* output, int* exitStatus,
                    bool logFailure) {
  if (!wait)
    LOG_WARNING("command '%s' is run and waited for anyway", command.c_str());
  std::string text;
  int status = childprocess::run({"/bin/sh", "-c", command}, "", &text);
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
