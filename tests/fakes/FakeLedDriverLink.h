// Records every datagram the LED client sends; presence and failures are
// scripted by the test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "led/LedDriverLink.h"

class FakeLedDriverLink : public LedDriverLink {
 public:
  bool create(int& fd, std::string& error) override;
  bool bind(const char* ownPath, std::string& error) override;
  bool peerPresent(const char* peerPath) const override;
  bool sendTo(const char* peerPath, const uint8_t* data, size_t len, std::string& error) override;
  void close(const char* ownPath) override;

  bool failCreate = false;
  bool failBind = false;
  bool present = true;
  bool failSend = false;
  int fdToReturn = 7;
  int closeCalls = 0;
  std::vector<std::vector<uint8_t>> sent;
};
