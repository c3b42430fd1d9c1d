#include "icsc/IcscProperty.h"

const char* icscTypeName(IcscType t) {
  switch (t) {
    case IcscType::NONE:
      return "none";
    case IcscType::U8:
      return "u8";
    case IcscType::U16:
      return "u16";
    case IcscType::U32:
      return "u32";
    case IcscType::I8:
      return "i8";
    case IcscType::I16:
      return "i16";
    case IcscType::I32:
      return "i32";
    case IcscType::BOOL:
      return "bool";
    case IcscType::STRING:
      return "string";
    case IcscType::U64:
      return "u64";
  }
  return "?";
}

int64_t icscNarrow(IcscType t, int64_t v) {
  switch (t) {
    case IcscType::U8:
      return static_cast<uint8_t>(v);
    case IcscType::U16:
      return static_cast<uint16_t>(v);
    case IcscType::U32:
      return static_cast<uint32_t>(v);
    case IcscType::I8:
      return static_cast<int8_t>(static_cast<uint8_t>(v));
    case IcscType::I16:
      return static_cast<int16_t>(static_cast<uint16_t>(v));
    case IcscType::I32:
      return static_cast<int32_t>(static_cast<uint32_t>(v));
    case IcscType::BOOL:
      return v != 0 ? 1 : 0;
    case IcscType::U64:
      return v;
    default:
      return 0;
  }
}

std::string icscNumberText(IcscType t, int64_t v) {
  if (t == IcscType::BOOL)
    return v ? "true" : "false";
  if (t == IcscType::U64)
    return std::to_string(static_cast<uint64_t>(v));
  return std::to_string(v);
}

IcscProperty::IcscProperty(const IcscColumnDesc& desc, unsigned rows, std::mutex& lock)
    : m_propertyId(desc.column), m_desc(desc), m_rows(rows), m_lock(lock) {
  if (desc.type == IcscType::STRING)
    m_str.resize(rows);
  else
    m_num.resize(rows, 0);
}

bool IcscProperty::getValue(bool& v) const {
  return getValueAt(m_row, v);
}

bool IcscProperty::getNumber(unsigned row, int64_t& v) const {
  if (row >= m_rows || m_desc.type == IcscType::STRING)
    return false;
  std::lock_guard<std::mutex> g(m_lock);
  v = m_num[row];
  return true;
}

bool IcscProperty::getValueAt(unsigned row, bool& v) const {
  int64_t n;
  if (!getNumber(row, n))
    return false;
  v = n != 0;
  return true;
}

bool IcscProperty::getValueAt(unsigned row, std::string& v) const {
  if (row >= m_rows)
    return false;
  if (m_desc.type != IcscType::STRING) {
    int64_t n;
    getNumber(row, n);
    v = std::to_string(n);
    return true;
  }
  std::lock_guard<std::mutex> g(m_lock);
  v = m_str[row];
  return true;
}

bool IcscProperty::setNumAt(unsigned row, int64_t v) {
  if (row >= m_rows || m_desc.type == IcscType::STRING)
    return false;
  std::lock_guard<std::mutex> g(m_lock);
  m_num[row] = icscNarrow(m_desc.type, v);
  return true;
}

bool IcscProperty::setValueAt(unsigned row, const std::string& v) {
  if (row >= m_rows || m_desc.type != IcscType::STRING)
    return false;
  std::lock_guard<std::mutex> g(m_lock);
  m_str[row] = v;
  return true;
}

std::string IcscProperty::text(unsigned row) const {
  if (m_desc.type == IcscType::STRING) {
    std::string s;
    getValueAt(row, s);
    return s;
  }
  int64_t n = 0;
  getNumber(row, n);
  return icscNumberText(m_desc.type, n);
}
