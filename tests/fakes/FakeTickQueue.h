// Records tick messages; open and send failures are scripted.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "tick/TickQueue.h"

class FakeTickQueue : public TickQueue {
 public:
  bool open(const char* name, std::string& error) override {
    openCalled = true;
    if (failOpen) {
      error = "No such file or directory";
      return false;
    }
    openedName = name;
    return true;
  }
  bool send(const void* msg, size_t len, std::string& error) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++attempts;
    if (failEvery != 0 && attempts % failEvery == 0) {
      error = "Resource temporarily unavailable";
      return false;
    }
    const uint8_t* p = static_cast<const uint8_t*>(msg);
    sent.emplace_back(p, p + len);
    return true;
  }
  size_t sentCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return sent.size();
  }

  std::atomic<bool> openCalled{false};
  bool failOpen = false;
  unsigned failEvery = 0;  // every n-th send fails
  unsigned attempts = 0;
  std::string openedName;
  std::mutex mutex;
  std::vector<std::vector<uint8_t>> sent;
};
