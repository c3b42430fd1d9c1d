// Every velmora-mapped object class with the mapping it serves, the object
// description it must agree with, and a way to build one for a test.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "IcscObjects8fxs.h"

namespace mappedtest {

// How the second engine index of a class follows from row and column.
enum class Second { MINUS_ONE, ZERO, COLUMN, GROUP_LINE };

struct MappedClass {
  const char* name;
  const mapping::MappingTable* table;
  const IcscObjectDesc* desc;
  std::unique_ptr<IcscObject> (*make)(Velm_util*);
  bool status;    // refuses writes
  Second second;  // second-index rule
};

template <class T>
std::unique_ptr<IcscObject> makeObject(Velm_util* velm) {
  return std::make_unique<T>(velm);
}

// What the tests expect of a class, kept apart from the descriptions: the
// status classes and the second engine index of the classes that differ
// from -1.
inline bool isStatusClass(const std::string& name) {
  return name == "AccountStatusTable" || name == "IncomingCallHistoryStatusTable" ||
         name == "SystemStatusScalar" || name == "NetStatusScalar";
}

inline Second secondRule(const std::string& name) {
  if (name == "AccountTable")
    return Second::GROUP_LINE;
  if (name == "PortConfigurationTable")
    return Second::ZERO;
  for (const char* list :
       {"SpeedDialsTable", "IpbxDialPublicExtSipTable", "IpbxDialPublicExtRtpTable",
        "CallForwardListTable", "DistinctiveRingListTable", "IpbxDisturbAcceptListTable",
        "CallBlockingListTable", "OutgoingBlockListTable"}) {
    if (name == list)
      return Second::COLUMN;
  }
  return Second::MINUS_ONE;
}

// Every object description with its mapping table, in the descriptions'
// order; the velmora-mapped ones with a way to build one.
inline const std::vector<MappedClass>& allObjects() {
  static const std::vector<MappedClass> all = {
#define ICSC_OBJECT(Name, Kind, Id, Rows) \
  {#Name, &mapping::k##Name##Mapping, &k##Name##Desc, nullptr, false, Second::MINUS_ONE},
#define ICSC_VELM_OBJECT(Name, Kind, Id, Rows) \
  {#Name,                                      \
   &mapping::k##Name##Mapping,                 \
   &k##Name##Desc,                             \
   &makeObject<Name>,                          \
   isStatusClass(#Name),                       \
   secondRule(#Name)},
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc)
#define ICSC_OBJECT_END(Name)
#include "icsc/IcscObjects.def"
#undef ICSC_OBJECT
#undef ICSC_VELM_OBJECT
#undef ICSC_COLUMN
#undef ICSC_OBJECT_END
  };
  return all;
}

// Every velmora-mapped class.
inline const std::vector<MappedClass>& mappedClasses() {
  static const std::vector<MappedClass> mapped = [] {
    std::vector<MappedClass> out;
    for (const MappedClass& c : allObjects()) {
      if (c.make != nullptr)
        out.push_back(c);
    }
    return out;
  }();
  return mapped;
}

// The writable classes, or the status classes.
inline std::vector<MappedClass> mappedClasses(bool status) {
  std::vector<MappedClass> out;
  for (const MappedClass& c : mappedClasses()) {
    if (c.status == status)
      out.push_back(c);
  }
  return out;
}

// Short test names in ctest instead of the parameter's bytes.
inline void PrintTo(const MappedClass& c, std::ostream* os) {
  *os << c.name;
}

inline const MappedClass* findClass(const std::string& name) {
  for (const MappedClass& c : mappedClasses()) {
    if (name == c.name)
      return &c;
  }
  return nullptr;
}

}  // namespace mappedtest
