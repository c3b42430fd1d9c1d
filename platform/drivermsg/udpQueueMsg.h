// Message 28 between the UDP front end and the card, on "/queueToMain"
// towards the card and on "/queueToUdp" back, little-endian:
//
//   id u32 | sender address text [15], NUL-padded | ICSC message
//
// Decoding copies nothing: the fields are views into the received bytes,
// so the sender's address is written only when an answer is encoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "drivermsg/mainQueue.h"

namespace udpmsg {

// The card's answers to the front end. While the front end is busy the
// card may answer a full inbound queue, the request in its hands and the
// one the front end was waiting to post: all of them fit.
constexpr const char* UDP_QUEUE = "/queueToUdp";
constexpr long UDP_QUEUE_DEPTH = mainqueue::DEPTH + 2;

constexpr size_t ADDR_SIZE = 15;
constexpr size_t HEADER_SIZE = 4 + ADDR_SIZE;
constexpr size_t MAX_SIZE = static_cast<size_t>(mainqueue::MAX_MSG_SIZE);
constexpr size_t MAX_ICSC_SIZE = MAX_SIZE - HEADER_SIZE;

// `Byte` is const for a received message, non-const where the owner rewrites
// the ICSC message in place (the front end's request ids).
template <typename Byte>
struct BasicUdpQueueMsg {
  uint32_t id = 0;
  std::string_view sender;  // the address text without its padding
  Byte* icsc = nullptr;     // the ICSC message, inside the decoded bytes
  size_t icscLen = 0;
};
using UdpQueueMsg = BasicUdpQueueMsg<const uint8_t>;
using UdpQueueMsgInPlace = BasicUdpQueueMsg<uint8_t>;

// false when no ICSC byte follows the address; `out` then still holds the
// id and as much of the address as arrived, for the caller's log line.
bool decode(const uint8_t* data, size_t len, UdpQueueMsg& out);
bool decode(uint8_t* data, size_t len, UdpQueueMsgInPlace& out);

// Writes message `id` into `buf`: the address cut to 15 characters, then
// the ICSC message. Returns the length, or 0 when it does not fit `cap` or
// the queue's message size.
size_t encode(uint32_t id, std::string_view sender, const uint8_t* icsc, size_t icscLen,
              uint8_t* buf, size_t cap);

// The sender text handed on as a C string (at most ADDR_SIZE characters,
// terminated only when shorter), bounded again by whoever reads it.
std::string_view boundedSender(const char* sender);

}  // namespace udpmsg
