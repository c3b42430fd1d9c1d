#include "IcscObjects8fxs.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "CellCheck.h"
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

// The engine indexes of `column` of `row` by the column's rule.
void engineIndexes(const MappingRow& m, unsigned column, unsigned row, int& first, int& second) {
  first = m.index == IndexRule::SCALAR ? -1 : static_cast<int>(row);
  switch (m.index) {
    case IndexRule::ROW_ZERO:
      second = 0;
      break;
    case IndexRule::ROW_FIXED:
      second = m.second;
      break;
    case IndexRule::ROW_COLUMN:
      second = static_cast<int>(column);
      break;
    default:
      second = -1;
      break;
  }
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

bool textToProperty(IcscType type, const std::string& text, IcscProperty& prop) {
  switch (type) {
    case IcscType::BOOL:
      return prop.setValue(text != "0");
    case IcscType::U8:
      return prop.setValue(static_cast<uint8_t>(parseUnsigned(text)));
    case IcscType::U16:
      return prop.setValue(static_cast<uint16_t>(parseUnsigned(text)));
    case IcscType::U32:
      return prop.setValue(parseUnsigned(text));
    case IcscType::I8:
      return prop.setValue(static_cast<int8_t>(static_cast<uint8_t>(parseSigned(text))));
    case IcscType::I16:
      return prop.setValue(static_cast<int16_t>(static_cast<uint16_t>(parseSigned(text))));
    case IcscType::I32:
      return prop.setValue(parseSigned(text));
    case IcscType::STRING:
      return prop.setValue(text);
    case IcscType::NONE:
    case IcscType::U64:  // no engine parameter holds one
      break;
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

bool propertyToText(IcscType type, const IcscProperty& prop, std::string& text) {
  switch (type) {
    case IcscType::BOOL: {
      bool b;
      if (!prop.getValue(b))
        return false;
      text = b ? "1" : "0";
      return true;
    }
    case IcscType::U8:
      return valueToText<uint8_t, unsigned>(prop, text);
    case IcscType::U16:
      return valueToText<uint16_t, unsigned>(prop, text);
    case IcscType::U32:
      return valueToText<uint32_t>(prop, text);
    case IcscType::I8:
      return valueToText<int8_t, int>(prop, text);
    case IcscType::I16:
      return valueToText<int16_t, int>(prop, text);
    case IcscType::I32:
      return valueToText<int32_t>(prop, text);
    case IcscType::STRING:
      return prop.getValue(text);
    case IcscType::NONE:
    case IcscType::U64:  // no engine parameter holds one
      break;
  }
  return false;
}

const MappingRow* findRow(const MappingTable& table, unsigned column) {
  if (column >= table.count || table.rows[column].param == nullptr)
    return nullptr;
  return &table.rows[column];
}

namespace {

// The callback's checks of row, property and column, logged as the caller
// `at`; null when the callback returns false.
const MappingRow* mappedCell(const cellcheck::Site& at, const MappingTable& table,
                             const IcscObject& obj, const IcscProperty* prop, unsigned row) {
  if (!cellcheck::cellValid(at, table.desc->name, row, obj.getRowCount(), prop))
    return nullptr;
  unsigned id = prop->getPropertyId();
  const MappingRow* m = findRow(table, id);
  if (m == nullptr)
    cellcheck::invalidColumn(at, table.desc->name, id);
  return m;
}

}  // namespace

bool update(const MappingTable& table, IcscObject& obj, Velm_util* velm, IcscProperty* prop,
            unsigned row) {
  const MappingRow* m = mappedCell(CELL_SITE, table, obj, prop, row);
  if (m == nullptr)
    return false;
  unsigned id = prop->getPropertyId();
  int first, second;
  engineIndexes(*m, id, row, first, second);
  std::string text;
  if (velm == nullptr || velm->get(m->param, text, first, second) != 0) {
    LOG_ERROR_LIMITED("%s::update() failed: id=%d, prop=%s[%d]", table.desc->name,
                      static_cast<int>(obj.getObjectId()), table.desc->columns[id].symbol,
                      static_cast<int>(id));
    return false;
  }
  prop->selectRow(row);
  return textToProperty(table.desc->columns[id].type, text, *prop);
}

bool updated(const MappingTable& table, IcscObject& obj, Velm_util* velm, IcscProperty* prop,
             unsigned row) {
  if (table.readOnly) {
    if (prop == nullptr)
      LOG_WARNING_LIMITED("%s::updated() not implemented: id=??, row=%d", table.desc->name,
                          static_cast<int>(row));
    else
      LOG_WARNING_LIMITED("%s::updated() not implemented: id=%u, row=%d", table.desc->name,
                          prop->getPropertyId(), static_cast<int>(row));
    return false;
  }
  const MappingRow* m = mappedCell(CELL_SITE, table, obj, prop, row);
  if (m == nullptr)
    return false;
  unsigned id = prop->getPropertyId();
  int first, second;
  engineIndexes(*m, id, row, first, second);
  prop->selectRow(row);
  std::string text;
  if (!propertyToText(table.desc->columns[id].type, *prop, text) || velm == nullptr ||
      velm->set(m->param, text.c_str(), first, second) != 0) {
    LOG_ERROR_LIMITED("%s::updated() failed: id=%d, prop=%s[%d]", table.desc->name,
                      static_cast<int>(obj.getObjectId()), table.desc->columns[id].symbol,
                      static_cast<int>(id));
    return false;
  }
  return true;
}

}  // namespace mapping
