#include "thread/ThreadClass.h"

#include <csignal>
#include <cstdio>

ThreadClass::~ThreadClass() = default;

int ThreadClass::run() {
  std::printf("..in run\n");
  return 0;
}

void blockStopSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

extern "C" void* ThreadStartup(void* arg) {
  blockStopSignal();
  if (arg != nullptr)
    static_cast<ThreadClass*>(arg)->run();
  return nullptr;
}
