// The front end's bookkeeping, free of I/O: turns a client datagram into the
// card's message 28 and routes the card's answer back to the client.
//
// Several clients may use the same request ids, so each forwarded request
// gets a front-end tag in its request-id field; the answer carries the tag
// back, which finds the client (address and port) and its own id.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "drivermsg/udpQueueMsg.h"

class UdpRouter {
 public:
  static constexpr size_t QUEUE_MSG_MAX = udpmsg::MAX_SIZE;
  static constexpr uint64_t TTL_MS = 10000;
  static constexpr size_t MAX_PENDING = 4096;

  enum class Result { OK, TOO_LONG, UNKNOWN_TAG, TOO_SHORT, FULL };

  // Writes the queue message for datagram `dgram` from `from` into `out`
  // (QUEUE_MSG_MAX bytes) and sets `outLen`.
  Result toCard(const uint8_t* dgram, size_t len, const sockaddr_in& from, uint64_t nowMs,
                uint8_t* out, size_t& outLen);
  // `msg` is a message of "/queueToUdp" (id, address, ICSC message). On OK
  // the ICSC message at `payload` has the client's id again and `to` is the
  // client.
  Result fromCard(uint8_t* msg, size_t len, sockaddr_in& to, uint8_t*& payload, size_t& payloadLen);
  void expire(uint64_t nowMs);
  size_t pending() const { return m_pending.size(); }

 private:
  struct Entry {
    sockaddr_in client;
    uint32_t clientId;
    uint64_t sentMs;
  };
  uint32_t m_nextTag = 1;
  std::unordered_map<uint32_t, Entry> m_pending;
};
