#include "icsc/IcscDescriptions.h"

#include <cstdlib>
#include <cstring>

namespace {

#define ICSC_OBJECT(Name, Kind, Id, Rows) const IcscColumnDesc k##Name##Columns[] = {
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc) \
  {Col, #Prop, #Sym, IcscType::Type, IcscAccess::Acc},
#define ICSC_OBJECT_END(Name) \
  }                           \
  ;
#include "icsc/IcscObjects.def"
#undef ICSC_OBJECT
#undef ICSC_COLUMN
#undef ICSC_OBJECT_END

}  // namespace

#define ICSC_IS_TABLE_Scalar false
#define ICSC_IS_TABLE_Table true
#define ICSC_OBJECT(Name, Kind, Id, Rows)                     \
  const IcscObjectDesc k##Name##Desc = {Id,                   \
                                        #Name,                \
                                        ICSC_IS_TABLE_##Kind, \
                                        Rows,                 \
                                        k##Name##Columns,     \
                                        sizeof(k##Name##Columns) / sizeof(IcscColumnDesc)};
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc)
#define ICSC_OBJECT_END(Name)
#include "icsc/IcscObjects.def"
#undef ICSC_OBJECT
#undef ICSC_COLUMN
#undef ICSC_OBJECT_END

namespace {

const IcscObjectDesc* const kAll[] = {
#define ICSC_OBJECT(Name, Kind, Id, Rows) &k##Name##Desc,
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc)
#define ICSC_OBJECT_END(Name)
#include "icsc/IcscObjects.def"
#undef ICSC_OBJECT
#undef ICSC_COLUMN
#undef ICSC_OBJECT_END
};

}  // namespace

namespace icscdesc {

const IcscObjectDesc* const* all() {
  return kAll;
}

size_t count() {
  return sizeof(kAll) / sizeof(kAll[0]);
}

const IcscObjectDesc* findById(uint32_t id) {
  for (const IcscObjectDesc* d : kAll) {
    if (d->id == id)
      return d;
  }
  return nullptr;
}

const IcscObjectDesc* findByName(const std::string& name) {
  for (const IcscObjectDesc* d : kAll) {
    if (name == d->name)
      return d;
  }
  return nullptr;
}

const IcscColumnDesc* findColumn(const IcscObjectDesc& obj, const std::string& key) {
  if (!key.empty() && key.find_first_not_of("0123456789") == std::string::npos) {
    unsigned long c = std::strtoul(key.c_str(), nullptr, 10);
    return c < obj.columnCount ? &obj.columns[c] : nullptr;
  }
  for (unsigned c = 0; c < obj.columnCount; ++c) {
    if (key == obj.columns[c].name || key == obj.columns[c].symbol)
      return &obj.columns[c];
  }
  return nullptr;
}

}  // namespace icscdesc
