// Thread base of the card platform: a derived class puts its thread body in
// run(); ThreadStartup is the pthread start routine that calls it.
#pragma once

#include <pthread.h>

class ThreadClass {
 public:
  ThreadClass() = default;
  virtual ~ThreadClass();
  ThreadClass(const ThreadClass&) = delete;
  ThreadClass& operator=(const ThreadClass&) = delete;

  virtual int run();
};

// pthread start routine; `arg` is the ThreadClass whose run() is executed.
extern "C" void* ThreadStartup(void* arg);
