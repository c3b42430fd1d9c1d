// Send-only handle on an existing POSIX queue for the tick thread: opened
// write-only and non-blocking, never created, so a full or missing
// controller queue never blocks or fakes a receiver.
#pragma once

#include <cstddef>
#include <string>

class TickQueue {
 public:
  virtual ~TickQueue() = default;
  // Both return false and fill `error` with the strerror text on failure.
  virtual bool open(const char* name, std::string& error) = 0;
  virtual bool send(const void* msg, size_t len, std::string& error) = 0;
};

class PosixTickQueue : public TickQueue {
 public:
  ~PosixTickQueue() override;
  bool open(const char* name, std::string& error) override;
  bool send(const void* msg, size_t len, std::string& error) override;

 private:
  int m_mqd = -1;
};
