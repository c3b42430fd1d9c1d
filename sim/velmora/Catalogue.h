// The velmora stand-in's parameter catalogue: every parameter the card's
// mapping tables use, with its index dimensions and a default value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora {

enum class ValueType : uint8_t { BOOL, U8, U16, U32, S8, S16, S32, STRING };

// How a parameter is indexed. A count of 0 means the index must be -1;
// otherwise it must lie in 0..count-1.
struct Shape {
  uint8_t count1;
  uint8_t count2;
};

enum class Dims : uint8_t {
  SCALAR,            // (-1, -1)
  LINE,              // (line 0-7, -1)
  LINE_ENTRY0,       // (line 0-7, 0)
  PROVIDER,          // (provider 0-15, -1)
  PROVIDER_BY_LINE,  // (provider 0-15, line 0-7)
  LINE_LIST30,       // (line 0-7, element 0-29)
  LINE_LIST40,       // (line 0-7, element 0-39)
  IMPEDANCE_ENTRY,   // (entry 0-9, -1)
  RING_NAME_ENTRY,   // (entry 0-7, -1)
};

Shape shapeOf(Dims d);
const char* typeName(ValueType t);

struct ParamDef {
  const char* name;
  ValueType type;
  Dims dims;
  const char* defaultValue;
};

// The whole catalogue, in the order the card's objects list them.
const ParamDef* catalogue();
size_t catalogueSize();

// nullptr when velmora has no such parameter.
const ParamDef* findParam(std::string_view name);

// True when (index1, index2) lies within the parameter's dimensions.
bool indexesFit(const ParamDef& def, int32_t index1, int32_t index2);

}  // namespace velmora
