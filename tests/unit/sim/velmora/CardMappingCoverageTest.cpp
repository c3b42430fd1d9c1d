// The stand-in must answer every cell of every mapped object the card
// registers: each parameter exists, with indexes that fit every row and
// column, and a default the object's type reads.
#include <gtest/gtest.h>

#include <string>

#include "Catalogue.h"
#include "MappedObjects.h"
#include "velm/Velm_util.h"

namespace {

// The card's value type of a property and the stand-in's agree.
bool typesAgree(IcscType card, velmora::ValueType engine) {
  switch (card) {
    case IcscType::BOOL:
      return engine == velmora::ValueType::BOOL;
    case IcscType::STRING:
      return engine == velmora::ValueType::STRING;
    case IcscType::U8:
      return engine == velmora::ValueType::U8;
    case IcscType::U16:
      return engine == velmora::ValueType::U16;
    case IcscType::U32:
      return engine == velmora::ValueType::U32;
    case IcscType::I8:
      return engine == velmora::ValueType::S8;
    case IcscType::I16:
      return engine == velmora::ValueType::S16;
    case IcscType::I32:
      return engine == velmora::ValueType::S32;
    default:
      return false;
  }
}

// Answers from the catalogue as the stand-in does: unknown names and
// indexes outside the dimensions fail.
class CatalogueVelm : public Velm_util {
 public:
  int get(const char* name, std::string& value, int index1, int index2) override {
    const velmora::ParamDef* def = velmora::findParam(name);
    if (def == nullptr)
      return -2;
    if (!velmora::indexesFit(*def, index1, index2))
      return -1;
    value = def->defaultValue;
    return 0;
  }
  int set(const char*, const char*, int, int) override { return 0; }
};

TEST(CardMappingCoverage, EveryCellOfEveryMappedObjectIsAnswered) {
  CatalogueVelm velm;
  size_t cells = 0;
  for (const mappedtest::MappedClass& c : mappedtest::mappedClasses()) {
    auto obj = c.make(&velm);
    for (unsigned col = 0; col < obj->getColumnCount(); ++col) {
      const mapping::MappingRow* m = mapping::findRow(*c.table, col);
      ASSERT_NE(m, nullptr) << c.name << " column " << col;
      const velmora::ParamDef* def = velmora::findParam(m->param);
      ASSERT_NE(def, nullptr) << c.name << " uses " << m->param;
      EXPECT_TRUE(typesAgree(c.desc->columns[col].type, def->type))
          << c.name << " column " << col << " " << m->param;
      for (unsigned row = 0; row < obj->getRowCount(); ++row) {
        IcscProperty* p = obj->getProp(col);
        p->selectRow(row);
        EXPECT_TRUE(obj->update(p, row)) << c.name << " row " << row << " column " << col;
        ++cells;
      }
    }
  }
  EXPECT_GT(cells, 0u);
}

}  // namespace
