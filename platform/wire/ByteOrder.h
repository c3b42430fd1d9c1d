// Field-by-field access to wire messages in a fixed byte order, for every
// codec. Both sides are bounds-checked: a read or write past the end does
// nothing (reads give 0) and clears ok(), so a codec may read a whole layout
// and check once.
#pragma once

#include <endian.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace wire {

enum class Order { LITTLE, BIG };

template <Order O>
struct Swap {
  static uint16_t u16(uint16_t v) { return O == Order::LITTLE ? htole16(v) : htobe16(v); }
  static uint32_t u32(uint32_t v) { return O == Order::LITTLE ? htole32(v) : htobe32(v); }
  static uint64_t u64(uint64_t v) { return O == Order::LITTLE ? htole64(v) : htobe64(v); }
};

template <Order O>
class Reader {
 public:
  Reader(const uint8_t* data, size_t len) : m_data(data), m_len(data == nullptr ? 0 : len) {}

  bool ok() const { return m_ok; }
  size_t pos() const { return m_pos; }
  size_t left() const { return m_len - m_pos; }

  uint8_t u8() {
    const uint8_t* p = take(1);
    return p == nullptr ? 0 : *p;
  }
  uint16_t u16() {
    uint16_t v = 0;
    if (const uint8_t* p = take(sizeof v))
      std::memcpy(&v, p, sizeof v);
    return Swap<O>::u16(v);
  }
  uint32_t u32() {
    uint32_t v = 0;
    if (const uint8_t* p = take(sizeof v))
      std::memcpy(&v, p, sizeof v);
    return Swap<O>::u32(v);
  }
  uint64_t u64() {
    uint64_t v = 0;
    if (const uint8_t* p = take(sizeof v))
      std::memcpy(&v, p, sizeof v);
    return Swap<O>::u64(v);
  }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  void skip(size_t n) { take(n); }
  // The next `n` bytes as they are; null when fewer are left.
  const uint8_t* bytes(size_t n) { return take(n); }
  // A text field of `size` bytes, up to its first NUL (it need not have one);
  // empty past the end.
  std::string_view text(size_t size) {
    const uint8_t* p = take(size);
    if (p == nullptr)
      return std::string_view("");
    const char* c = reinterpret_cast<const char*>(p);
    return std::string_view(c, strnlen(c, size));
  }

 private:
  const uint8_t* take(size_t n) {
    if (!m_ok || n > m_len - m_pos) {
      m_ok = false;
      return nullptr;
    }
    const uint8_t* p = m_data + m_pos;
    m_pos += n;
    return p;
  }

  const uint8_t* m_data;
  size_t m_len;
  size_t m_pos = 0;
  bool m_ok = true;
};

template <Order O>
class Writer {
 public:
  Writer(uint8_t* buf, size_t cap) : m_buf(buf), m_cap(buf == nullptr ? 0 : cap) {}

  bool ok() const { return m_ok; }
  size_t size() const { return m_pos; }

  void u8(uint8_t v) { put(&v, 1); }
  void u16(uint16_t v) {
    v = Swap<O>::u16(v);
    put(&v, sizeof v);
  }
  void u32(uint32_t v) {
    v = Swap<O>::u32(v);
    put(&v, sizeof v);
  }
  void u64(uint64_t v) {
    v = Swap<O>::u64(v);
    put(&v, sizeof v);
  }
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void bytes(const void* data, size_t n) { put(data, n); }
  void zeros(size_t n) {
    if (uint8_t* p = take(n))
      std::memset(p, 0, n);
  }
  // A text field of `size` bytes: the text cut to the field, NUL-padded.
  void text(std::string_view s, size_t size) {
    uint8_t* p = take(size);
    if (p == nullptr)
      return;
    size_t n = s.size() < size ? s.size() : size;
    if (n > 0)
      std::memcpy(p, s.data(), n);
    std::memset(p + n, 0, size - n);
  }

 private:
  uint8_t* take(size_t n) {
    if (!m_ok || n > m_cap - m_pos) {
      m_ok = false;
      return nullptr;
    }
    uint8_t* p = m_buf + m_pos;
    m_pos += n;
    return p;
  }
  void put(const void* data, size_t n) {
    if (uint8_t* p = take(n); p != nullptr && n > 0)
      std::memcpy(p, data, n);
  }

  uint8_t* m_buf;
  size_t m_cap;
  size_t m_pos = 0;
  bool m_ok = true;
};

// A layout written once as a field list serves both directions:
//
//   template <typename Io, typename M> void fields(Io& io, M& m) {
//     io.u16(m.command);
//     io.text(m.name, NAME_SIZE);
//   }
//
// called with a FieldWriter and a const message to encode, with a
// FieldReader and a message to fill to decode.
template <Order O>
struct FieldWriter {
  Writer<O> w;
  void u8(uint8_t v) { w.u8(v); }
  void u16(uint16_t v) { w.u16(v); }
  void u32(uint32_t v) { w.u32(v); }
  void i32(int32_t v) { w.i32(v); }
  void text(std::string_view s, size_t size) { w.text(s, size); }
  void unused(size_t n) { w.zeros(n); }
};

template <Order O>
struct FieldReader {
  Reader<O> r;
  void u8(uint8_t& v) { v = r.u8(); }
  void u16(uint16_t& v) { v = r.u16(); }
  void u32(uint32_t& v) { v = r.u32(); }
  void i32(int32_t& v) { v = r.i32(); }
  template <typename S>
  void text(S& s, size_t size) {
    s = S(r.text(size));
  }
  void unused(size_t n) { r.skip(n); }
};

using LeReader = Reader<Order::LITTLE>;
using LeWriter = Writer<Order::LITTLE>;
using BeReader = Reader<Order::BIG>;
using BeWriter = Writer<Order::BIG>;

}  // namespace wire
