#include "thread/ThreadClass.h"

#include <cstdio>

ThreadClass::~ThreadClass() = default;

int ThreadClass::run() {
  std::printf("..in run\n");
  return 0;
}

extern "C" void* ThreadStartup(void* arg) {
  if (arg != nullptr)
    static_cast<ThreadClass*>(arg)->run();
  return nullptr;
}
