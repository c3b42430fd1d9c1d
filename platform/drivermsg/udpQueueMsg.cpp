#include "drivermsg/udpQueueMsg.h"

#include <cstring>

#include "wire/ByteOrder.h"

namespace udpmsg {

namespace {

template <typename Byte>
bool decodeAny(Byte* data, size_t len, BasicUdpQueueMsg<Byte>& out) {
  out = {};
  wire::LeReader r(data, len);
  out.id = r.u32();
  // A short message keeps the part of the address that arrived.
  out.sender = r.text(r.left() < ADDR_SIZE ? r.left() : ADDR_SIZE);
  if (!r.ok() || r.left() == 0)
    return false;
  out.icscLen = r.left();
  out.icsc = data + r.pos();
  return true;
}

}  // namespace

bool decode(const uint8_t* data, size_t len, UdpQueueMsg& out) {
  return decodeAny(data, len, out);
}

bool decode(uint8_t* data, size_t len, UdpQueueMsgInPlace& out) {
  return decodeAny(data, len, out);
}

size_t encode(uint32_t id, std::string_view sender, const uint8_t* icsc, size_t icscLen,
              uint8_t* buf, size_t cap) {
  if (icscLen > MAX_ICSC_SIZE)
    return 0;
  wire::LeWriter w(buf, cap);
  w.u32(id);
  w.text(sender, ADDR_SIZE);
  w.bytes(icsc, icscLen);
  return w.ok() ? w.size() : 0;
}

std::string_view boundedSender(const char* sender) {
  if (sender == nullptr)
    return std::string_view("");
  return std::string_view(sender, strnlen(sender, ADDR_SIZE));
}

}  // namespace udpmsg
