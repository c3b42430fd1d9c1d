// One value cell of an ICSC message: OID first, then the typed value and,
// in answers, the cell's status (icscwire::Status).
#pragma once

#include <cstdint>
#include <string>

#include "icsc/IcscTypes.h"

struct ICSCTlv {
  uint32_t oid = 0;
  IcscType type = IcscType::NONE;
  uint8_t status = 0;
  int64_t num = 0;  // numbers and bool, as the type holds them
  std::string str;  // STRING values

  void setValue(bool v) {
    type = IcscType::BOOL;
    num = v ? 1 : 0;
  }
  void setValue(int v) {
    type = IcscType::I32;
    num = v;
  }
  void setString(const std::string& v) {
    type = IcscType::STRING;
    str = v;
  }
  void setNumber(IcscType t, int64_t v) {
    type = t;
    num = icscNarrow(t, v);
  }
  void clearValue() {
    type = IcscType::NONE;
    num = 0;
    str.clear();
  }
};
