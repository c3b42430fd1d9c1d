// Records every datagram the LED client sends; presence and failures are
// scripted by the test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "led/LedDriverLink.h"

class FakeLedDriverLink : public LedDriverLink {
 public:
  bool create(int& fd, std::string& error) override {
    fd = failCreate ? -1 : 7;
    return !failCreate || fail(error, "Too many open files");
  }
  bool bind(const char*, std::string& error) override {
    return !failBind || fail(error, "Address already in use");
  }
  bool peerPresent(const char*) const override { return present; }
  bool sendTo(const char*, const uint8_t* data, size_t len, std::string& error) override {
    if (failSend)
      return fail(error, "Connection refused");
    sent.emplace_back(data, data + len);
    return true;
  }
  void close(const char*) override {}

  bool failCreate = false;
  bool failBind = false;
  bool present = true;
  bool failSend = false;
  std::vector<std::vector<uint8_t>> sent;

 private:
  static bool fail(std::string& error, const char* text) {
    error = text;
    return false;
  }
};
