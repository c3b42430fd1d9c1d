// Encoding of rtnetlink requests and decoding of the kernel's replies, as
// pure functions over bytes: no socket here, so every length check is unit
// tested and fuzzed without a kernel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rtnl {

using Bytes = std::vector<uint8_t>;

struct LinkInfo {
  int index = 0;
  std::string name;
  uint32_t flags = 0;  // IFF_*
  bool hasMac = false;
  std::array<uint8_t, 6> mac{};
  std::string kind;  // "vlan", "veth", ... or empty
  uint16_t vlanId = 0;
};

struct AddrInfo {
  int index = 0;
  uint32_t address = 0;  // host byte order
  uint8_t prefix = 0;
};

struct RouteInfo {
  uint32_t table = 0;
  uint8_t type = 0;
  uint32_t destination = 0;  // host byte order
  uint8_t prefix = 0;
  bool hasGateway = false;
  uint32_t gateway = 0;
  int outIndex = 0;
};

struct RouteRequest {
  uint32_t destination = 0;
  uint8_t prefix = 0;
  bool hasGateway = false;
  uint32_t gateway = 0;
  int outIndex = 0;  // 0: let the kernel pick by gateway
};

// Requests; `seq` is echoed by the kernel in its replies.
Bytes encodeGetLinkByName(const std::string& name, uint32_t seq);
Bytes encodeGetLinkByIndex(int index, uint32_t seq);
Bytes encodeNewVlan(const std::string& name, int parentIndex, uint16_t vlanId, uint32_t seq);
Bytes encodeDelLink(int index, uint32_t seq);
// mac and up state are optional: nullptr / -1 leaves them as they are.
Bytes encodeSetLink(int index, const std::array<uint8_t, 6>* mac, int up, uint32_t seq);
Bytes encodeAddr(bool add, int index, uint32_t address, uint8_t prefix, uint32_t seq);
Bytes encodeGetAddrDump(uint32_t seq);
Bytes encodeRoute(bool add, const RouteRequest& route, uint32_t seq);
Bytes encodeGetRouteDump(uint32_t seq);

enum class Part {
  DATA,     // one message of a reply for the handler
  ACK,      // error message with code 0
  ERROR,    // error message with a negative code
  DONE,     // end of a dump
  INVALID,  // lengths do not add up: the rest of the buffer is dropped
};

struct ReplyMessage {
  Part part = Part::INVALID;
  uint16_t type = 0;
  uint32_t seq = 0;
  int error = 0;                     // negative errno for ERROR
  std::string extack;                // kernel's explanation, when it sent one
  const uint8_t* payload = nullptr;  // whole message (header included) for DATA
  size_t length = 0;
};

// Splits a received datagram into messages; stops at the first malformed one
// (reported as INVALID).
std::vector<ReplyMessage> splitReply(const uint8_t* data, size_t length);

// Decoders take one DATA message; false when it is of another type or too
// short for its fixed header. Attributes that are malformed are ignored.
bool decodeLink(const uint8_t* msg, size_t length, LinkInfo& out);
bool decodeAddr(const uint8_t* msg, size_t length, AddrInfo& out);
bool decodeRoute(const uint8_t* msg, size_t length, RouteInfo& out);

}  // namespace rtnl
