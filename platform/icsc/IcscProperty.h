// One column of an ICSC object with its typed value for every row.
//
// getValue/setValue act on the row the protocol engine is serving (set with
// selectRow before it calls update/updated); the *At variants name the row.
// Every access takes the owning object's lock, so the debug console may read
// while the main thread writes.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "icsc/IcscTypes.h"

class IcscProperty {
 public:
  IcscProperty(const IcscColumnDesc& desc, unsigned rows, std::mutex& lock);
  virtual ~IcscProperty() = default;
  IcscProperty(const IcscProperty&) = delete;
  IcscProperty& operator=(const IcscProperty&) = delete;

  const uint32_t m_propertyId;  // the column number

  uint32_t getPropertyId() const { return m_propertyId; }
  const IcscColumnDesc& desc() const { return m_desc; }
  IcscType type() const { return m_desc.type; }
  unsigned rows() const { return m_rows; }

  void selectRow(unsigned row) { m_row = row; }
  unsigned selectedRow() const { return m_row; }

  // Numbers convert between all numeric types and bool (narrowed to the
  // column's type on store); a string column takes only strings. A numeric
  // column read as a string gives its decimal text. False: wrong type or
  // row out of range.
  virtual bool getValue(uint32_t& v) const { return getNumAt(m_row, v); }
  virtual bool getValue(uint16_t& v) const { return getNumAt(m_row, v); }
  virtual bool getValue(uint8_t& v) const { return getNumAt(m_row, v); }
  virtual bool getValue(int32_t& v) const { return getNumAt(m_row, v); }
  virtual bool getValue(int16_t& v) const { return getNumAt(m_row, v); }
  virtual bool getValue(int8_t& v) const { return getNumAt(m_row, v); }
  virtual bool getValue(bool& v) const;
  virtual bool getValue(std::string& v) const { return getValueAt(m_row, v); }
  virtual bool setValue(uint32_t v) { return setNumAt(m_row, v); }
  virtual bool setValue(uint16_t v) { return setNumAt(m_row, v); }
  virtual bool setValue(uint8_t v) { return setNumAt(m_row, v); }
  virtual bool setValue(int32_t v) { return setNumAt(m_row, v); }
  virtual bool setValue(int16_t v) { return setNumAt(m_row, v); }
  virtual bool setValue(int8_t v) { return setNumAt(m_row, v); }
  virtual bool setValue(bool v) { return setNumAt(m_row, v ? 1 : 0); }
  virtual bool setValue(const std::string& v) { return setValueAt(m_row, v); }
  bool setValue(const char* v) { return setValueAt(m_row, std::string(v)); }

  template <typename T>
  bool getValueAt(unsigned row, T& v) const {
    return getNumAt(row, v);
  }
  bool getValueAt(unsigned row, bool& v) const;
  bool getValueAt(unsigned row, std::string& v) const;
  template <typename T>
  bool setValueAt(unsigned row, T v) {
    return setNumAt(row, static_cast<int64_t>(v));
  }
  bool setValueAt(unsigned row, bool v) { return setNumAt(row, v ? 1 : 0); }
  bool setValueAt(unsigned row, const std::string& v);
  bool setValueAt(unsigned row, const char* v) { return setValueAt(row, std::string(v)); }

  // Raw access for the protocol engine: the number as the column's type
  // holds it (sign-extended for signed types).
  bool getNumber(unsigned row, int64_t& v) const;
  // The value as text: decimal for numbers, "true"/"false" for bool.
  std::string text(unsigned row) const;

 private:
  template <typename T>
  bool getNumAt(unsigned row, T& v) const {
    int64_t n;
    if (!getNumber(row, n))
      return false;
    v = static_cast<T>(n);
    return true;
  }
  bool setNumAt(unsigned row, int64_t v);

  const IcscColumnDesc& m_desc;
  const unsigned m_rows;
  unsigned m_row = 0;
  std::mutex& m_lock;
  std::vector<int64_t> m_num;
  std::vector<std::string> m_str;
};
