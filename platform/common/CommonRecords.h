// The conversions between descriptor records and ICSC cells shared by the
// server and its clients.
#pragma once

#include <cstdint>
#include <string>

#include "icsc/CommonObjects.h"
#include "icsc/CommonPropertyDescriptor.h"
#include "icsc/IcscTypes.h"

namespace commonrec {

// One record's value: numbers (bool 0/1, u64 bit for bit) or text.
struct Value {
  int64_t num = 0;
  std::string str;
};

// The wire type of a record's type code; NONE for an unknown code.
IcscType wireType(const CommonPropertyDescriptor& rec);
// The label without its padding blanks.
std::string trimmedLabel(const CommonPropertyDescriptor& rec);
// The record's default value.
Value defaultValue(const CommonPropertyDescriptor& rec);
// The value as text ("true"/"false" for bool).
std::string text(const CommonPropertyDescriptor& rec, const Value& v);

}  // namespace commonrec
