// The client's names and output forms: lookups that accept a unique name in
// any case and otherwise say what exists; tables pivoted by row; JSON that
// keeps the types; CSV quoted as RFC 4180 wants.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "IcscFormat.h"
#include "IcscNames.h"
#include "TestSupport.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

namespace {

using testsupport::cellOf;

TEST(IcscNames, AcceptAUniqueNameInAnyCaseAndOtherwiseSayWhatExists) {
  struct Case {
    const char* object;
    const char* column;
    const char* found;  // column found, or nullptr
    const char* error;  // text the error holds
  };
  const Case kCases[] = {
      {"TimersScalar", "3", "ipbxInterdigitDuration", ""},
      {"timersscalar", "IPBXINTERDIGITDURATION", "ipbxInterdigitDuration", ""},
      {"TimersScalar", "obj_timers_ipbxinterdigitduration", "ipbxInterdigitDuration", ""},
      {"TimerScalar", "3", nullptr, "unknown object 'TimerScalar'; closest: TimersScalar"},
      {"TimersScalar", "interdigit", nullptr, "closest: ipbxInterdigitDuration;"},
      {"TimersScalar", "ipbxInterdigtDuration", nullptr, "closest: ipbxInterdigitDuration;"},
      {"TimersScalar", "24", nullptr, "no column 24: TimersScalar has columns 0-23"},
      {"TimersScalar", "zzzzzz", nullptr, "unknown column 'zzzzzz'; TimersScalar has columns 0-23"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.object) + " " + c.column);
    std::string error;
    const IcscObjectDesc* d = icscnames::object(c.object, error);
    const IcscColumnDesc* col = d ? icscnames::column(*d, c.column, error) : nullptr;
    EXPECT_EQ(col ? std::string(col->name) : "", c.found ? c.found : "");
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
  unsigned number = 0;
  std::string error;
  EXPECT_EQ(icscnames::commonObject("temprature", number, error), nullptr);
  EXPECT_NE(error.find("closest: temperature; common objects: card,"), std::string::npos) << error;
  const CommonDescriptorArray* temp = icscnames::commonObject("Temperature", number, error);
  ASSERT_NE(temp, nullptr);
  EXPECT_EQ(icscnames::commonRecord(*temp, "vaild", error), nullptr);
  EXPECT_NE(error.find("closest: temp-valid; records 0-4: temp-name,"), std::string::npos) << error;
}

const uint32_t kTimers = icscdesc::findByName("TimersScalar")->id;
const uint32_t kSpeedDials = icscdesc::findByName("SpeedDialsTable")->id;

ICSCTlv refusedCell(uint32_t oid, uint8_t status) {
  ICSCTlv c = cellOf(oid);
  c.status = status;
  return c;
}

TEST(IcscFormat, TablesPivotRowsUnderTheirColumnsAndScalarsListProperties) {
  std::vector<ICSCTlv> cells{
      cellOf(icscoid::object(kSpeedDials, 0, 0), IcscType::STRING, 0, "*72"),
      cellOf(icscoid::object(kSpeedDials, 1, 0), IcscType::STRING, 0, "a\nb"),
      cellOf(icscoid::object(kSpeedDials, 0, 1), IcscType::STRING, 0, "5551234"),
      refusedCell(icscoid::object(kSpeedDials, 1, 1), icscwire::NOT_SERVED),
      cellOf(icscoid::object(kTimers, 3, 0), IcscType::U16, 4000),
  };
  EXPECT_EQ(icscfmt::renderCells(icscfmt::Format::TABLE, cells),
            "SpeedDialsTable:\n"
            "row  ipbxSpeedDialArray1  ipbxSpeedDialArray2\n"
            "0    *72                  a\\nb\n"
            "1    5551234              (not served)\n"
            "\n"
            "TimersScalar:\n"
            "property                value\n"
            "ipbxInterdigitDuration  4000\n");
}

TEST(IcscFormat, JsonKeepsTypesAndCsvQuotesAsRfc4180) {
  std::vector<ICSCTlv> cells{
      cellOf(icscoid::object(kTimers, 3, 0), IcscType::U16, 4000),
      cellOf(icscoid::common(5, 1, 0), IcscType::BOOL, 1),
      cellOf(icscoid::common(6, 1, 0), IcscType::U64, -1),
      cellOf(icscoid::object(kSpeedDials, 0, 2), IcscType::STRING, 0, "a,\"b\"\r\n\xff"),
      refusedCell(icscoid::object(kTimers, 3, 5), icscwire::ROW_OUT_OF_RANGE),
  };
  auto doc = nlohmann::json::parse(icscfmt::renderCells(icscfmt::Format::JSON, cells));
  ASSERT_EQ(doc.size(), 5u);
  EXPECT_EQ(doc[0]["object"], "TimersScalar");
  EXPECT_EQ(doc[0]["column"], "ipbxInterdigitDuration");
  EXPECT_EQ(doc[0]["value"], 4000);
  EXPECT_EQ(doc[1]["object"], "status");
  EXPECT_EQ(doc[1]["value"], true);
  EXPECT_EQ(doc[2]["value"].get<uint64_t>(), UINT64_MAX);
  EXPECT_EQ(doc[2]["type"], "u64");
  EXPECT_EQ(doc[3]["row"], 2);
  EXPECT_EQ(doc[3]["value"], "a,\"b\"\r\n\xEF\xBF\xBD") << "a byte that is no UTF-8 replaced";
  EXPECT_TRUE(doc[4]["value"].is_null());
  EXPECT_EQ(doc[4]["status"], "row out of range");

  std::string csv = icscfmt::renderCells(icscfmt::Format::CSV, cells);
  EXPECT_EQ(csv.substr(0, csv.find("\r\n") + 2), "oid,object,column,row,type,value,status\r\n");
  EXPECT_NE(csv.find(",string,\"a,\"\"b\"\"\r\n\xff\",ok\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",status,hw-error,0,bool,true,ok\r\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",TimersScalar,ipbxInterdigitDuration,5,,,row out of range\r\n"),
            std::string::npos)
      << csv;
}

}  // namespace
