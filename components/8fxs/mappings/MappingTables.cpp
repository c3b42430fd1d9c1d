#include "mappings/MappingRow.h"

#include "icsc/IcscDescriptions.h"

namespace mapping {

namespace {

#define FXS_RULE_SCALAR IndexRule::SCALAR, -1
#define FXS_RULE_ROW IndexRule::ROW, -1
#define FXS_RULE_ROW_ZERO IndexRule::ROW_ZERO, -1
#define FXS_RULE_ROW_COLUMN IndexRule::ROW_COLUMN, -1
#define FXS_RULE_ROW_FIXED(second) IndexRule::ROW_FIXED, second

#define ICSC_OBJECT(Name, Kind, Id, RowCount) constexpr MappingRow k##Name##Rows[] = {
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc) {nullptr, IndexRule::LOCAL, -1},
#define ICSC_VELM(Name, Col, Prop, Sym, Type, Acc, Param, Rule) {Param, FXS_RULE_##Rule},
#define ICSC_OBJECT_END(Name) \
  }                           \
  ;
#include "icsc/IcscObjects.def"
#undef ICSC_OBJECT
#undef ICSC_COLUMN
#undef ICSC_VELM
#undef ICSC_OBJECT_END

#define ICSC_OBJECT(Name, Kind, Id, Rows) constexpr IcscAccess k##Name##Access[] = {
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc) IcscAccess::Acc,
#define ICSC_OBJECT_END(Name) \
  }                           \
  ;
#include "icsc/IcscObjects.def"
#undef ICSC_OBJECT
#undef ICSC_COLUMN
#undef ICSC_OBJECT_END

template <size_t N>
constexpr bool allReadOnly(const IcscAccess (&access)[N]) {
  for (IcscAccess a : access) {
    if (a != IcscAccess::RO)
      return false;
  }
  return true;
}

}  // namespace

#define FXS_TABLE_(Name, served)                                                             \
  const MappingTable k##Name##Mapping = {&k##Name##Desc, k##Name##Rows,                      \
                                         sizeof(k##Name##Rows) / sizeof(MappingRow), served, \
                                         allReadOnly(k##Name##Access)};
#define ICSC_OBJECT(Name, Kind, Id, Rows) FXS_TABLE_(Name, false)
#define ICSC_VELM_OBJECT(Name, Kind, Id, Rows) FXS_TABLE_(Name, true)
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc)
#define ICSC_VELM(Name, Col, Prop, Sym, Type, Acc, Param, Rule)
#define ICSC_OBJECT_END(Name)
#include "icsc/IcscObjects.def"
#undef ICSC_OBJECT
#undef ICSC_VELM_OBJECT
#undef ICSC_COLUMN
#undef ICSC_VELM
#undef ICSC_OBJECT_END
#undef FXS_TABLE_

}  // namespace mapping
