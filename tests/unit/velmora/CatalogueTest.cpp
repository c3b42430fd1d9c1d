#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>

#include "Catalogue.h"
#include "velm/VelmWire.h"

using namespace velmora;

namespace {

bool defaultFitsType(const ParamDef& d) {
  std::string v = d.defaultValue;
  if (d.type == ValueType::STRING)
    return true;
  if (d.type == ValueType::BOOL)
    return v == "0" || v == "1";
  if (v.empty())
    return false;
  char* end = nullptr;
  errno = 0;
  long long n = std::strtoll(v.c_str(), &end, 10);
  if (errno != 0 || *end != '\0')
    return false;
  switch (d.type) {
    case ValueType::U8:
      return n >= 0 && n <= 0xff;
    case ValueType::U16:
      return n >= 0 && n <= 0xffff;
    case ValueType::U32:
      return n >= 0 && n <= 0xffffffffLL;
    case ValueType::S8:
      return n >= -128 && n <= 127;
    case ValueType::S16:
      return n >= -32768 && n <= 32767;
    case ValueType::S32:
      return n >= INT32_MIN && n <= INT32_MAX;
    default:
      return false;
  }
}

}  // namespace

TEST(Catalogue, EveryEntryIsWellFormedAndFindable) {
  std::set<std::string> names;
  ASSERT_GT(catalogueSize(), 0u);
  for (size_t i = 0; i < catalogueSize(); ++i) {
    const ParamDef& d = catalogue()[i];
    std::string name = d.name;
    SCOPED_TRACE(name);
    EXPECT_TRUE(names.insert(name).second) << "duplicate";
    ASSERT_FALSE(name.empty());
    EXPECT_LE(name.size(), velmwire::MAX_NAME_LEN);
    EXPECT_TRUE(std::islower(static_cast<unsigned char>(name[0])));
    for (char c : name)
      EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '_') << "char " << c;
    EXPECT_TRUE(defaultFitsType(d))
        << "default '" << d.defaultValue << "' for " << typeName(d.type);
    EXPECT_EQ(findParam(name), &d);
  }
  EXPECT_EQ(findParam("no_such_param"), nullptr);
  EXPECT_EQ(findParam(""), nullptr);
  EXPECT_EQ(findParam("ipbx_line_enable"), nullptr) << "the name ends in an underscore";
}

struct FitCase {
  Dims dims;
  int32_t i1, i2;
  bool fits;
};

const FitCase kFitCases[] = {
    {Dims::SCALAR, -1, -1, true},
    {Dims::SCALAR, 0, -1, false},
    {Dims::SCALAR, -1, 0, false},
    {Dims::LINE, 0, -1, true},
    {Dims::LINE, 7, -1, true},
    {Dims::LINE, 8, -1, false},
    {Dims::LINE, -1, -1, false},
    {Dims::LINE, 3, 0, false},
    {Dims::LINE_ENTRY0, 2, 0, true},
    {Dims::LINE_ENTRY0, 2, -1, false},
    {Dims::LINE_ENTRY0, 2, 1, false},
    {Dims::PROVIDER, 15, -1, true},
    {Dims::PROVIDER, 16, -1, false},
    {Dims::PROVIDER_BY_LINE, 15, 7, true},
    {Dims::PROVIDER_BY_LINE, 3, 8, false},
    {Dims::PROVIDER_BY_LINE, 3, -1, false},
    {Dims::LINE_LIST40, 7, 39, true},
    {Dims::LINE_LIST40, 7, 40, false},
    {Dims::LINE_LIST30, 0, 29, true},
    {Dims::LINE_LIST30, 0, 30, false},
    {Dims::IMPEDANCE_ENTRY, 9, -1, true},
    {Dims::IMPEDANCE_ENTRY, 10, -1, false},
    {Dims::RING_NAME_ENTRY, 7, -1, true},
    {Dims::RING_NAME_ENTRY, 8, -1, false},
    {Dims::LINE, INT32_MIN, -1, false},
    {Dims::LINE_LIST30, 0, INT32_MAX, false},
};

TEST(Catalogue, IndexesFitTheirDimensionsOnly) {
  for (const FitCase& c : kFitCases) {
    ParamDef def{"x", ValueType::STRING, c.dims, ""};
    EXPECT_EQ(indexesFit(def, c.i1, c.i2), c.fits)
        << "dims " << static_cast<int>(c.dims) << " (" << c.i1 << "," << c.i2 << ")";
  }
}
