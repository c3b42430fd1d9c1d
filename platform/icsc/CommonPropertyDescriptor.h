// Descriptor records of the common card objects (card, status, control,
// download, sensors, errors, event tables, clocks, SFP): property id, label,
// type code, read-only flag, default value, length check, value check.
// A check returns 0 when acceptable, 1 otherwise; a null value check accepts
// everything.
#pragma once

#include <boost/any.hpp>
#include <cstddef>
#include <cstdint>

enum CommonPropertyType : uint32_t {
  CPT_U64 = 0,
  CPT_U32 = 1,
  CPT_U8 = 3,
  CPT_I32 = 5,
  CPT_BOOL = 8,
  CPT_STRING = 9,
};

struct CommonPropertyDescriptor {
  uint32_t propertyId;
  const char* label;
  uint32_t type;
  uint32_t readOnly;
  boost::any defaultValue;
  int (*lengthCheck)(uint32_t length);
  int (*valueCheck)(const boost::any& value);
  uint32_t reserved0;
  uint32_t reserved1;
};

struct CommonDescriptorArray {
  const char* name;
  const CommonPropertyDescriptor* records;
  size_t count;
};

namespace commondesc {

// Length checks of the record types.
int lengthIs1(uint32_t len);
int lengthIs4(uint32_t len);
int lengthIs8(uint32_t len);
int lengthAtMost31(uint32_t len);
int lengthAtMost127(uint32_t len);
int lengthIs36(uint32_t len);
int anyLength(uint32_t len);

// Every array, event tables 0-3 first.
const CommonDescriptorArray* arrays();
size_t arrayCount();
const CommonDescriptorArray& eventTable(unsigned index);

}  // namespace commondesc
