#include "ThreadProbe.h"

#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
void* nothing(void*) {
  return nullptr;
}
}  // namespace

namespace testsupport {

bool threadsWork() {
  static const bool works = [] {
    pid_t pid = fork();
    if (pid == 0) {
      pthread_t t;
      if (pthread_create(&t, nullptr, nothing, nullptr) != 0)
        _exit(1);
      pthread_join(t, nullptr);
      _exit(0);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
  }();
  return works;
}

}  // namespace testsupport
