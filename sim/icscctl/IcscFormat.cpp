#include "IcscFormat.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "icsc/IcscWire.h"
#include "trace/TraceObject.h"

namespace icscfmt {

namespace {

using Json = nlohmann::ordered_json;

// Card strings may hold any byte: invalid UTF-8 becomes U+FFFD.
std::string dump(const Json& j) {
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A field in a table or CSV: strings as they are, null empty.
std::string plain(const Json& j) {
  if (j.is_string())
    return j.get<std::string>();
  return j.is_null() ? "" : dump(j);
}

// A table keeps one line per row: control characters as escapes.
std::string oneLine(const std::string& s) {
  return trace::escape(s);
}

std::string csvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos)
    return s;
  std::string out = "\"";
  for (char c : s)
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string aligned(const std::vector<std::vector<std::string>>& lines) {
  std::vector<size_t> width;
  for (const auto& line : lines) {
    width.resize(std::max(width.size(), line.size()));
    for (size_t i = 0; i < line.size(); ++i)
      width[i] = std::max(width[i], line[i].size());
  }
  std::string out;
  for (const auto& line : lines) {
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
      text += line[i];
      if (i + 1 < line.size())
        text += std::string(width[i] - line[i].size() + 2, ' ');
    }
    text.erase(text.find_last_not_of(' ') + 1);
    out += text + "\n";
  }
  return out;
}

Json valueJson(const ICSCTlv& c) {
  if (c.status != icscwire::OK)
    return nullptr;
  switch (c.type) {
    case IcscType::NONE:
      return nullptr;
    case IcscType::STRING:
      return c.str;
    case IcscType::BOOL:
      return c.num != 0;
    case IcscType::U64:
      return static_cast<uint64_t>(c.num);
    default:
      return c.num;
  }
}

// What a table shows in a cell: the value, or the refusal in brackets.
std::string tableValue(const ICSCTlv& c, const icscnames::CellName& n) {
  if (c.status != icscwire::OK)
    return std::string("(") + icscwire::statusText(c.status) + ")";
  std::string v = oneLine(valueText(c));
  return n.meaning.empty() ? v : v + " (" + n.meaning + ")";
}

}  // namespace

bool parseFormat(const std::string& text, Format& out) {
  static const std::map<std::string, Format> kFormats{{"text", Format::TEXT},
                                                      {"table", Format::TABLE},
                                                      {"json", Format::JSON},
                                                      {"csv", Format::CSV}};
  auto it = kFormats.find(text);
  if (it == kFormats.end())
    return false;
  out = it->second;
  return true;
}

std::string valueText(const ICSCTlv& c) {
  switch (c.type) {
    case IcscType::STRING:
      return c.str;
    case IcscType::NONE:
      return "";
    default:
      return icscNumberText(c.type, c.num);
  }
}

std::string render(Format f, const Records& r) {
  if (f == Format::JSON) {
    std::string out = "[";
    for (size_t i = 0; i < r.rows.size(); ++i) {
      Json record = Json::object();
      for (size_t k = 0; k < r.header.size() && k < r.rows[i].size(); ++k)
        record[r.header[k]] = r.rows[i][k];
      out += (i ? ",\n " : "\n ") + dump(record);
    }
    return out + "\n]\n";
  }
  if (f == Format::CSV) {
    std::string out;
    for (size_t k = 0; k < r.header.size(); ++k)
      out += (k ? "," : "") + csvField(r.header[k]);
    out += "\r\n";
    for (const auto& row : r.rows) {
      for (size_t k = 0; k < row.size(); ++k)
        out += (k ? "," : "") + csvField(plain(row[k]));
      out += "\r\n";
    }
    return out;
  }
  std::vector<std::vector<std::string>> lines{r.header};
  for (const auto& row : r.rows) {
    lines.emplace_back();
    for (const Json& field : row)
      lines.back().push_back(oneLine(plain(field)));
  }
  return aligned(lines);
}

Records cellRecords(const std::vector<ICSCTlv>& cells) {
  Records r{{"oid", "object", "column", "row", "type", "value", "status"}, {}};
  for (const ICSCTlv& c : cells) {
    icscnames::CellName n = icscnames::nameOf(c);
    r.rows.push_back({c.oid, n.object, n.column, n.row,
                      c.status == icscwire::OK ? Json(icscTypeName(c.type)) : Json(nullptr),
                      valueJson(c), icscwire::statusText(c.status)});
  }
  return r;
}

std::string cellTables(const std::vector<ICSCTlv>& cells) {
  std::string out;
  size_t i = 0;
  while (i < cells.size()) {
    // The cells of one object, in the card's order.
    icscnames::CellName first = icscnames::nameOf(cells[i]);
    std::vector<std::string> columns;
    std::vector<unsigned> rows;
    std::map<std::pair<unsigned, std::string>, std::string> values;
    std::vector<std::vector<std::string>> lines;
    if (first.scalar)
      lines.push_back({"property", "value"});
    for (; i < cells.size(); ++i) {
      icscnames::CellName n = icscnames::nameOf(cells[i]);
      if (n.object != first.object)
        break;
      if (first.scalar) {
        lines.push_back({n.column, tableValue(cells[i], n)});
        continue;
      }
      if (std::find(columns.begin(), columns.end(), n.column) == columns.end())
        columns.push_back(n.column);
      if (std::find(rows.begin(), rows.end(), n.row) == rows.end())
        rows.push_back(n.row);
      values[{n.row, n.column}] = tableValue(cells[i], n);
    }
    if (!first.scalar) {
      lines.emplace_back(1, first.kind == icscnames::CellName::COMMON ? "instance" : "row");
      lines.back().insert(lines.back().end(), columns.begin(), columns.end());
      for (unsigned row : rows) {
        lines.push_back({std::to_string(row)});
        for (const std::string& col : columns)
          lines.back().push_back(values[{row, col}]);
      }
    }
    out += (out.empty() ? "" : "\n") + first.object + ":\n" + aligned(lines);
  }
  return out;
}

std::string renderCells(Format f, const std::vector<ICSCTlv>& cells) {
  return f == Format::TABLE || f == Format::TEXT ? cellTables(cells)
                                                 : render(f, cellRecords(cells));
}

}  // namespace icscfmt
