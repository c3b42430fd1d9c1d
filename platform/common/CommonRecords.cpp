#include "common/CommonRecords.h"

#include <boost/any.hpp>

namespace commonrec {

IcscType wireType(const CommonPropertyDescriptor& rec) {
  switch (rec.type) {
    case CPT_U64:
      return IcscType::U64;
    case CPT_U32:
      return IcscType::U32;
    case CPT_U8:
      return IcscType::U8;
    case CPT_I32:
      return IcscType::I32;
    case CPT_BOOL:
      return IcscType::BOOL;
    case CPT_STRING:
      return IcscType::STRING;
  }
  return IcscType::NONE;
}

std::string trimmedLabel(const CommonPropertyDescriptor& rec) {
  std::string s = rec.label != nullptr ? rec.label : "";
  size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

Value defaultValue(const CommonPropertyDescriptor& rec) {
  Value v;
  const boost::any& d = rec.defaultValue;
  if (const auto* s = boost::any_cast<std::string>(&d))
    v.str = *s;
  else if (const auto* u64 = boost::any_cast<uint64_t>(&d))
    v.num = static_cast<int64_t>(*u64);
  else if (const auto* u32 = boost::any_cast<uint32_t>(&d))
    v.num = *u32;
  else if (const auto* u8 = boost::any_cast<uint8_t>(&d))
    v.num = *u8;
  else if (const auto* i32 = boost::any_cast<int32_t>(&d))
    v.num = *i32;
  else if (const auto* b = boost::any_cast<bool>(&d))
    v.num = *b ? 1 : 0;
  return v;
}

std::string text(const CommonPropertyDescriptor& rec, const Value& v) {
  IcscType t = wireType(rec);
  return t == IcscType::STRING ? v.str : icscNumberText(t, v.num);
}

}  // namespace commonrec
