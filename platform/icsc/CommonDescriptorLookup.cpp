#include <cctype>
#include <cstdlib>

#include "icsc/CommonPropertyDescriptor.h"

namespace commondesc {

namespace {

bool isNumber(const std::string& s) {
  return !s.empty() && s.size() <= 4 && s.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string key(const char* text) {
  std::string out;
  bool gap = false;
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (std::isalnum(c)) {
      if (gap && !out.empty())
        out += '-';
      out += static_cast<char>(std::tolower(c));
      gap = false;
    } else {
      gap = true;
    }
  }
  return out;
}

const CommonDescriptorArray* findArray(const std::string& numberOrKey, unsigned* number) {
  const CommonDescriptorArray* all = arrays();
  size_t n = arrayCount();
  size_t found = n;
  if (isNumber(numberOrKey)) {
    found = std::strtoul(numberOrKey.c_str(), nullptr, 10);
  } else {
    std::string k = key(numberOrKey.c_str());
    for (size_t i = 0; i < n && found == n; ++i) {
      if (key(all[i].name) == k)
        found = i;
    }
  }
  if (found >= n || all[found].instances == CI_EVENT_TABLE)
    return nullptr;
  if (number != nullptr)
    *number = static_cast<unsigned>(found);
  return &all[found];
}

const CommonPropertyDescriptor* findRecord(const CommonDescriptorArray& array,
                                           const std::string& numberOrKey) {
  if (isNumber(numberOrKey)) {
    size_t i = std::strtoul(numberOrKey.c_str(), nullptr, 10);
    return i < array.count ? &array.records[i] : nullptr;
  }
  std::string k = key(numberOrKey.c_str());
  const CommonPropertyDescriptor* byEnd = nullptr;
  size_t ends = 0;
  for (size_t i = 0; i < array.count; ++i) {
    std::string label = key(array.records[i].label);
    if (label == k)
      return &array.records[i];
    if (!k.empty() && label.size() > k.size() &&
        label.compare(label.size() - k.size() - 1, std::string::npos, "-" + k) == 0) {
      byEnd = &array.records[i];
      ++ends;
    }
  }
  return ends == 1 ? byEnd : nullptr;
}

}  // namespace commondesc
