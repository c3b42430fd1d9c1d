// Value types, access modes and the static description of an ICSC object's
// columns, shared by the object bases, the protocol engine and the clients.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class IcscType : uint8_t {
  NONE = 0,  // no value: GET/NEXT request cells and error answers
  U8 = 1,
  U16 = 2,
  U32 = 3,
  I8 = 4,
  I16 = 5,
  I32 = 6,
  BOOL = 7,
  STRING = 8,
  U64 = 9,  // numbers held bit for bit in the int64_t of a cell
};

enum class IcscAccess : uint8_t { RW, RO };

struct IcscColumnDesc {
  unsigned column;     // property id
  const char* name;    // property name: getProp<name>/setProp<name>
  const char* symbol;  // OBJ_<OBJECT>_<PROPERTY>, for log lines
  IcscType type;
  IcscAccess access;
};

struct IcscObjectDesc {
  uint32_t id;
  const char* name;
  bool isTable;
  unsigned rows;  // row count the card registers it with
  const IcscColumnDesc* columns;
  unsigned columnCount;
};

// Wire size of a fixed-size type, 0 for STRING and NONE.
constexpr size_t icscFixedSize(IcscType t) {
  switch (t) {
    case IcscType::U8:
    case IcscType::I8:
    case IcscType::BOOL:
      return 1;
    case IcscType::U16:
    case IcscType::I16:
      return 2;
    case IcscType::U32:
    case IcscType::I32:
      return 4;
    case IcscType::U64:
      return 8;
    default:
      return 0;
  }
}

constexpr bool icscTypeValid(uint8_t t) {
  return t <= static_cast<uint8_t>(IcscType::U64);
}

const char* icscTypeName(IcscType t);

// Narrows a number to the range of `t` the way the stored value would hold
// it: unsigned types keep their low bits, signed types take the low bits as
// two's complement, bool becomes 0 or 1; U64 keeps all 64 bits.
int64_t icscNarrow(IcscType t, int64_t v);

// A number as text: "true"/"false" for bool, unsigned decimal for U64,
// decimal otherwise.
std::string icscNumberText(IcscType t, int64_t v);
