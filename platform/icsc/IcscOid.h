// OID layouts. Bits 31-30 tell the kind of cell:
//   01  event table cell (answered by ICardObjects): bit 28 = 0,
//       bits 27-22 table, 21-14 column, 13-0 row
//   10  object cell: bits 29-24 object id, 23-16 column, 15-0 row
//   11  common card object cell (served by commonStatCtrl): bits 29-24
//       common object number, 23-16 record (property id), 15-0 instance
// 00 is not assigned. The kinds differ in bits 31-30, so they never collide.
#pragma once

#include <cstdint>

namespace icscoid {

constexpr uint32_t KIND_MASK = 0xC0000000u;
constexpr uint32_t KIND_EVENT = 0x40000000u;
constexpr uint32_t KIND_OBJECT = 0x80000000u;
constexpr uint32_t KIND_COMMON = 0xC0000000u;

constexpr unsigned MAX_OBJECT_ID = 0x3F;
constexpr unsigned MAX_COLUMN = 0xFF;
constexpr unsigned MAX_ROW = 0xFFFF;

constexpr bool isEvent(uint32_t oid) {
  return (oid & KIND_MASK) == KIND_EVENT;
}
constexpr bool isObject(uint32_t oid) {
  return (oid & KIND_MASK) == KIND_OBJECT;
}
constexpr bool isCommon(uint32_t oid) {
  return (oid & KIND_MASK) == KIND_COMMON;
}

constexpr uint32_t object(unsigned objectId, unsigned column, unsigned row) {
  return KIND_OBJECT | ((objectId & MAX_OBJECT_ID) << 24) | ((column & MAX_COLUMN) << 16) |
         (row & MAX_ROW);
}
constexpr unsigned objectId(uint32_t oid) {
  return (oid >> 24) & MAX_OBJECT_ID;
}
constexpr unsigned objectColumn(uint32_t oid) {
  return (oid >> 16) & MAX_COLUMN;
}
constexpr unsigned objectRow(uint32_t oid) {
  return oid & MAX_ROW;
}

// Common cells share the object cells' field widths.
constexpr uint32_t common(unsigned number, unsigned record, unsigned instance) {
  return KIND_COMMON | ((number & MAX_OBJECT_ID) << 24) | ((record & MAX_COLUMN) << 16) |
         (instance & MAX_ROW);
}
constexpr unsigned commonNumber(uint32_t oid) {
  return objectId(oid);
}
constexpr unsigned commonRecord(uint32_t oid) {
  return objectColumn(oid);
}
constexpr unsigned commonInstance(uint32_t oid) {
  return objectRow(oid);
}

constexpr uint32_t event(unsigned table, unsigned column, unsigned row) {
  return KIND_EVENT | ((table & 0x3Fu) << 22) | ((column & 0xFFu) << 14) | (row & 0x3FFFu);
}
constexpr unsigned eventTable(uint32_t oid) {
  return (oid >> 22) & 0x3Fu;
}
constexpr unsigned eventColumn(uint32_t oid) {
  return (oid >> 14) & 0xFFu;
}
constexpr unsigned eventRow(uint32_t oid) {
  return oid & 0x3FFFu;
}
constexpr bool eventBit28(uint32_t oid) {
  return (oid & 0x10000000u) != 0;
}

}  // namespace icscoid
