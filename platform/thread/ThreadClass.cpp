#include "thread/ThreadClass.h"

#include <csignal>
#include <cstdio>

ThreadClass::~ThreadClass() = default;

int ThreadClass::run() {
  std::printf("..in run\n");
  return 0;
}

bool ThreadClass::startThread() {
  m_hasThread = pthread_create(&m_thread, nullptr, ThreadStartup, this) == 0;
  return m_hasThread;
}

bool ThreadClass::joinThread() {
  if (!m_hasThread)
    return true;
  if (pthread_join(m_thread, nullptr) != 0)
    return false;
  m_hasThread = false;
  return true;
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
