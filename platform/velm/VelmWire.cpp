#include "velm/VelmWire.h"

#include <cctype>
#include <string>

namespace velmwire {

namespace {

class Writer {
 public:
  Writer(uint8_t* buf, size_t cap) : m_buf(buf), m_cap(cap) {}
  bool ok() const { return m_ok; }
  size_t size() const { return m_pos; }

  void u8(uint8_t v) {
    if (!room(1))
      return;
    m_buf[m_pos++] = v;
  }
  void u16(uint16_t v) {
    if (!room(2))
      return;
    m_buf[m_pos++] = static_cast<uint8_t>(v);
    m_buf[m_pos++] = static_cast<uint8_t>(v >> 8);
  }
  void u32(uint32_t v) {
    if (!room(4))
      return;
    for (int i = 0; i < 4; ++i)
      m_buf[m_pos++] = static_cast<uint8_t>(v >> (8 * i));
  }
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void text(std::string_view s) {
    u16(static_cast<uint16_t>(s.size()));
    if (!room(s.size()))
      return;
    for (char c : s)
      m_buf[m_pos++] = static_cast<uint8_t>(c);
  }

 private:
  bool room(size_t n) {
    if (!m_ok || m_cap - m_pos < n) {
      m_ok = false;
      return false;
    }
    return true;
  }
  uint8_t* m_buf;
  size_t m_cap;
  size_t m_pos = 0;
  bool m_ok = true;
};

class Reader {
 public:
  Reader(const uint8_t* buf, size_t len) : m_buf(buf), m_len(len) {}
  size_t left() const { return m_len - m_pos; }

  uint8_t u8() { return m_buf[m_pos++]; }
  uint16_t u16() {
    uint16_t v = static_cast<uint16_t>(m_buf[m_pos] | (m_buf[m_pos + 1] << 8));
    m_pos += 2;
    return v;
  }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<uint32_t>(m_buf[m_pos + i]) << (8 * i);
    m_pos += 4;
    return v;
  }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  // Length-prefixed text; false when the length is past the end or the limit.
  bool text(size_t limit, std::string_view& out) {
    if (left() < 2)
      return false;
    size_t n = u16();
    if (n > limit || n > left())
      return false;
    out = std::string_view(reinterpret_cast<const char*>(m_buf + m_pos), n);
    m_pos += n;
    return true;
  }

 private:
  const uint8_t* m_buf;
  size_t m_len;
  size_t m_pos = 0;
};

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

size_t encodeRequest(const Request& req, uint8_t* buf, size_t cap, Status& status) {
  if (req.name.size() > MAX_NAME_LEN || req.value.size() > MAX_VALUE_LEN) {
    status = Status::BAD_LENGTH;
    return 0;
  }
  Writer w(buf, cap);
  w.u8(WIRE_VERSION);
  w.u8(static_cast<uint8_t>(req.op));
  w.u32(req.seq);
  w.i32(req.index1);
  w.i32(req.index2);
  w.text(req.name);
  w.text(req.value);
  status = w.ok() ? Status::OK : Status::NO_ROOM;
  return w.ok() ? w.size() : 0;
}

size_t encodeReply(const Reply& rep, uint8_t* buf, size_t cap, Status& status) {
  if (rep.value.size() > MAX_VALUE_LEN) {
    status = Status::BAD_LENGTH;
    return 0;
  }
  Writer w(buf, cap);
  w.u8(WIRE_VERSION);
  w.u8(static_cast<uint8_t>(rep.op));
  w.u32(rep.seq);
  w.i32(rep.rc);
  w.text(rep.value);
  status = w.ok() ? Status::OK : Status::NO_ROOM;
  return w.ok() ? w.size() : 0;
}

namespace {

// Version and operation, the start of every message.
Status readStart(Reader& r, Op& op) {
  if (r.u8() != WIRE_VERSION)
    return Status::BAD_VERSION;
  uint8_t raw = r.u8();
  if (!validOp(raw))
    return Status::BAD_OP;
  op = static_cast<Op>(raw);
  return Status::OK;
}

}  // namespace

Status decodeRequest(const uint8_t* buf, size_t len, Request& out) {
  if (buf == nullptr || len < REQUEST_HEADER_SIZE)
    return Status::TOO_SHORT;
  Reader r(buf, len);
  Request req;
  Status st = readStart(r, req.op);
  if (st != Status::OK)
    return st;
  req.seq = r.u32();
  req.index1 = r.i32();
  req.index2 = r.i32();
  if (!r.text(MAX_NAME_LEN, req.name))
    return Status::BAD_LENGTH;
  if (r.left() < 2)
    return Status::TOO_SHORT;
  if (!r.text(MAX_VALUE_LEN, req.value))
    return Status::BAD_LENGTH;
  if (r.left() != 0)
    return Status::TRAILING_DATA;
  out = req;
  return Status::OK;
}

Status decodeReply(const uint8_t* buf, size_t len, Reply& out) {
  if (buf == nullptr || len < REPLY_HEADER_SIZE)
    return Status::TOO_SHORT;
  Reader r(buf, len);
  Reply rep;
  Status st = readStart(r, rep.op);
  if (st != Status::OK)
    return st;
  rep.seq = r.u32();
  rep.rc = r.i32();
  if (!r.text(MAX_VALUE_LEN, rep.value))
    return Status::BAD_LENGTH;
  if (r.left() != 0)
    return Status::TRAILING_DATA;
  out = rep;
  return Status::OK;
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
