#include "SimStop.h"

#include <csignal>

namespace simstop {

namespace {

volatile sig_atomic_t g_stop = 0;

void raise(int) {
  g_stop = 1;
}

}  // namespace

void onTermination() {
  struct sigaction sa {};
  sa.sa_handler = raise;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
}

bool requested() {
  return g_stop != 0;
}

}  // namespace simstop
