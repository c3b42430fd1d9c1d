// Unix datagram link to the pca9552 LED driver process: the card's own bound
// socket and the driver's well-known address. Only moves bytes; what they
// mean is the card's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class LedDriverLink {
 public:
  virtual ~LedDriverLink() = default;
  // Each returns false and fills `error` (strerror text) on failure.
  virtual bool create(int& fd, std::string& error) = 0;
  // Removes a stale socket file at `ownPath`, then binds to it.
  virtual bool bind(const char* ownPath, std::string& error) = 0;
  virtual bool peerPresent(const char* peerPath) const = 0;
  // Never blocks: a datagram that cannot go at once (the driver's queue is
  // full) fails like any other.
  virtual bool sendTo(const char* peerPath, const uint8_t* data, size_t len,
                      std::string& error) = 0;
  // Closes the socket and removes `ownPath`.
  virtual void close(const char* ownPath) = 0;
};

class UnixLedDriverLink : public LedDriverLink {
 public:
  UnixLedDriverLink() = default;
  ~UnixLedDriverLink() override;
  bool create(int& fd, std::string& error) override;
  bool bind(const char* ownPath, std::string& error) override;
  bool peerPresent(const char* peerPath) const override;
  bool sendTo(const char* peerPath, const uint8_t* data, size_t len, std::string& error) override;
  void close(const char* ownPath) override;

 private:
  int m_fd = -1;
};
