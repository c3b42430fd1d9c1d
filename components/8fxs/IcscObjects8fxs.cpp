#include "IcscObjects8fxs.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "trace/LogLimit.h"
#include "trace/TraceObject.h"
#include "velm/Velm_util.h"

namespace mapping {

namespace {

// Skips blanks and an optional sign; false when no digit follows, as the C
// library gives 0 then.
bool splitSign(const std::string& text, size_t& pos, bool& negative) {
  pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r')))
    ++pos;
  negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  return pos < text.size() && text[pos] >= '0' && text[pos] <= '9';
}

// Magnitude with base 0; saturates at UINT64_MAX.
uint64_t magnitude(const std::string& text, size_t pos) {
  errno = 0;
  unsigned long long m = std::strtoull(text.c_str() + pos, nullptr, 0);
  if (errno == ERANGE)
    return UINT64_MAX;
  return m;
}

struct Resolved {
  const MappingRow* row;
  unsigned column;
  char symbol[96];
  int first;
  int second;
};

bool resolve(const MappingTable& table, unsigned column, unsigned row, Resolved& out) {
  out.row = findRow(table, column);
  if (out.row == nullptr)
    return false;
  out.column = column;
  const MappingRow& m = *out.row;
  if (m.span > 1)
    std::snprintf(out.symbol, sizeof(out.symbol), "%s%u", m.symbol, column - m.column + 1);
  else
    std::snprintf(out.symbol, sizeof(out.symbol), "%s", m.symbol);
  out.first = m.index == IndexRule::SCALAR ? -1 : static_cast<int>(row);
  switch (m.index) {
    case IndexRule::SCALAR:
    case IndexRule::ROW:
      out.second = -1;
      break;
    case IndexRule::ROW_ZERO:
      out.second = 0;
      break;
    case IndexRule::ROW_FIXED:
      out.second = m.second;
      break;
    case IndexRule::ROW_COLUMN:
      out.second = static_cast<int>(column - m.column);
      break;
  }
  return true;
}

}  // namespace

uint32_t parseUnsigned(const std::string& text) {
  size_t pos;
  bool negative;
  if (!splitSign(text, pos, negative))
    return 0;
  uint64_t m = magnitude(text, pos);
  if (m > UINT32_MAX)
    return UINT32_MAX;
  uint32_t v = static_cast<uint32_t>(m);
  return negative ? static_cast<uint32_t>(0u - v) : v;
}

int32_t parseSigned(const std::string& text) {
  size_t pos;
  bool negative;
  if (!splitSign(text, pos, negative))
    return 0;
  uint64_t m = magnitude(text, pos);
  if (negative)
    return m >= 0x80000000ull ? INT32_MIN : -static_cast<int32_t>(m);
  return m > INT32_MAX ? INT32_MAX : static_cast<int32_t>(m);
}

bool textToProperty(Codec codec, const std::string& text, IcscProperty& prop) {
  switch (codec) {
    case Codec::BOOL:
      return prop.setValue(text != "0");
    case Codec::U8:
      return prop.setValue(static_cast<uint8_t>(parseUnsigned(text)));
    case Codec::U16:
      return prop.setValue(static_cast<uint16_t>(parseUnsigned(text)));
    case Codec::U32:
      return prop.setValue(parseUnsigned(text));
    case Codec::I8:
      return prop.setValue(static_cast<int8_t>(static_cast<uint8_t>(parseSigned(text))));
    case Codec::I16:
      return prop.setValue(static_cast<int16_t>(static_cast<uint16_t>(parseSigned(text))));
    case Codec::I32:
      return prop.setValue(parseSigned(text));
    case Codec::STRING:
      return prop.setValue(text);
  }
  return false;
}

// Reads the property as `T` and renders it as the engine's decimal text.
template <typename T, typename Shown = T>
bool valueToText(const IcscProperty& prop, std::string& text) {
  T v;
  if (!prop.getValue(v))
    return false;
  text = std::to_string(static_cast<Shown>(v));
  return true;
}

bool propertyToText(Codec codec, const IcscProperty& prop, std::string& text) {
  switch (codec) {
    case Codec::BOOL: {
      bool b;
      if (!prop.getValue(b))
        return false;
      text = b ? "1" : "0";
      return true;
    }
    case Codec::U8:
      return valueToText<uint8_t, unsigned>(prop, text);
    case Codec::U16:
      return valueToText<uint16_t, unsigned>(prop, text);
    case Codec::U32:
      return valueToText<uint32_t>(prop, text);
    case Codec::I8:
      return valueToText<int8_t, int>(prop, text);
    case Codec::I16:
      return valueToText<int16_t, int>(prop, text);
    case Codec::I32:
      return valueToText<int32_t>(prop, text);
    case Codec::STRING:
      return prop.getValue(text);
  }
  return false;
}

const MappingRow* findRow(const MappingTable& table, unsigned column) {
  for (size_t i = 0; i < table.count; ++i) {
    const MappingRow& r = table.rows[i];
    if (column >= r.column && column - r.column < r.span)
      return &r;
  }
  return nullptr;
}

bool update(const MappingTable& table, IcscObject& obj, Velm_util* velm, IcscProperty* prop,
            unsigned row) {
  if (row >= obj.getRowCount()) {
    LOG_ERROR("%s: Out of range: row=%d, expected=[0..%d]", table.className, static_cast<int>(row),
              static_cast<int>(obj.getRowCount()) - 1);
    return false;
  }
  if (prop == nullptr)
    return false;
  unsigned id = prop->getPropertyId();
  Resolved r;
  if (!resolve(table, id, row, r)) {
    LOG_ERROR("%s: Invalid column [%d]", table.className, static_cast<int>(id));
    return false;
  }
  std::string text;
  if (velm == nullptr || velm->get(r.row->param, text, r.first, r.second) != 0) {
    LOG_ERROR_LIMITED("%s::update() failed: id=%d, prop=%s[%d]", table.className,
                      static_cast<int>(obj.getObjectId()), r.symbol, static_cast<int>(id));
    return false;
  }
  prop->selectRow(row);
  return textToProperty(r.row->codec, text, *prop);
}

bool updated(const MappingTable& table, IcscObject& obj, Velm_util* velm, IcscProperty* prop,
             unsigned row) {
  if (row >= obj.getRowCount()) {
    LOG_ERROR("%s: Out of range: row=%d, expected=[0..%d]", table.className, static_cast<int>(row),
              static_cast<int>(obj.getRowCount()) - 1);
    return false;
  }
  if (prop == nullptr)
    return false;
  unsigned id = prop->getPropertyId();
  Resolved r;
  if (!resolve(table, id, row, r)) {
    LOG_ERROR("%s: Invalid column [%d]", table.className, static_cast<int>(id));
    return false;
  }
  prop->selectRow(row);
  std::string text;
  if (!propertyToText(r.row->codec, *prop, text) || velm == nullptr ||
      velm->set(r.row->param, text.c_str(), r.first, r.second) != 0) {
    LOG_ERROR_LIMITED("%s::updated() failed: id=%d, prop=%s[%d]", table.className,
                      static_cast<int>(obj.getObjectId()), r.symbol, static_cast<int>(id));
    return false;
  }
  return true;
}

bool updated(const char* className, IcscProperty* prop, unsigned row) {
  if (prop == nullptr)
    LOG_WARNING_LIMITED("%s::updated() not implemented: id=??, row=%d", className,
                        static_cast<int>(row));
  else
    LOG_WARNING_LIMITED("%s::updated() not implemented: id=%u, row=%d", className,
                        prop->getPropertyId(), static_cast<int>(row));
  return false;
}

}  // namespace mapping
