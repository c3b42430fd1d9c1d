// The row format of the velmora mapping tables. Data only: every mapped
// object class is one constexpr MappingTable served by the generic engine
// in IcscObjects8fxs (mapping::update / mapping::updated).
//
// Adding a mapped object takes: its description in platform/icsc/
// IcscObjects.def (the generated base), one MappingTable here, one
// ICSC_VELM_SCALAR/ICSC_VELM_TABLE line (or the _STATUS_ variant for a
// read-only object) in IcscObjects8fxs.h, and its member and registration in
// CardObjects.
//
// Index rules, giving the two engine indexes of a property of row `row`:
//   SCALAR      (-1, -1)
//   ROW         (row, -1)
//   ROW_ZERO    (row, 0)
//   ROW_FIXED   (row, second)       e.g. AccountTable group lines (row, line)
//   ROW_COLUMN  (row, c - column)   list tables: one row serves `span`
//                                   columns, entry names are symbol + (c - column + 1)
#pragma once

#include <cstddef>
#include <cstdint>

namespace mapping {

enum class IndexRule : uint8_t { SCALAR, ROW, ROW_ZERO, ROW_FIXED, ROW_COLUMN };

// Text <-> value conversion of a property; also the property's value type.
enum class Codec : uint8_t { BOOL, U8, U16, U32, I8, I16, I32, STRING };

struct MappingRow {
  unsigned column;     // property id (first one when span > 1)
  const char* symbol;  // OBJ_<OBJECT>_<PROPERTY>, or the prefix when span > 1
  const char* param;   // engine parameter name, used as it stands
  Codec codec;
  IndexRule index;
  int second = -1;    // ROW_FIXED only
  unsigned span = 1;  // consecutive columns served by this row
};

struct MappingTable {
  const char* className;  // in every log line of the object
  const MappingRow* rows;
  size_t count;
};

template <size_t N>
constexpr MappingTable makeTable(const char* className, const MappingRow (&rows)[N]) {
  return MappingTable{className, rows, N};
}

}  // namespace mapping
