// Bases of every ICSC object: IcscObject, and the two shapes IcscScalar (one
// row) and IcscTable (row count fixed at construction). An object owns its
// properties, one per column of its description, and the lock that guards
// their values.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "icsc/IcscProperty.h"
#include "icsc/IcscTypes.h"

class IcscObject {
 public:
  IcscObject(const IcscObjectDesc& desc, unsigned rows);
  virtual ~IcscObject();
  IcscObject(const IcscObject&) = delete;
  IcscObject& operator=(const IcscObject&) = delete;

  virtual const char* getObjectTypeStr() const = 0;
  // OID of one cell of this object (object-cell layout of IcscOid.h).
  virtual uint32_t getOID(unsigned column, unsigned row);
  // Called before the engine reads a property for the controller.
  virtual bool update(IcscProperty* prop, unsigned row);
  // Called after the engine stored a value written by the controller.
  virtual bool updated(IcscProperty* prop, unsigned row);
  virtual IcscProperty* getPropFromOID(unsigned oid);
  // Text dump, one line per property. mode 0: every row; otherwise only
  // `row`.
  virtual std::string str(int row, int mode) const;

  uint32_t getObjectId() const { return m_objectId; }
  uint32_t getRowCount() const { return m_rowCount; }
  const char* getName() const { return m_desc.name; }
  const IcscObjectDesc& desc() const { return m_desc; }
  unsigned getColumnCount() const { return static_cast<unsigned>(m_props.size()); }
  IcscProperty* getProp(unsigned column);
  const IcscProperty* getProp(unsigned column) const;

 protected:
  const uint32_t m_objectId;
  const uint32_t m_rowCount;

 private:
  void dumpRow(std::string& out, unsigned row) const;

  const IcscObjectDesc& m_desc;
  mutable std::mutex m_lock;
  std::deque<IcscProperty> m_props;
};

class IcscScalar : public IcscObject {
 public:
  explicit IcscScalar(const IcscObjectDesc& desc) : IcscObject(desc, 1) {}
  const char* getObjectTypeStr() const override { return "Scalar"; }
};

class IcscTable : public IcscObject {
 public:
  IcscTable(const IcscObjectDesc& desc, unsigned rows) : IcscObject(desc, rows) {}
  const char* getObjectTypeStr() const override { return "Table"; }
};
