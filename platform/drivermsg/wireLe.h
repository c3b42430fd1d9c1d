// Little-endian field access for the driver message layouts. Callers check
// the length before reading; these never look past offset + width.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wire {

inline uint16_t getU16(const uint8_t* p, size_t off) {
  return static_cast<uint16_t>(p[off] | (p[off + 1] << 8));
}

inline uint32_t getU32(const uint8_t* p, size_t off) {
  return static_cast<uint32_t>(p[off]) | (static_cast<uint32_t>(p[off + 1]) << 8) |
         (static_cast<uint32_t>(p[off + 2]) << 16) | (static_cast<uint32_t>(p[off + 3]) << 24);
}

inline int32_t getI32(const uint8_t* p, size_t off) {
  return static_cast<int32_t>(getU32(p, off));
}

inline void putU16(uint8_t* p, size_t off, uint16_t v) {
  p[off] = static_cast<uint8_t>(v);
  p[off + 1] = static_cast<uint8_t>(v >> 8);
}

inline void putU32(uint8_t* p, size_t off, uint32_t v) {
  for (size_t i = 0; i < 4; ++i)
    p[off + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace wire
