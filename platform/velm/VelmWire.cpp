#include "velm/VelmWire.h"

#include <cctype>
#include <string>

#include "wire/ByteOrder.h"

namespace velmwire {

namespace {

// Length-prefixed text: u16 length, then the bytes.
void writeText(wire::LeWriter& w, std::string_view s) {
  w.u16(static_cast<uint16_t>(s.size()));
  w.bytes(s.data(), s.size());
}

// False when the length is past the end or beyond `limit`.
bool readText(wire::LeReader& r, size_t limit, std::string_view& out) {
  if (r.left() < 2)
    return false;
  size_t n = r.u16();
  if (n > limit || n > r.left())
    return false;
  out = std::string_view(reinterpret_cast<const char*>(r.bytes(n)), n);
  return true;
}

bool containsWord(std::string_view name, std::string_view word) {
  return name.find(word) != std::string_view::npos;
}

}  // namespace

const char* statusText(Status s) {
  switch (s) {
    case Status::OK:
      return "ok";
    case Status::TOO_SHORT:
      return "too short";
    case Status::BAD_VERSION:
      return "bad version";
    case Status::BAD_OP:
      return "bad operation";
    case Status::BAD_LENGTH:
      return "bad length";
    case Status::TRAILING_DATA:
      return "trailing data";
    case Status::NO_ROOM:
      return "no room";
  }
  return "?";
}

bool validOp(uint8_t op) {
  return op >= static_cast<uint8_t>(Op::GET) && op <= static_cast<uint8_t>(Op::DUMP);
}

namespace {

// Version, operation and sequence number, then `fields`.
template <typename Message, typename Fields>
size_t encodeMessage(const Message& msg, uint8_t* buf, size_t cap, Status& status, Fields fields) {
  wire::LeWriter w(buf, cap);
  w.u8(WIRE_VERSION);
  w.u8(static_cast<uint8_t>(msg.op));
  w.u32(msg.seq);
  fields(w);
  status = w.ok() ? Status::OK : Status::NO_ROOM;
  return w.ok() ? w.size() : 0;
}

}  // namespace

size_t encodeRequest(const Request& req, uint8_t* buf, size_t cap, Status& status) {
  if (req.name.size() > MAX_NAME_LEN || req.value.size() > MAX_VALUE_LEN) {
    status = Status::BAD_LENGTH;
    return 0;
  }
  return encodeMessage(req, buf, cap, status, [&req](wire::LeWriter& w) {
    w.i32(req.index1);
    w.i32(req.index2);
    writeText(w, req.name);
    writeText(w, req.value);
  });
}

size_t encodeReply(const Reply& rep, uint8_t* buf, size_t cap, Status& status) {
  if (rep.value.size() > MAX_VALUE_LEN) {
    status = Status::BAD_LENGTH;
    return 0;
  }
  return encodeMessage(rep, buf, cap, status, [&rep](wire::LeWriter& w) {
    w.i32(rep.rc);
    writeText(w, rep.value);
  });
}

namespace {

// Version and operation, the start of every message.
Status readStart(wire::LeReader& r, Op& op) {
  if (r.u8() != WIRE_VERSION)
    return Status::BAD_VERSION;
  uint8_t raw = r.u8();
  if (!validOp(raw))
    return Status::BAD_OP;
  op = static_cast<Op>(raw);
  return Status::OK;
}

// At least `headerSize` bytes, version and operation, sequence number,
// then `fields`; nothing may follow them. `out` is set only on success.
template <typename Message, typename Fields>
Status decodeMessage(const uint8_t* buf, size_t len, size_t headerSize, Message& out,
                     Fields fields) {
  if (buf == nullptr || len < headerSize)
    return Status::TOO_SHORT;
  wire::LeReader r(buf, len);
  Message msg;
  Status st = readStart(r, msg.op);
  if (st != Status::OK)
    return st;
  msg.seq = r.u32();
  st = fields(r, msg);
  if (st != Status::OK)
    return st;
  if (r.left() != 0)
    return Status::TRAILING_DATA;
  out = msg;
  return Status::OK;
}

}  // namespace

Status decodeRequest(const uint8_t* buf, size_t len, Request& out) {
  return decodeMessage(buf, len, REQUEST_HEADER_SIZE, out, [](wire::LeReader& r, Request& req) {
    req.index1 = r.i32();
    req.index2 = r.i32();
    if (!readText(r, MAX_NAME_LEN, req.name))
      return Status::BAD_LENGTH;
    if (r.left() < 2)
      return Status::TOO_SHORT;
    return readText(r, MAX_VALUE_LEN, req.value) ? Status::OK : Status::BAD_LENGTH;
  });
}

Status decodeReply(const uint8_t* buf, size_t len, Reply& out) {
  return decodeMessage(buf, len, REPLY_HEADER_SIZE, out, [](wire::LeReader& r, Reply& rep) {
    rep.rc = r.i32();
    return readText(r, MAX_VALUE_LEN, rep.value) ? Status::OK : Status::BAD_LENGTH;
  });
}

bool isCredentialName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return containsWord(lower, "password") || containsWord(lower, "passwd") ||
         containsWord(lower, "user_name") || containsWord(lower, "username") ||
         containsWord(lower, "auth");
}

}  // namespace velmwire
