// icscctl: reads and writes the card's ICSC objects through its UDP front
// end, by the names of the object descriptions and the common descriptor
// arrays.
//
//   icscctl [--host A] [--port N] [--timeout MS] [--no-card WHY] COMMAND ARGS
//
// Exit: 0 served, 1 refused by the card (reason on stderr), 2 no answer,
// 3 bad usage.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "IcscFormat.h"
#include "IcscNames.h"
#include "IcscWalk.h"
#include "SimCli.h"
#include "common/CommonRecords.h"
#include "icsc/CommonPropertyDescriptor.h"
#include "icsc/IcscClient.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

using namespace icscwire;
using icscfmt::Format;

namespace {

using simcli::NO_ANSWER;
using simcli::REFUSED;
using simcli::SERVED;
using simcli::USAGE;

const char kUsage[] =
    "usage: ./dev icsc COMMAND ARGS on the bench, where it runs\n"
    "       icscctl [--host A] [--port N] [--timeout MS] [--no-card WHY] COMMAND ARGS\n"
    "  get OBJECT COLUMN [ROW]       one cell (row 0 by default)\n"
    "  set OBJECT COLUMN ROW VALUE   write one cell (bool: 0, 1, true, false)\n"
    "  walk [--cells N] [OBJECT]     every cell of an object, or of the card without one,\n"
    "                                N cells per request (default: as many as fit in\n"
    "                                one datagram)\n"
    "  columns OBJECT                the object's columns: number, name, type, access\n"
    "  get common NAME [INSTANCE] [RECORD]          a common card object (docs/objects.md)\n"
    "  set common NAME [INSTANCE] RECORD VALUE\n"
    "  walk common [NAME]\n"
    "  event TABLE COLUMN [ROW]      a cell of a common event table (0-3)\n"
    "  objects                       every object: id, name, kind, rows, columns, OIDs;\n"
    "                                then the common card objects and event tables\n"
    "  raw FILE                      FILE's bytes as one datagram; prints the answer\n"
    "  names [--lua]                 every object, column and record name, one object a\n"
    "                                line (for completion); --lua: as a Lua table (for\n"
    "                                the packet dissector)\n"
    "--format text|table|json|csv    (get, walk, columns, objects) text: as above;\n"
    "                                table: aligned, one line per row under the column\n"
    "                                names (a scalar: one line per property); json: one\n"
    "                                array of records; csv: RFC 4180 with a header line\n"
    "OBJECT: a name from 'objects' (any case); COLUMN: a number, a property name or its\n"
    "OBJ_ symbol. --host 127.0.0.1, --port 5000, --timeout 2000 ms by default; --no-card\n"
    "WHY sends nothing and answers every request with 'no answer: WHY'.\n"
    "exit status: 0 served, 1 refused by the card (reason on stderr), 2 no answer,\n"
    "3 bad usage\n";

int fail(int code, const std::string& message) {
  std::fprintf(stderr, "icscctl: %s\n", message.c_str());
  return code;
}

int usage(const std::string& message) {
  simcli::badUsage("icscctl", message, kUsage);
  return USAGE;
}

std::string logHint() {
  const char* hint = std::getenv("FXS_CARD_LOG_HINT");
  return hint != nullptr && *hint != '\0' ? hint : "./dev bench logs main";
}

struct Client {
  std::string host = "127.0.0.1";
  int port = UDP_PORT;
  int timeoutMs = 2000;
  std::string noCard;  // set: nothing is sent, every request has no answer
  IcscClient icsc;

  int open() {
    if (!noCard.empty() || icsc.open(host, port))
      return SERVED;
    return fail(NO_ANSWER,
                "cannot reach " + host + ":" + std::to_string(port) + ": " + std::strerror(errno));
  }

  // One request; Exit code, with the decoded answer.
  int call(uint8_t op, const std::vector<ICSCTlv>& cells, Header& h, std::vector<ICSCTlv>& out) {
    if (!noCard.empty())
      return fail(NO_ANSWER, "no answer: " + noCard);
    Decode why = Decode::OK;
    switch (icsc.call(op, cells, timeoutMs, h, out, &why)) {
      case IcscClient::Result::ANSWERED:
        return SERVED;
      case IcscClient::Result::MALFORMED:
        return fail(REFUSED, std::string("malformed answer: ") + decodeText(why));
      case IcscClient::Result::NOT_SENT:
        if (errno == EMSGSIZE)
          return fail(USAGE, "request too big");
        break;
      case IcscClient::Result::NO_ANSWER:
        break;
    }
    return fail(NO_ANSWER, "no answer from " + host + ":" + std::to_string(port) + " within " +
                               std::to_string(timeoutMs) + " ms");
  }
};

// Options of one command, anywhere among its words: --format and, for
// walk, --cells. `argv[0]` is the command.
struct CommandArgs {
  Format format = Format::TEXT;
  unsigned cells = 0;
  std::vector<std::string> words;
};

int parseCommand(const char* form, bool withCells, int argc, char** argv, CommandArgs& out) {
  std::string formUsage = std::string("usage: ./dev icsc ") + form + "\n";
  int rc = simcli::parse(
      "icscctl", formUsage.c_str(), argc, argv, simcli::ANYWHERE,
      {{"format", required_argument, nullptr, 'f'}, {"cells", required_argument, nullptr, 'c'}},
      [&](int c, const char* arg) -> std::string {
        if (c == 'f')
          return icscfmt::parseFormat(arg, out.format)
                     ? ""
                     : std::string("unknown format '") + arg + "': text, table, json or csv";
        if (!withCells)
          return "--cells is an option of walk only";
        return simcli::integer(arg, 1, static_cast<long long>(MAX_CELLS), out.cells)
                   ? ""
                   : std::string("--cells wants 1-") + std::to_string(MAX_CELLS);
      });
  if (rc >= 0)
    return rc == 0 ? SERVED : USAGE;
  out.words.assign(argv + optind, argv + argc);
  return -1;
}

std::string typeRange(IcscType t) {
  switch (t) {
    case IcscType::U8:
      return "0-255";
    case IcscType::U16:
      return "0-65535";
    case IcscType::U32:
      return "0-4294967295";
    case IcscType::I8:
      return "-128-127";
    case IcscType::I16:
      return "-32768-32767";
    case IcscType::I32:
      return "-2147483648-2147483647";
    case IcscType::U64:
      return "0-18446744073709551615";
    case IcscType::BOOL:
      return "0, 1, true or false";
    default:
      return "any text";
  }
}

bool parseValue(IcscType type, const std::string& text, ICSCTlv& cell) {
  cell.type = type;
  if (type == IcscType::STRING) {
    cell.str = text;
    return true;
  }
  if (type == IcscType::BOOL) {
    if (text == "1" || text == "true") {
      cell.num = 1;
    } else if (text == "0" || text == "false") {
      cell.num = 0;
    } else {
      return false;
    }
    return true;
  }
  errno = 0;
  char* end = nullptr;
  if (type == IcscType::U64) {
    unsigned long long u = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || text[0] == '-' || errno != 0 || *end != '\0')
      return false;
    cell.num = static_cast<int64_t>(u);
    return true;
  }
  long long v = std::strtoll(text.c_str(), &end, 0);
  if (text.empty() || errno != 0 || *end != '\0')
    return false;
  // Only values the column can hold exactly.
  if (icscNarrow(type, v) != v)
    return false;
  cell.num = v;
  return true;
}

int badValue(const std::string& value, IcscType type, const std::string& what) {
  return fail(USAGE, "'" + value + "' is not a " + icscTypeName(type) + " value for " + what +
                         " (" + typeRange(type) + ")");
}

bool parseNumber(const std::string& text, unsigned max, unsigned& out) {
  long long v = 0;
  if (!simcli::integer(text.c_str(), 0, max, v))
    return false;
  out = static_cast<unsigned>(v);
  return true;
}

std::string rowsOf(const IcscObjectDesc& d) {
  return std::string(d.name) +
         (d.rows <= 1 ? " has only row 0" : " has rows " + icscnames::range(d.rows));
}

// What a request was about, for the reason of a refusal.
struct Target {
  const IcscObjectDesc* object = nullptr;
  const IcscColumnDesc* column = nullptr;
  const CommonDescriptorArray* common = nullptr;
  const CommonPropertyDescriptor* record = nullptr;
};

// Why the card refused, as far as the descriptions tell; else where its
// log says why.
std::string reason(uint8_t status, const Target& t) {
  std::string col = t.column ? t.column->name : "";
  std::string rec = t.record ? commondesc::key(t.record->label) : "";
  switch (status) {
    case ROW_OUT_OF_RANGE:
      if (t.object)
        return rowsOf(*t.object);
      break;
    case NO_SUCH_COLUMN:
      if (t.object)
        return std::string(t.object->name) + " has columns " +
               icscnames::range(t.object->columnCount);
      break;
    case WRONG_TYPE:
      if (t.column)
        return col + " takes " + icscTypeName(t.column->type);
      break;
    case READ_ONLY:
      if (t.common && t.common->noHardware)
        return "no hardware behind " + commondesc::key(t.common->name) +
               " on this card: every record reads its default";
      if (t.column || t.record)
        return (t.column ? col : rec) + " is read-only";
      break;
    case BAD_VALUE_LENGTH:
      if (t.record && !commondesc::lengthRule(*t.record).empty())
        return rec + " takes " + commondesc::lengthRule(*t.record);
      break;
    case BAD_VALUE:
      if (t.record && !commondesc::valueRule(*t.record).empty())
        return rec + " takes " + commondesc::valueRule(*t.record);
      break;
    default:
      break;
  }
  return "the card's log says why: " + logHint();
}

int refused(const std::string& what, uint8_t status, const Target& t) {
  return fail(REFUSED, what + " refused by the card: " + statusName(status) + " (" +
                           std::to_string(status) + ", " + statusText(status) + "); " +
                           reason(status, t));
}

std::string cellWhat(bool set, const std::string& name, const std::string& column, unsigned row) {
  return std::string(set ? "set " : "get ") + name + " " + column + " row " + std::to_string(row);
}

void printCells(Format f, const std::vector<ICSCTlv>& cells) {
  std::fputs(icscfmt::renderCells(f, cells).c_str(), stdout);
}

int cmdGetSet(Client& cl, bool set, const CommandArgs& a) {
  const std::vector<std::string>& w = a.words;
  if (w.size() < (set ? 4u : 2u) || w.size() > (set ? 4u : 3u))
    return usage(set ? "set OBJECT COLUMN ROW VALUE" : "get OBJECT COLUMN [ROW]");
  std::string error;
  Target t;
  t.object = icscnames::object(w[0], error);
  t.column = t.object ? icscnames::column(*t.object, w[1], error) : nullptr;
  if (t.column == nullptr)
    return fail(USAGE, error);
  unsigned row = 0;
  if (w.size() >= 3 && !parseNumber(w[2], icscoid::MAX_ROW, row))
    return fail(USAGE, "bad row '" + w[2] + "': " + rowsOf(*t.object));
  ICSCTlv cell;
  cell.oid = icscoid::object(t.object->id, t.column->column, row);
  if (set && !parseValue(t.column->type, w[3], cell))
    return badValue(w[3], t.column->type, t.column->name);
  int rc = cl.open();
  Header h;
  std::vector<ICSCTlv> out;
  if (rc == SERVED)
    rc = cl.call(set ? SET : GET, {cell}, h, out);
  if (rc != SERVED)
    return rc;
  std::string what = cellWhat(set, t.object->name, t.column->name, row);
  if (out.size() != 1)
    return refused(what, h.status != OK ? h.status : static_cast<uint8_t>(MALFORMED), t);
  if (out[0].status != OK)
    return refused(what, out[0].status, t);
  if (a.format == Format::TEXT)
    std::printf("%s\n", icscfmt::valueText(out[0]).c_str());
  else if (!set)
    printCells(a.format, out);
  return SERVED;
}

bool isInstance(const std::string& s) {
  unsigned v;
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos &&
         parseNumber(s, icscoid::MAX_ROW, v);
}

// The text form of a common cell: its name, and the words of a coded value.
std::string commonValueText(const ICSCTlv& c) {
  std::string meaning = icscnames::nameOf(c).meaning;
  return icscfmt::valueText(c) + (meaning.empty() ? "" : " (" + meaning + ")");
}

std::string cellNameText(uint32_t oid) {
  ICSCTlv c;
  c.oid = oid;
  icscnames::CellName n = icscnames::nameOf(c);
  switch (n.kind) {
    case icscnames::CellName::OBJECT:
      return n.object + " row " + std::to_string(n.row) + " " + n.column;
    case icscnames::CellName::COMMON: {
      unsigned number = icscoid::commonNumber(oid);
      bool one =
          number < commondesc::arrayCount() && commondesc::arrays()[number].instances == CI_ONE;
      return n.object + (one ? "" : "[" + std::to_string(n.row) + "]") + " " + n.column;
    }
    case icscnames::CellName::EVENT:
      return n.object + " " + n.column;
    default:
      return "oid " + std::to_string(oid);
  }
}

void printCellText(const ICSCTlv& c) {
  std::string name = cellNameText(c.oid);
  if (c.status == OK && c.type == IcscType::NONE)
    std::printf("%s: served, no value\n", name.c_str());
  else if (c.status == OK)
    std::printf(
        "%s = %s\n", name.c_str(),
        icscoid::isCommon(c.oid) ? commonValueText(c).c_str() : icscfmt::valueText(c).c_str());
  else
    std::printf("%s: %s\n", name.c_str(), statusText(c.status));
}

// A walk: NEXT from `start` while `inside` holds for the answer's OID.
struct Walk {
  Client& cl;
  const CommandArgs& args;
  std::vector<ICSCTlv> cells;  // kept for the formats other than text
  size_t refusedCells = 0;

  // `text` prints one cell in the text form. Exit code.
  int run(uint32_t start, const std::function<bool(uint32_t)>& inside,
          const std::function<void(const ICSCTlv&)>& text, const std::string& what) {
    int rc = SERVED;
    auto exchange = [&](uint8_t op, const std::vector<ICSCTlv>& req, Header& h,
                        std::vector<ICSCTlv>& out) {
      rc = cl.call(op, req, h, out);
      return rc == SERVED;
    };
    size_t count = 0;
    icscwalk::Result r = icscwalk::walk(start, inside, args.cells, exchange, [&](const ICSCTlv& c) {
      ++count;
      refusedCells += c.status != OK;
      if (args.format == Format::TEXT)
        text(c);
      else
        cells.push_back(c);
    });
    if (r == icscwalk::Result::NO_ANSWER)
      return rc;
    if (r == icscwalk::Result::REFUSED)
      return fail(REFUSED, "the card's answers do not form a walk");
    if (count == 0)
      return fail(REFUSED,
                  what + " is not served by the card; the card's log says why: " + logHint());
    if (args.format != Format::TEXT)
      printCells(args.format, cells);
    if (refusedCells > 0)
      std::fprintf(stderr, "icscctl: %zu cells were not served; the card's log says why: %s\n",
                   refusedCells, logHint().c_str());
    return SERVED;
  }
};

int cmdWalkCommon(Walk& walk, const std::vector<std::string>& w) {
  if (w.empty())
    return walk.run(
        icscoid::common(0, 0, 0), [](uint32_t oid) { return icscoid::isCommon(oid); },
        printCellText, "common");
  if (w.size() != 1)
    return usage("walk common [NAME]");
  unsigned number = 0;
  std::string error;
  if (icscnames::commonObject(w[0], number, error) == nullptr)
    return fail(USAGE, error);
  // The cell before the object's first: the last possible of number - 1.
  uint32_t start = icscoid::common(number - 1, icscoid::MAX_COLUMN, icscoid::MAX_ROW);
  auto inside = [number](uint32_t oid) {
    return icscoid::isCommon(oid) && icscoid::commonNumber(oid) == number;
  };
  return walk.run(start, inside, printCellText, w[0]);
}

// One object: "row R COLUMN = VALUE" lines.
int cmdWalkObject(Walk& walk, const IcscObjectDesc* d) {
  auto text = [d](const ICSCTlv& a) {
    unsigned col = icscoid::objectColumn(a.oid), row = icscoid::objectRow(a.oid);
    const char* column = col < d->columnCount ? d->columns[col].name : "?";
    if (a.status == OK)
      std::printf("row %u %s = %s\n", row, column, icscfmt::valueText(a).c_str());
    else
      std::printf("row %u %s: %s\n", row, column, statusText(a.status));
  };
  // From the last possible cell of the object before.
  uint32_t start = icscoid::object(d->id - 1, icscoid::MAX_COLUMN, icscoid::MAX_ROW);
  auto inside = [d](uint32_t oid) {
    return icscoid::isObject(oid) && icscoid::objectId(oid) == d->id;
  };
  return walk.run(start, inside, text, d->name);
}

int cmdWalk(Client& cl, const CommandArgs& a) {
  const std::vector<std::string>& w = a.words;
  const IcscObjectDesc* d = nullptr;
  std::string error;
  bool common = !w.empty() && w[0] == "common";
  if (!common && w.size() > 1)
    return usage("walk [--cells N] [OBJECT | common [NAME]]");
  if (!common && w.size() == 1 && (d = icscnames::object(w[0], error)) == nullptr)
    return fail(USAGE, error);
  if (common && w.size() == 2) {
    unsigned number = 0;
    if (icscnames::commonObject(w[1], number, error) == nullptr)
      return fail(USAGE, error);
  }
  int rc = cl.open();
  if (rc != SERVED)
    return rc;
  Walk walk{cl, a, {}, 0};
  if (common)
    return cmdWalkCommon(walk, std::vector<std::string>(w.begin() + 1, w.end()));
  if (d != nullptr)
    return cmdWalkObject(walk, d);
  return walk.run(
      0, [](uint32_t) { return true; }, printCellText, "nothing");
}

// get common <object> [instance] [record]: without a record every record
// of the instance, one "label = value" line each.
int cmdCommon(Client& cl, bool set, const CommandArgs& args) {
  const std::vector<std::string>& w = args.words;
  const char* const form =
      set ? "set common NAME [INSTANCE] RECORD VALUE" : "get common NAME [INSTANCE] [RECORD]";
  if (w.size() < (set ? 3u : 1u) || w.size() > (set ? 4u : 3u))
    return usage(form);
  unsigned number = 0, instance = 0;
  std::string error;
  Target t;
  t.common = icscnames::commonObject(w[0], number, error);
  if (t.common == nullptr)
    return fail(USAGE, error);
  size_t at = 1;
  bool withInstance = set ? w.size() == 4 : (w.size() == 3 || (w.size() == 2 && isInstance(w[1])));
  if (withInstance && !parseNumber(w[at++], icscoid::MAX_ROW, instance))
    return fail(USAGE,
                "bad instance '" + w[1] + "': a number 0-" + std::to_string(icscoid::MAX_ROW));
  std::vector<const CommonPropertyDescriptor*> records;
  if (at < w.size()) {
    t.record = icscnames::commonRecord(*t.common, w[at], error);
    if (t.record == nullptr)
      return fail(USAGE, error);
    records.push_back(t.record);
    ++at;
  } else {
    for (size_t i = 0; i < t.common->count; ++i)
      records.push_back(&t.common->records[i]);
  }
  std::vector<ICSCTlv> cells;
  for (const CommonPropertyDescriptor* r : records) {
    ICSCTlv c;
    c.oid = icscoid::common(number, r->propertyId, instance);
    if (set && !parseValue(commonrec::wireType(*r), w[at], c))
      return badValue(w[at], commonrec::wireType(*r), commondesc::key(r->label));
    cells.push_back(c);
  }
  int rc = cl.open();
  Header h;
  std::vector<ICSCTlv> out;
  if (rc == SERVED)
    rc = cl.call(set ? SET : GET, cells, h, out);
  if (rc != SERVED)
    return rc;
  if (out.size() != cells.size())
    return refused(commondesc::key(t.common->name),
                   h.status != OK ? h.status : static_cast<uint8_t>(MALFORMED), t);
  rc = SERVED;
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i].status != OK) {
      Target one = t;
      one.record = records[i];
      rc = refused(std::string(set ? "set " : "get ") + cellNameText(cells[i].oid), out[i].status,
                   one);
    } else if (args.format != Format::TEXT) {
      continue;
    } else if (records.size() == 1) {
      std::printf("%s\n", icscfmt::valueText(out[i]).c_str());
    } else {
      std::printf("%s = %s\n", commonrec::trimmedLabel(*records[i]).c_str(),
                  commonValueText(out[i]).c_str());
    }
  }
  if (args.format != Format::TEXT && !set)
    printCells(args.format, out);
  return rc;
}

int cmdEvent(Client& cl, const std::vector<std::string>& w) {
  unsigned table = 0, col = 0, row = 0;
  if (w.size() < 2 || w.size() > 3)
    return usage("event TABLE COLUMN [ROW]");
  if (!parseNumber(w[0], 3, table))
    return fail(USAGE, "no event table '" + w[0] + "': tables 0-3");
  unsigned columns = static_cast<unsigned>(commondesc::eventTable(table).count);
  if (!parseNumber(w[1], columns - 1, col))
    return fail(USAGE, "no column '" + w[1] + "' in event table " + w[0] + ": columns " +
                           icscnames::range(columns));
  if (w.size() == 3 && !parseNumber(w[2], 0, row))
    return fail(USAGE, "no row '" + w[2] + "' in an event table: row 0 only");
  ICSCTlv cell;
  cell.oid = icscoid::event(table, col, row);
  int rc = cl.open();
  Header h;
  std::vector<ICSCTlv> out;
  if (rc == SERVED)
    rc = cl.call(GET, {cell}, h, out);
  if (rc != SERVED)
    return rc;
  uint8_t status = out.size() == 1 ? out[0].status : h.status;
  if (out.size() != 1 || status != OK)
    return refused("get " + cellNameText(cell.oid),
                   status != OK ? status : static_cast<uint8_t>(MALFORMED), Target{});
  std::printf("%s\n", out[0].type == IcscType::NONE ? "(served, no value)"
                                                    : icscfmt::valueText(out[0]).c_str());
  return SERVED;
}

int cmdColumns(const CommandArgs& a) {
  if (a.words.size() != 1)
    return usage("columns OBJECT");
  std::string error;
  const IcscObjectDesc* d = icscnames::object(a.words[0], error);
  if (d == nullptr)
    return fail(USAGE, error);
  if (a.format == Format::TEXT) {
    std::printf("%s: %s %u, %u rows\n", d->name, d->isTable ? "table" : "scalar", d->id, d->rows);
    for (unsigned c = 0; c < d->columnCount; ++c) {
      const IcscColumnDesc& col = d->columns[c];
      std::printf("%3u %-36s %-6s %s  %s\n", col.column, col.name, icscTypeName(col.type),
                  col.access == IcscAccess::RW ? "rw" : "ro", col.symbol);
    }
    return SERVED;
  }
  icscfmt::Records r{{"object", "column", "name", "type", "access", "symbol"}, {}};
  for (unsigned c = 0; c < d->columnCount; ++c) {
    const IcscColumnDesc& col = d->columns[c];
    r.rows.push_back({d->name, col.column, col.name, icscTypeName(col.type),
                      col.access == IcscAccess::RW ? "rw" : "ro", col.symbol});
  }
  std::fputs(icscfmt::render(a.format, r).c_str(), stdout);
  return SERVED;
}

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", v);
  return buf;
}

const char* instancesText(CommonInstances i) {
  switch (i) {
    case CI_TEMP_SENSORS:
      return "temperature sensor";
    case CI_VOLTAGES:
      return "voltage";
    case CI_HW_ERRORS:
      return "HW error";
    case CI_OPER_ALARMS:
      return "oper. alarm";
    default:
      return "";
  }
}

int cmdObjects(const CommandArgs& a) {
  if (!a.words.empty())
    return usage("objects takes no arguments");
  // Registered objects, common objects (instances per sensor or error:
  // rows null), event tables; OIDs from the first cell to the last.
  icscfmt::Records r{{"kind", "id", "name", "rows", "columns", "per", "first_oid", "last_oid"}, {}};
  for (size_t i = 0; i < icscdesc::count(); ++i) {
    const IcscObjectDesc& d = *icscdesc::all()[i];
    r.rows.push_back({d.isTable ? "table" : "scalar", d.id, d.name, d.rows, d.columnCount, "row",
                      icscoid::object(d.id, 0, 0),
                      icscoid::object(d.id, d.columnCount - 1, d.rows - 1)});
  }
  for (size_t n = 0; n < commondesc::arrayCount(); ++n) {
    const CommonDescriptorArray& c = commondesc::arrays()[n];
    unsigned last = static_cast<unsigned>(c.count) - 1;
    if (c.instances == CI_EVENT_TABLE) {
      r.rows.push_back({"event", n, "event " + std::to_string(n), 1, c.count, "row",
                        icscoid::event(n, 0, 0), icscoid::event(n, last, 0)});
      continue;
    }
    bool one = c.instances == CI_ONE;
    r.rows.push_back({"common", n, commondesc::key(c.name),
                      one ? nlohmann::ordered_json(1) : nullptr, c.count,
                      one ? "instance" : instancesText(c.instances), icscoid::common(n, 0, 0),
                      icscoid::common(n, last, one ? 0 : icscoid::MAX_ROW)});
  }
  if (a.format != Format::TEXT) {
    std::fputs(icscfmt::render(a.format, r).c_str(), stdout);
    return SERVED;
  }
  for (const auto& row : r.rows) {
    std::string kind = row[0].get<std::string>();
    std::string oids = hex(row[6].get<uint32_t>()) + "-" + hex(row[7].get<uint32_t>());
    if (kind == "table" || kind == "scalar") {
      std::printf("%2u %-40s %-6s rows %-2u columns %u  oids %s\n", row[1].get<unsigned>(),
                  row[2].get<std::string>().c_str(), kind.c_str(), row[3].get<unsigned>(),
                  row[4].get<unsigned>(), oids.c_str());
    } else {
      std::string rows =
          row[3].is_null() ? "one per " + row[5].get<std::string>() : std::string("1");
      std::printf("%2u %-40s %-6s %-30s records %-2u oids %s\n", row[1].get<unsigned>(),
                  row[2].get<std::string>().c_str(), kind.c_str(), rows.c_str(),
                  row[4].get<unsigned>(), oids.c_str());
    }
  }
  std::printf("(common: ./dev icsc get common NAME; event: ./dev icsc event TABLE COLUMN)\n");
  return SERVED;
}

int cmdRaw(Client& cl, const std::vector<std::string>& w) {
  if (w.size() != 1)
    return usage("raw FILE");
  std::ifstream f(w[0], std::ios::binary);
  if (!f)
    return fail(USAGE, "cannot read " + w[0]);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  int rc = cl.open();
  if (rc != SERVED)
    return rc;
  if (!cl.noCard.empty())
    return fail(NO_ANSWER, "no answer: " + cl.noCard);
  std::vector<uint8_t> answer;
  if (!cl.icsc.sendBytes(bytes.data(), bytes.size()) ||
      !cl.icsc.receiveBytes(cl.timeoutMs, answer)) {
    std::printf("no answer\n");
    return NO_ANSWER;
  }
  std::printf("answer of %zu bytes:", answer.size());
  for (uint8_t b : answer)
    std::printf(" %02x", b);
  std::printf("\n");
  Header h;
  std::vector<ICSCTlv> cells;
  Decode d = decode(answer.data(), answer.size(), h, cells);
  if (d != Decode::OK) {
    std::printf("undecodable: %s\n", decodeText(d));
    return REFUSED;
  }
  std::printf("request %u op 0x%02x status %u (%s, %s), %zu cells\n", h.requestId, h.op, h.status,
              statusName(h.status), statusText(h.status), cells.size());
  return h.status == OK ? SERVED : REFUSED;
}

// The names as a Lua table for the packet dissector.
std::string luaNames() {
  std::string out =
      "-- Generated by icscctl names --lua from the card's object descriptions\n"
      "-- and common descriptor arrays.\n"
      "icsc_names = { objects = {}, common = {}, events = {}, status = {}, types = {} }\n";
  auto list = [](const std::vector<std::string>& names) {
    std::string s = "{ ";
    for (size_t i = 0; i < names.size(); ++i)
      s += "[" + std::to_string(i) + "] = \"" + names[i] + "\", ";
    return s + "}";
  };
  for (size_t i = 0; i < icscdesc::count(); ++i) {
    const IcscObjectDesc& d = *icscdesc::all()[i];
    std::vector<std::string> cols;
    for (unsigned c = 0; c < d.columnCount; ++c)
      cols.push_back(d.columns[c].name);
    out += "icsc_names.objects[" + std::to_string(d.id) + "] = { name = \"" + d.name +
           "\", columns = " + list(cols) + " }\n";
  }
  for (size_t n = 0; n < commondesc::arrayCount(); ++n) {
    const CommonDescriptorArray& a = commondesc::arrays()[n];
    std::vector<std::string> recs;
    for (size_t r = 0; r < a.count; ++r)
      recs.push_back(commondesc::key(a.records[r].label));
    out += std::string("icsc_names.") + (a.instances == CI_EVENT_TABLE ? "events" : "common") +
           "[" + std::to_string(n) + "] = { name = \"" + commondesc::key(a.name) +
           "\", records = " + list(recs) + " }\n";
  }
  for (unsigned s = 0; s < 256; ++s) {
    if (std::strcmp(statusName(static_cast<uint8_t>(s)), "UNKNOWN") != 0)
      out += "icsc_names.status[" + std::to_string(s) + "] = { \"" +
             statusName(static_cast<uint8_t>(s)) + "\", \"" + statusText(static_cast<uint8_t>(s)) +
             "\" }\n";
  }
  for (unsigned t = 0; icscTypeValid(static_cast<uint8_t>(t)); ++t)
    out += "icsc_names.types[" + std::to_string(t) + "] = \"" +
           icscTypeName(static_cast<IcscType>(t)) + "\"\n";
  return out;
}

int cmdNames(const std::vector<std::string>& w) {
  if (w.size() > 1 || (w.size() == 1 && w[0] != "--lua"))
    return usage("names [--lua]");
  std::fputs(w.empty() ? icscnames::completionWords().c_str() : luaNames().c_str(), stdout);
  return SERVED;
}

int run(int argc, char** argv) {
  Client cl;
  // Options end at the command; its own words may start with '-'.
  int rc = simcli::parse(
      "icscctl", kUsage, argc, argv, simcli::BEFORE_ARGUMENTS,
      {{"host", required_argument, nullptr, 'H'},
       {"port", required_argument, nullptr, 'p'},
       {"timeout", required_argument, nullptr, 't'},
       {"no-card", required_argument, nullptr, 'n'}},
      [&](int c, const char* arg) -> std::string {
        if (c == 'H') {
          cl.host = arg;
          return "";
        }
        if (c == 'n') {
          cl.noCard = arg;
          return cl.noCard.empty() ? "--no-card wants the reason" : "";
        }
        if (c == 'p')
          return simcli::integer(arg, 1, 65535, cl.port) ? "" : "--port wants 1-65535";
        return simcli::integer(arg, 1, 600000, cl.timeoutMs) ? "" : "--timeout wants 1-600000 ms";
      });
  if (rc >= 0)
    return rc == 0 ? SERVED : USAGE;
  if (optind >= argc)
    return usage("no command");
  std::string cmd = argv[optind];
  int cmdArgc = argc - optind;
  char** cmdArgv = argv + optind;
  std::vector<std::string> words(cmdArgv + 1, cmdArgv + cmdArgc);
  if (cmd == "set" || cmd == "event" || cmd == "raw" || cmd == "names") {
    if (cmd == "set" && !words.empty() && words[0] == "common")
      return cmdCommon(cl, true, {Format::TEXT, 0, {words.begin() + 1, words.end()}});
    if (cmd == "set")
      return cmdGetSet(cl, true, {Format::TEXT, 0, words});
    if (cmd == "event")
      return cmdEvent(cl, words);
    return cmd == "raw" ? cmdRaw(cl, words) : cmdNames(words);
  }
  static const struct {
    const char* name;
    const char* form;
  } kFormatted[] = {
      {"get", "get OBJECT COLUMN [ROW] | get common NAME [INSTANCE] [RECORD] [--format F]"},
      {"walk", "walk [--cells N] [--format F] [OBJECT | common [NAME]]"},
      {"columns", "columns OBJECT [--format F]"},
      {"objects", "objects [--format F]"},
  };
  for (const auto& f : kFormatted) {
    if (cmd != f.name)
      continue;
    CommandArgs a;
    rc = parseCommand(f.form, cmd == "walk", cmdArgc, cmdArgv, a);
    if (rc >= 0)
      return rc;
    if (cmd == "columns")
      return cmdColumns(a);
    if (cmd == "objects")
      return cmdObjects(a);
    if (cmd == "walk")
      return cmdWalk(cl, a);
    if (!a.words.empty() && a.words[0] == "common") {
      a.words.erase(a.words.begin());
      return cmdCommon(cl, false, a);
    }
    return cmdGetSet(cl, false, a);
  }
  return usage("unknown command '" + cmd +
               "' (get, set, walk, columns, event, objects, raw, names)");
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    // A bug (a JSON record of the wrong shape) or no memory: said, not a crash.
    std::fprintf(stderr, "icscctl: %s\n", e.what());
    return REFUSED;
  }
}
