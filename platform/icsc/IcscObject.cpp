#include "icsc/IcscObject.h"

#include "icsc/IcscOid.h"

IcscObject::IcscObject(const IcscObjectDesc& desc, unsigned rows)
    : m_objectId(desc.id), m_rowCount(rows), m_desc(desc) {
  for (unsigned c = 0; c < desc.columnCount; ++c)
    m_props.emplace_back(desc.columns[c], rows, m_lock);
}

IcscObject::~IcscObject() = default;

uint32_t IcscObject::getOID(unsigned column, unsigned row) {
  return icscoid::object(m_objectId, column, row);
}

bool IcscObject::update(IcscProperty*, unsigned) {
  return true;
}

bool IcscObject::updated(IcscProperty*, unsigned) {
  return true;
}

IcscProperty* IcscObject::getPropFromOID(unsigned oid) {
  if (!icscoid::isObject(oid) || icscoid::objectId(oid) != m_objectId)
    return nullptr;
  return getProp(icscoid::objectColumn(oid));
}

IcscProperty* IcscObject::getProp(unsigned column) {
  return column < m_props.size() ? &m_props[column] : nullptr;
}

const IcscProperty* IcscObject::getProp(unsigned column) const {
  return column < m_props.size() ? &m_props[column] : nullptr;
}

void IcscObject::dumpRow(std::string& out, unsigned row) const {
  for (const IcscProperty& p : m_props) {
    out += "  ";
    out += p.desc().name;
    out += " = ";
    out += p.text(row);
    out += '\n';
  }
}

std::string IcscObject::str(int row, int mode) const {
  std::string out = std::string(m_desc.name) + " (" + getObjectTypeStr() + ", ICSC object " +
                    std::to_string(m_objectId) + ", rows " + std::to_string(m_rowCount) + ")\n";
  bool table = m_desc.isTable;
  if (mode != 0) {
    if (row < 0 || static_cast<uint32_t>(row) >= m_rowCount) {
      out += "row " + std::to_string(row) + " out of range [0.." + std::to_string(m_rowCount - 1) +
             "]\n";
      return out;
    }
    if (table)
      out += "row " + std::to_string(row) + ":\n";
    dumpRow(out, static_cast<unsigned>(row));
    return out;
  }
  for (unsigned r = 0; r < m_rowCount; ++r) {
    if (table)
      out += "row " + std::to_string(r) + ":\n";
    dumpRow(out, r);
  }
  return out;
}
