// The card's velmora-mapped ICSC objects: one class per ICSC_VELM_OBJECT of
// the object descriptions, derived from its generated base, holding the
// registry's Velm_util and serving update/updated through the generic
// mapping engine below from its MappingTable. Status objects (every column
// read-only) refuse writes.
#pragma once

#include <string>

#include "icsc/IcscGeneratedBases.h"
#include "mappings/MappingRow.h"

class Velm_util;

namespace mapping {

// The read direction: engine text -> property of `row`.
bool update(const MappingTable& table, IcscObject& obj, Velm_util* velm, IcscProperty* prop,
            unsigned row);
// The write direction: property of `row` -> engine text; a status object's
// refusal.
bool updated(const MappingTable& table, IcscObject& obj, Velm_util* velm, IcscProperty* prop,
             unsigned row);

// Conversions by the property's value type, exposed for tests. Numbers
// follow the card's 32-bit C library: strtoul/strtol with base 0,
// saturating at the 32-bit limits.
uint32_t parseUnsigned(const std::string& text);
int32_t parseSigned(const std::string& text);
bool textToProperty(IcscType type, const std::string& text, IcscProperty& prop);
bool propertyToText(IcscType type, const IcscProperty& prop, std::string& text);

// The row mapping `column` to the engine, or null (unknown or local column).
const MappingRow* findRow(const MappingTable& table, unsigned column);

}  // namespace mapping

#define FXS_VELM_BASE_Scalar(Name) Name##Base()
#define FXS_VELM_BASE_Table(Name) Name##Base(k##Name##Desc.rows)
// Name is a class name here, never an expression.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define ICSC_VELM_OBJECT(Name, Kind, Id, Rows)                                      \
  class Name : public Name##Base {                                                  \
   public:                                                                          \
    explicit Name(Velm_util* velm) : FXS_VELM_BASE_##Kind(Name), m_velm(velm) {}    \
    bool update(IcscProperty* prop, unsigned row) override {                        \
      return mapping::update(mapping::k##Name##Mapping, *this, m_velm, prop, row);  \
    }                                                                               \
    bool updated(IcscProperty* prop, unsigned row) override {                       \
      return mapping::updated(mapping::k##Name##Mapping, *this, m_velm, prop, row); \
    }                                                                               \
                                                                                    \
   private:                                                                         \
    Velm_util* m_velm;                                                              \
  };
// NOLINTEND(bugprone-macro-parentheses)
#define ICSC_OBJECT(Name, Kind, Id, Rows)
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc)
#define ICSC_VELM(Name, Col, Prop, Sym, Type, Acc, Param, Rule)
#define ICSC_OBJECT_END(Name)
#include "icsc/IcscObjects.def"
#undef ICSC_VELM_OBJECT
#undef ICSC_OBJECT
#undef ICSC_COLUMN
#undef ICSC_VELM
#undef ICSC_OBJECT_END
#undef FXS_VELM_BASE_Scalar
#undef FXS_VELM_BASE_Table
