#include "FakeLedDriverLink.h"

bool FakeLedDriverLink::create(int& fd, std::string& error) {
  if (failCreate) {
    fd = -1;
    error = "Too many open files";
    return false;
  }
  fd = fdToReturn;
  return true;
}

bool FakeLedDriverLink::bind(const char*, std::string& error) {
  if (failBind) {
    error = "Address already in use";
    return false;
  }
  return true;
}

bool FakeLedDriverLink::peerPresent(const char*) const {
  return present;
}

bool FakeLedDriverLink::sendTo(const char*, const uint8_t* data, size_t len, std::string& error) {
  if (failSend) {
    error = "Connection refused";
    return false;
  }
  sent.emplace_back(data, data + len);
  return true;
}

void FakeLedDriverLink::close(const char*) {
  ++closeCalls;
}
