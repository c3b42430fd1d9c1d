// The client's output forms besides its plain text: an aligned table with
// a header (one line per row, as snmptable prints), JSON (one document, an
// array of records; numbers as numbers, bool as true/false) and CSV
// (RFC 4180: a header line, CRLF line ends, fields quoted when needed).
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "IcscNames.h"
#include "icsc/ICSCTlv.h"

namespace icscfmt {

enum class Format { TEXT, TABLE, JSON, CSV };
bool parseFormat(const std::string& text, Format& out);

// Records of named fields: one value per header entry (string, number,
// bool or null).
struct Records {
  std::vector<std::string> header;
  std::vector<std::vector<nlohmann::ordered_json>> rows;
};
// TABLE, JSON or CSV (TEXT renders as TABLE).
std::string render(Format f, const Records& r);

// A cell's value as the plain text prints it.
std::string valueText(const ICSCTlv& cell);

// Answered cells: as records (oid, object, column, row, type, value,
// status; value null unless served) for JSON and CSV, or as tables: the
// cells of one object under its name, one line per row with the columns
// as headers, a scalar one line per property.
Records cellRecords(const std::vector<ICSCTlv>& cells);
std::string cellTables(const std::vector<ICSCTlv>& cells);
std::string renderCells(Format f, const std::vector<ICSCTlv>& cells);

}  // namespace icscfmt
