// The card's velmora mapping of the object descriptions: the ICSC_VELM
// lines of icsc/IcscObjects.def read into one MappingTable per object,
// served by the generic engine of IcscObjects8fxs (mapping::update and
// mapping::updated). A column's value type is its codec.
//
// Adding a mapped column is its ICSC_VELM line; adding a mapped object is
// its ICSC_VELM_OBJECT block and its member in CardObjects' object list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "icsc/IcscTypes.h"

namespace mapping {

// The two engine indexes of row r and column c: SCALAR (-1, -1), ROW (r, -1),
// ROW_ZERO (r, 0), ROW_COLUMN (r, c), ROW_FIXED (r, second).
enum class IndexRule : uint8_t { LOCAL, SCALAR, ROW, ROW_ZERO, ROW_COLUMN, ROW_FIXED };

// What the mapping adds to a column's description; the column's symbol,
// type (which is also its text conversion) and access stay in the
// description.
struct MappingRow {
  const char* param;  // engine parameter name, used as it stands; null: local
  IndexRule index;
  int second;  // ROW_FIXED only
};

struct MappingTable {
  const IcscObjectDesc* desc;
  const MappingRow* rows;  // one per column of the description, in order
  size_t count;
  bool served;    // an ICSC_VELM_OBJECT: the engine serves every column
  bool readOnly;  // every column RO: a status object, which refuses writes
};

// One table per object description, local objects included (every row
// LOCAL), named k<Name>Mapping.
#define ICSC_OBJECT(Name, Kind, Id, Rows) extern const MappingTable k##Name##Mapping;
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc)
#define ICSC_OBJECT_END(Name)
#include "icsc/IcscObjects.def"
#undef ICSC_OBJECT
#undef ICSC_COLUMN
#undef ICSC_OBJECT_END

}  // namespace mapping
