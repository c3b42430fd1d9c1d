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
// The new thread blocks SIGTERM so that the stop signal always lands on the
// main thread.
extern "C" void* ThreadStartup(void* arg);

// Blocks SIGTERM in the calling thread; every helper thread of the process
// calls it first.
void blockStopSignal();
