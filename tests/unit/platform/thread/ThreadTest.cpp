// Thread start, sleep through signals and the mutex guard.
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include "thread/BetterSleep.h"
#include "thread/Guard.h"
#include "thread/ThreadClass.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class Counter : public ThreadClass {
 public:
  int run() override {
    ++runs;
    self = pthread_self();
    sigset_t set;
    pthread_sigmask(SIG_BLOCK, nullptr, &set);
    termBlocked = sigismember(&set, SIGTERM) == 1;
    return 0;
  }
  std::atomic<int> runs{0};
  pthread_t self{};
  bool termBlocked = false;
};

TEST(Thread, StartupRunsTheObjectOnTheNewThread) {
  Counter c;
  pthread_t t;
  ASSERT_EQ(pthread_create(&t, nullptr, ThreadStartup, &c), 0);
  ASSERT_EQ(pthread_join(t, nullptr), 0);
  EXPECT_EQ(c.runs, 1);
  EXPECT_TRUE(pthread_equal(c.self, t));
  EXPECT_TRUE(c.termBlocked) << "SIGTERM must reach the main thread only";
}

TEST(Thread, BetterSleepSleepsThroughSignals) {
  struct sigaction sa {};
  sa.sa_handler = [](int) {};
  sigaction(SIGUSR1, &sa, nullptr);
  pthread_t me = pthread_self();
  std::thread poker([me] {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(milliseconds(20));
      pthread_kill(me, SIGUSR1);
    }
  });
  auto t0 = Clock::now();
  BetterSleep(0.3);
  auto slept = Clock::now() - t0;
  poker.join();
  EXPECT_GE(slept, milliseconds(300));
}

TEST(Thread, GuardHoldsTheMutexForItsLifetime) {
  pthread_mutex_t m = PTHREAD_MUTEX_INITIALIZER;
  {
    Guard g(m);
    EXPECT_EQ(pthread_mutex_trylock(&m), EBUSY);
  }
  EXPECT_EQ(pthread_mutex_trylock(&m), 0);
  pthread_mutex_unlock(&m);
}

}  // namespace
