// icscctl: reads and writes the card's ICSC objects through its UDP front
// end, by the names of the object descriptions and the common descriptor
// arrays.
//
//   icscctl [--host A] [--port N] [--timeout MS] COMMAND ARGS
//
// Exit: 0 served, 1 refused by the card (reason on stderr), 2 no answer,
// 3 bad usage.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "IcscWalk.h"
#include "SimCli.h"
#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/CommonPropertyDescriptor.h"
#include "icsc/IcscClient.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"
#include "load/LoadManager.h"

using namespace icscwire;

namespace {

enum Exit { SERVED = 0, REFUSED = 1, NO_ANSWER = 2, USAGE = 3 };

const char kUsage[] =
    "usage: ./dev icsc COMMAND ARGS on the bench, where it runs\n"
    "       icscctl [--host A] [--port N] [--timeout MS] COMMAND ARGS\n"
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
    "  objects                       every object: id, name, kind, rows, columns\n"
    "  raw FILE                      FILE's bytes as one datagram; prints the answer\n"
    "COLUMN: a number, a property name or its OBJ_ symbol. --host 127.0.0.1,\n"
    "--port 5000, --timeout 2000 ms by default.\n"
    "exit status: 0 served, 1 refused (reason on stderr), 2 no answer, 3 bad usage\n";

int usage(const std::string& message) {
  simcli::badUsage("icscctl", message, kUsage);
  return USAGE;
}

struct Client {
  std::string host = "127.0.0.1";
  int port = UDP_PORT;
  int timeoutMs = 2000;
  IcscClient icsc;

  // One request; Exit code, with the decoded answer.
  int call(uint8_t op, const std::vector<ICSCTlv>& cells, Header& h, std::vector<ICSCTlv>& out) {
    Decode why = Decode::OK;
    switch (icsc.call(op, cells, timeoutMs, h, out, &why)) {
      case IcscClient::Result::ANSWERED:
        return SERVED;
      case IcscClient::Result::MALFORMED:
        std::fprintf(stderr, "icscctl: malformed answer: %s\n", decodeText(why));
        return REFUSED;
      case IcscClient::Result::NOT_SENT:
        if (errno == EMSGSIZE) {
          std::fprintf(stderr, "icscctl: request too big\n");
          return USAGE;
        }
        break;
      case IcscClient::Result::NO_ANSWER:
        break;
    }
    std::fprintf(stderr, "icscctl: no answer from %s:%d\n", host.c_str(), port);
    return NO_ANSWER;
  }
};

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

const IcscObjectDesc* object(const std::string& name) {
  const IcscObjectDesc* d = icscdesc::findByName(name);
  if (d == nullptr)
    std::fprintf(stderr, "icscctl: unknown object %s (see: icscctl objects)\n", name.c_str());
  return d;
}

const IcscColumnDesc* column(const IcscObjectDesc& d, const std::string& key) {
  const IcscColumnDesc* c = icscdesc::findColumn(d, key);
  if (c == nullptr)
    std::fprintf(stderr, "icscctl: %s has no column %s\n", d.name, key.c_str());
  return c;
}

bool parseRow(const std::string& text, unsigned& row) {
  char* end = nullptr;
  errno = 0;
  unsigned long v = std::strtoul(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || errno != 0 || v > icscoid::MAX_ROW)
    return false;
  row = static_cast<unsigned>(v);
  return true;
}

int refused(const IcscObjectDesc& d, const IcscColumnDesc& c, unsigned row, uint8_t status) {
  std::fprintf(stderr, "icscctl: %s %s row %u refused: %s\n", d.name, c.name, row,
               statusText(status));
  return REFUSED;
}

int cmdGetSet(Client& cl, bool set, int argc, char** argv) {
  if (argc < (set ? 4 : 2) || argc > (set ? 4 : 3))
    return usage(set ? "set OBJECT COLUMN ROW VALUE" : "get OBJECT COLUMN [ROW]");
  const IcscObjectDesc* d = object(argv[0]);
  const IcscColumnDesc* c = d ? column(*d, argv[1]) : nullptr;
  if (c == nullptr)
    return USAGE;
  unsigned row = 0;
  if (argc >= 3 && !parseRow(argv[2], row)) {
    std::fprintf(stderr, "icscctl: bad row %s\n", argv[2]);
    return USAGE;
  }
  ICSCTlv cell;
  cell.oid = icscoid::object(d->id, c->column, row);
  if (set && !parseValue(c->type, argv[3], cell)) {
    std::fprintf(stderr, "icscctl: %s is not a %s value for %s\n", argv[3], icscTypeName(c->type),
                 c->name);
    return USAGE;
  }
  Header h;
  std::vector<ICSCTlv> out;
  int rc = cl.call(set ? SET : GET, {cell}, h, out);
  if (rc != SERVED)
    return rc;
  if (out.size() != 1)
    return refused(*d, *c, row, h.status != OK ? h.status : static_cast<uint8_t>(MALFORMED));
  if (out[0].status != OK)
    return refused(*d, *c, row, out[0].status);
  std::printf("%s\n", valueText(out[0]).c_str());
  return SERVED;
}

// Common card objects: the descriptor arrays name objects and records.
bool isInstance(const std::string& s) {
  unsigned v;
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos && parseRow(s, v);
}

std::string commonName(uint32_t oid) {
  unsigned n = icscoid::commonNumber(oid), r = icscoid::commonRecord(oid);
  if (n >= commondesc::arrayCount())
    return "common " + std::to_string(n);
  const CommonDescriptorArray& a = commondesc::arrays()[n];
  std::string name = commondesc::key(a.name);
  if (a.instances != CI_ONE)
    name += "[" + std::to_string(icscoid::commonInstance(oid)) + "]";
  return name + " " + (r < a.count ? commonrec::trimmedLabel(a.records[r]) : "?");
}

// Records that carry codes: the walk names them.
struct CodeRecord {
  unsigned object, record;
  const char* (*name)(uint32_t);
};
const CodeRecord kCodeRecords[] = {
    {commonStatCtrl::CO_LOG_TRANSFER, commonrec::LOG_STATE, commonStatCtrl::getLogStateName},
    {commonStatCtrl::CO_LOG_TRANSFER, commonrec::LOG_RESULT, commonStatCtrl::getLogResultText},
    {commonStatCtrl::CO_DOWNLOAD, commonrec::DLD_STATE, load::LoadManager::stateName},
    {commonStatCtrl::CO_DOWNLOAD_RESULT, commonrec::DLDRES_RESULT, load::LoadManager::resultText},
};

std::string commonValueText(const ICSCTlv& c) {
  std::string v = valueText(c);
  for (const CodeRecord& r : kCodeRecords) {
    if (icscoid::commonNumber(c.oid) == r.object && icscoid::commonRecord(c.oid) == r.record)
      v += std::string(" (") + r.name(static_cast<uint32_t>(c.num)) + ")";
  }
  return v;
}

std::string cellName(uint32_t oid) {
  if (icscoid::isCommon(oid))
    return commonName(oid);
  if (icscoid::isEvent(oid)) {
    unsigned t = icscoid::eventTable(oid), c = icscoid::eventColumn(oid);
    const CommonDescriptorArray& a = commondesc::eventTable(t);
    std::string label = t < 4 && c < a.count ? commonrec::trimmedLabel(a.records[c]) : "?";
    return "event " + std::to_string(t) + " " + label;
  }
  const IcscObjectDesc* d = icscdesc::findById(icscoid::objectId(oid));
  unsigned col = icscoid::objectColumn(oid);
  return std::string(d ? d->name : "?") + " row " + std::to_string(icscoid::objectRow(oid)) + " " +
         (d && col < d->columnCount ? d->columns[col].name : "?");
}

void printCell(const ICSCTlv& c) {
  if (c.status == OK && c.type == IcscType::NONE)
    std::printf("%s: served, no value\n", cellName(c.oid).c_str());
  else if (c.status == OK)
    std::printf("%s = %s\n", cellName(c.oid).c_str(),
                icscoid::isCommon(c.oid) ? commonValueText(c).c_str() : valueText(c).c_str());
  else
    std::printf("%s: %s\n", cellName(c.oid).c_str(), statusText(c.status));
}

// NEXT from `start` while `inside` holds for the answer's OID, `perRequest`
// cells a request (0: as many as fit); `visit` sees each cell. The number
// of cells, or -1 with the exit code in `rc`.
long walkCells(Client& cl, uint32_t start, const std::function<bool(uint32_t)>& inside,
               unsigned perRequest, const icscwalk::Visit& visit, int& rc) {
  long cells = 0;
  rc = SERVED;
  auto exchange = [&](uint8_t op, const std::vector<ICSCTlv>& req, Header& h,
                      std::vector<ICSCTlv>& out) {
    rc = cl.call(op, req, h, out);
    return rc == SERVED;
  };
  icscwalk::Result r = icscwalk::walk(start, inside, perRequest, exchange, [&](const ICSCTlv& c) {
    visit(c);
    ++cells;
  });
  if (r == icscwalk::Result::NO_ANSWER)
    return -1;
  if (r == icscwalk::Result::REFUSED) {
    std::fprintf(stderr, "icscctl: the card's answers do not form a walk\n");
    rc = REFUSED;
    return -1;
  }
  return cells;
}

const CommonDescriptorArray* commonObject(const std::string& key, unsigned& number) {
  const CommonDescriptorArray* a = commondesc::findArray(key, &number);
  if (a == nullptr) {
    std::fprintf(stderr, "icscctl: unknown common object %s; known:", key.c_str());
    for (size_t i = 0; i < commondesc::arrayCount(); ++i) {
      if (commondesc::arrays()[i].instances != CI_EVENT_TABLE)
        std::fprintf(stderr, " %s", commondesc::key(commondesc::arrays()[i].name).c_str());
    }
    std::fprintf(stderr, "\n");
  }
  return a;
}

int walkResult(long cells, int rc, const char* what) {
  if (cells < 0)
    return rc;
  if (cells == 0) {
    std::fprintf(stderr, "icscctl: %s is not served by the card\n", what);
    return REFUSED;
  }
  return SERVED;
}

int cmdWalkCommon(Client& cl, int argc, char** argv, unsigned perRequest) {
  int rc = SERVED;
  if (argc == 0)
    return walkResult(
        walkCells(
            cl, icscoid::common(0, 0, 0), [](uint32_t oid) { return icscoid::isCommon(oid); },
            perRequest, printCell, rc),
        rc, "common");
  if (argc != 1)
    return usage("walk common [NAME]");
  unsigned number = 0;
  if (commonObject(argv[0], number) == nullptr)
    return USAGE;
  // The cell before the object's first: the last possible of number - 1.
  uint32_t start = icscoid::common(number - 1, icscoid::MAX_COLUMN, icscoid::MAX_ROW);
  auto inside = [number](uint32_t oid) {
    return icscoid::isCommon(oid) && icscoid::commonNumber(oid) == number;
  };
  return walkResult(walkCells(cl, start, inside, perRequest, printCell, rc), rc, argv[0]);
}

// One object: "row R COLUMN = VALUE" lines.
int cmdWalkObject(Client& cl, const char* name, unsigned perRequest) {
  const IcscObjectDesc* d = object(name);
  if (d == nullptr)
    return USAGE;
  auto print = [d](const ICSCTlv& a) {
    unsigned col = icscoid::objectColumn(a.oid), row = icscoid::objectRow(a.oid);
    const char* column = col < d->columnCount ? d->columns[col].name : "?";
    if (a.status == OK)
      std::printf("row %u %s = %s\n", row, column, valueText(a).c_str());
    else
      std::printf("row %u %s: %s\n", row, column, statusText(a.status));
  };
  // From the last possible cell of the object before.
  uint32_t start = icscoid::object(d->id - 1, icscoid::MAX_COLUMN, icscoid::MAX_ROW);
  auto inside = [d](uint32_t oid) {
    return icscoid::isObject(oid) && icscoid::objectId(oid) == d->id;
  };
  int rc = SERVED;
  return walkResult(walkCells(cl, start, inside, perRequest, print, rc), rc, d->name);
}

// walk [--cells N] [OBJECT | common [NAME]]; argv[0] is "walk".
int cmdWalk(Client& cl, int argc, char** argv) {
  unsigned perRequest = 0;
  const char* const kWalkUsage = "usage: ./dev icsc walk [--cells 1-64] [OBJECT | common [NAME]]\n";
  int rc = simcli::parse(
      "icscctl", kWalkUsage, argc, argv, simcli::ANYWHERE,
      {{"cells", required_argument, nullptr, 'c'}}, [&](int, const char* arg) -> std::string {
        return simcli::integer(arg, 1, static_cast<long long>(MAX_CELLS), perRequest)
                   ? ""
                   : "--cells wants 1-64";
      });
  if (rc >= 0)
    return rc == 0 ? SERVED : USAGE;
  int rest = argc - optind;
  char** args = argv + optind;
  if (rest == 0)
    return walkResult(walkCells(
                          cl, 0, [](uint32_t) { return true; }, perRequest, printCell, rc),
                      rc, "nothing");
  if (std::strcmp(args[0], "common") == 0)
    return cmdWalkCommon(cl, rest - 1, args + 1, perRequest);
  if (rest != 1)
    return usage("walk [--cells N] [OBJECT | common [NAME]]");
  return cmdWalkObject(cl, args[0], perRequest);
}

// get common <object> [instance] [record]: without a record every record
// of the instance, one "label = value" line each.
int cmdCommon(Client& cl, bool set, int argc, char** argv) {
  const char* const form =
      set ? "set common NAME [INSTANCE] RECORD VALUE" : "get common NAME [INSTANCE] [RECORD]";
  if (argc < (set ? 3 : 1) || argc > (set ? 4 : 3))
    return usage(form);
  unsigned number = 0, instance = 0;
  const CommonDescriptorArray* a = commonObject(argv[0], number);
  if (a == nullptr)
    return USAGE;
  int at = 1;
  bool withInstance = set ? argc == 4 : (argc == 3 || (argc == 2 && isInstance(argv[1])));
  if (withInstance && !parseRow(argv[at++], instance))
    return usage(form);
  std::vector<const CommonPropertyDescriptor*> records;
  if (at < argc) {
    const CommonPropertyDescriptor* r = commondesc::findRecord(*a, argv[at]);
    if (r == nullptr) {
      std::fprintf(stderr, "icscctl: %s has no record %s; records:", a->name, argv[at]);
      for (size_t i = 0; i < a->count; ++i)
        std::fprintf(stderr, " %s", commondesc::key(a->records[i].label).c_str());
      std::fprintf(stderr, "\n");
      return USAGE;
    }
    records.push_back(r);
    ++at;
  } else {
    for (size_t i = 0; i < a->count; ++i)
      records.push_back(&a->records[i]);
  }
  std::vector<ICSCTlv> cells;
  for (const CommonPropertyDescriptor* r : records) {
    ICSCTlv c;
    c.oid = icscoid::common(number, r->propertyId, instance);
    if (set && !parseValue(commonrec::wireType(*r), argv[at], c)) {
      std::fprintf(stderr, "icscctl: %s is not a %s value for %s\n", argv[at],
                   icscTypeName(commonrec::wireType(*r)), commonrec::trimmedLabel(*r).c_str());
      return USAGE;
    }
    cells.push_back(c);
  }
  Header h;
  std::vector<ICSCTlv> out;
  int rc = cl.call(set ? SET : GET, cells, h, out);
  if (rc != SERVED)
    return rc;
  if (out.size() != cells.size()) {
    std::fprintf(stderr, "icscctl: %s refused: %s\n", a->name,
                 statusText(h.status != OK ? h.status : static_cast<uint8_t>(MALFORMED)));
    return REFUSED;
  }
  rc = SERVED;
  for (size_t i = 0; i < out.size(); ++i) {
    std::string label = commonrec::trimmedLabel(*records[i]);
    if (out[i].status != OK) {
      std::fprintf(stderr, "icscctl: %s %s refused: %s\n", commonName(cells[i].oid).c_str(),
                   set ? "write" : "read", statusText(out[i].status));
      rc = REFUSED;
    } else if (records.size() == 1) {
      std::printf("%s\n", valueText(out[i]).c_str());
    } else {
      std::printf("%s = %s\n", label.c_str(), commonValueText(out[i]).c_str());
    }
  }
  return rc;
}

int cmdEvent(Client& cl, int argc, char** argv) {
  unsigned table = 0, col = 0, row = 0;
  if (argc < 2 || argc > 3 || !parseRow(argv[0], table) || !parseRow(argv[1], col) ||
      (argc == 3 && !parseRow(argv[2], row)) || table > 0x3F || col > 0xFF || row > 0x3FFF)
    return usage("event TABLE COLUMN [ROW]");
  ICSCTlv cell;
  cell.oid = icscoid::event(table, col, row);
  Header h;
  std::vector<ICSCTlv> out;
  int rc = cl.call(GET, {cell}, h, out);
  if (rc != SERVED)
    return rc;
  uint8_t status = out.size() == 1 ? out[0].status : h.status;
  if (out.size() != 1 || status != OK) {
    std::fprintf(stderr, "icscctl: event table %u column %u row %u refused: %s\n", table, col, row,
                 statusText(status != OK ? status : static_cast<uint8_t>(MALFORMED)));
    return REFUSED;
  }
  std::printf("%s\n",
              out[0].type == IcscType::NONE ? "(served, no value)" : valueText(out[0]).c_str());
  return SERVED;
}

int cmdColumns(int argc, char** argv) {
  if (argc != 1)
    return usage("columns OBJECT");
  const IcscObjectDesc* d = object(argv[0]);
  if (d == nullptr)
    return USAGE;
  std::printf("%s: %s %u, %u rows\n", d->name, d->isTable ? "table" : "scalar", d->id, d->rows);
  for (unsigned c = 0; c < d->columnCount; ++c) {
    const IcscColumnDesc& col = d->columns[c];
    std::printf("%3u %-36s %-6s %s  %s\n", col.column, col.name, icscTypeName(col.type),
                col.access == IcscAccess::RW ? "rw" : "ro", col.symbol);
  }
  return SERVED;
}

int cmdObjects() {
  for (size_t i = 0; i < icscdesc::count(); ++i) {
    const IcscObjectDesc& d = *icscdesc::all()[i];
    std::printf("%2u %-40s %-6s rows %-2u columns %u\n", d.id, d.name,
                d.isTable ? "table" : "scalar", d.rows, d.columnCount);
  }
  return SERVED;
}

int cmdRaw(Client& cl, int argc, char** argv) {
  if (argc != 1)
    return usage("raw FILE");
  std::ifstream f(argv[0], std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "icscctl: cannot read %s\n", argv[0]);
    return USAGE;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
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
  std::printf("request %u op 0x%02x status %u (%s), %zu cells\n", h.requestId, h.op, h.status,
              statusText(h.status), cells.size());
  return h.status == OK ? SERVED : REFUSED;
}

}  // namespace

int main(int argc, char** argv) {
  Client cl;
  // Options end at the command; its own words may start with '-'.
  int rc = simcli::parse(
      "icscctl", kUsage, argc, argv, simcli::BEFORE_ARGUMENTS,
      {{"host", required_argument, nullptr, 'H'},
       {"port", required_argument, nullptr, 'p'},
       {"timeout", required_argument, nullptr, 't'}},
      [&](int c, const char* arg) -> std::string {
        if (c == 'H') {
          cl.host = arg;
          return "";
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
  int rest = argc - optind - 1;
  char** args = argv + optind + 1;
  if (cmd == "objects")
    return rest == 0 ? cmdObjects() : usage("objects takes no arguments");
  if (cmd == "columns")
    return cmdColumns(rest, args);
  if (cmd != "get" && cmd != "set" && cmd != "walk" && cmd != "event" && cmd != "raw")
    return usage("unknown command " + cmd);
  if (!cl.icsc.open(cl.host, cl.port)) {
    std::fprintf(stderr, "icscctl: cannot reach %s:%d: %s\n", cl.host.c_str(), cl.port,
                 std::strerror(errno));
    return NO_ANSWER;
  }
  bool common = rest > 0 && std::strcmp(args[0], "common") == 0;
  if ((cmd == "get" || cmd == "set") && common)
    return cmdCommon(cl, cmd == "set", rest - 1, args + 1);
  if (cmd == "get" || cmd == "set")
    return cmdGetSet(cl, cmd == "set", rest, args);
  if (cmd == "walk")
    return cmdWalk(cl, rest + 1, args - 1);
  if (cmd == "event")
    return cmdEvent(cl, rest, args);
  return cmdRaw(cl, rest, args);
}
