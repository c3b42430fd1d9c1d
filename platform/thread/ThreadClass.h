// Thread base of the card platform: a derived class puts its thread body in
// run() and starts and joins it through startThread()/joinThread();
// ThreadStartup is the pthread start routine that calls run().
#pragma once

#include <pthread.h>

class ThreadClass {
 public:
  ThreadClass() = default;
  virtual ~ThreadClass();
  ThreadClass(const ThreadClass&) = delete;
  ThreadClass& operator=(const ThreadClass&) = delete;

  virtual int run();

 protected:
  // Runs run() on a new thread; false when the system refuses one.
  bool startThread();
  // Waits for the thread of startThread() to end; true when there is none.
  // The thread is forgotten only when the join succeeded.
  bool joinThread();

 private:
  pthread_t m_thread{};
  bool m_hasThread = false;
};

// pthread start routine; `arg` is the ThreadClass whose run() is executed.
// The new thread blocks SIGTERM so that the stop signal always lands on the
// main thread.
extern "C" void* ThreadStartup(void* arg);

// Blocks SIGTERM in the calling thread; every helper thread of the process
// calls it first.
void blockStopSignal();
