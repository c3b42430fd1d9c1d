// The static descriptions of all card objects (from IcscObjects.def), with
// lookups by id and by name for the protocol engine and the clients.
#pragma once

#include <cstddef>
#include <string>

#include "icsc/IcscTypes.h"

#define ICSC_OBJECT(Name, Kind, Id, Rows) extern const IcscObjectDesc k##Name##Desc;
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc)
#define ICSC_OBJECT_END(Name)
#include "icsc/IcscObjects.def"
#undef ICSC_OBJECT
#undef ICSC_COLUMN
#undef ICSC_OBJECT_END

namespace icscdesc {

// Every description, in registration order.
const IcscObjectDesc* const* all();
size_t count();
const IcscObjectDesc* findById(uint32_t id);
const IcscObjectDesc* findByName(const std::string& name);
// Column by number, property name or OBJ_ symbol; null when unknown.
const IcscColumnDesc* findColumn(const IcscObjectDesc& obj, const std::string& key);

}  // namespace icscdesc
