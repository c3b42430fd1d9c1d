// The generated bases <Name>ScalarBase / <Name>TableBase, one per object of
// IcscObjects.def. Each column gets its id as a constant named by its OBJ_
// symbol and the typed accessors getProp<name>(row, T&) and
// setProp<name>(row, T), where <name> is the property name as written in the
// description (getPropifmNetworkLinkConfigIP).
#pragma once

#include <cstdint>
#include <string>

#include "icsc/IcscDescriptions.h"
#include "icsc/IcscObject.h"

#define ICSC_CTYPE_U8 uint8_t
#define ICSC_CTYPE_U16 uint16_t
#define ICSC_CTYPE_U32 uint32_t
#define ICSC_CTYPE_I8 int8_t
#define ICSC_CTYPE_I16 int16_t
#define ICSC_CTYPE_I32 int32_t
#define ICSC_CTYPE_BOOL bool
#define ICSC_CTYPE_STRING std::string
#define ICSC_INTYPE_U8 uint8_t
#define ICSC_INTYPE_U16 uint16_t
#define ICSC_INTYPE_U32 uint32_t
#define ICSC_INTYPE_I8 int8_t
#define ICSC_INTYPE_I16 int16_t
#define ICSC_INTYPE_I32 int32_t
#define ICSC_INTYPE_BOOL bool
#define ICSC_INTYPE_STRING const std::string&
#define ICSC_PARAMS_Scalar
#define ICSC_PARAMS_Table unsigned rows
#define ICSC_ARGS_Scalar(Name) k##Name##Desc
#define ICSC_ARGS_Table(Name) k##Name##Desc, rows

#define ICSC_OBJECT(Name, Kind, Id, Rows)                                           \
  class Name##Base : public Icsc##Kind {                                            \
   public:                                                                          \
    explicit Name##Base(ICSC_PARAMS_##Kind) : Icsc##Kind(ICSC_ARGS_##Kind(Name)) {} \
    static constexpr uint32_t OBJECT_ID = Id;
#define ICSC_COLUMN(Name, Col, Prop, Sym, Type, Acc)             \
  static constexpr unsigned Sym = Col;                           \
  bool getProp##Prop(unsigned row, ICSC_CTYPE_##Type& v) const { \
    return getProp(Col)->getValueAt(row, v);                     \
  }                                                              \
  bool setProp##Prop(unsigned row, ICSC_INTYPE_##Type v) {       \
    return getProp(Col)->setValueAt(row, v);                     \
  }
#define ICSC_OBJECT_END(Name) \
  }                           \
  ;
#include "icsc/IcscObjects.def"
#undef ICSC_OBJECT
#undef ICSC_COLUMN
#undef ICSC_OBJECT_END
