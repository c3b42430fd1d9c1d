// icscctl: reads and writes the card's ICSC objects through its UDP front
// end, by the names of the object descriptions.
//
//   icscctl [--host A] [--port N] [--timeout MS] get <Object> <column|property> [row]
//   icscctl ... set <Object> <column|property> <row> <value>
//   icscctl ... walk [<Object> | common [<object>]]   (no argument: everything)
//   icscctl ... get common <object> [instance] [record]
//   icscctl ... set common <object> [instance] <record> <value>
//   icscctl ... event <table> <column> [row]     (common event tables 0-3)
//   icscctl ... objects
//   icscctl ... raw <file>
//
// Exit: 0 served, 1 refused by the card (reason on stderr), 2 no answer,
// 3 bad usage.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/CommonPropertyDescriptor.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

using namespace icscwire;

namespace {

enum Exit { SERVED = 0, REFUSED = 1, NO_ANSWER = 2, USAGE = 3 };

struct Client {
  std::string host = "127.0.0.1";
  int port = 5000;
  int timeoutMs = 2000;
  int sock = -1;
  uint32_t nextId = static_cast<uint32_t>(getpid()) << 12;

  bool open() {
    sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return sock >= 0;
  }

  // Sends `bytes` and waits for a datagram; false on timeout.
  bool exchange(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& answer, uint32_t wantId,
                bool anyAnswer) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &to.sin_addr) != 1)
      return false;
    if (sendto(sock, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)) <
        0)
      return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0)
        return false;
      pollfd p{sock, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0)
        continue;
      answer.resize(65536);
      ssize_t n = recv(sock, answer.data(), answer.size(), 0);
      if (n < 0)
        continue;
      answer.resize(static_cast<size_t>(n));
      Header h;
      if (anyAnswer ||
          (decodeHeader(answer.data(), answer.size(), h) == Decode::OK && h.requestId == wantId))
        return true;
    }
  }

  // One request; Exit code, with the decoded answer.
  int call(uint8_t op, const std::vector<ICSCTlv>& cells, Header& h, std::vector<ICSCTlv>& out) {
    Header req;
    req.op = op;
    req.requestId = ++nextId;
    std::vector<uint8_t> bytes, answer;
    if (!encode(req, cells.data(), cells.size(), bytes)) {
      std::fprintf(stderr, "icscctl: request too big\n");
      return USAGE;
    }
    if (!exchange(bytes, answer, req.requestId, false)) {
      std::fprintf(stderr, "icscctl: no answer from %s:%d\n", host.c_str(), port);
      return NO_ANSWER;
    }
    Decode d = decode(answer.data(), answer.size(), h, out);
    if (d != Decode::OK) {
      std::fprintf(stderr, "icscctl: malformed answer: %s\n", decodeText(d));
      return REFUSED;
    }
    return SERVED;
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
  if (argc < (set ? 4 : 2) || argc > (set ? 4 : 3)) {
    std::fprintf(stderr,
                 "icscctl: usage: get <Object> <column> [row] | set <Object> <column> "
                 "<row> <value>\n");
    return USAGE;
  }
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

int cmdWalk(Client& cl, int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "icscctl: usage: walk [<Object> | common [<object>]]\n");
    return USAGE;
  }
  const IcscObjectDesc* d = object(argv[0]);
  if (d == nullptr)
    return USAGE;
  // The cell before the object's first one: the last possible of id - 1.
  ICSCTlv cell;
  cell.oid = icscoid::object(d->id - 1, icscoid::MAX_COLUMN, icscoid::MAX_ROW);
  unsigned cells = 0;
  for (unsigned guard = 0; guard < 100000; ++guard) {
    Header h;
    std::vector<ICSCTlv> out;
    int rc = cl.call(NEXT, {cell}, h, out);
    if (rc != SERVED)
      return rc;
    if (out.size() != 1 || out[0].status == END_OF_OBJECTS || !icscoid::isObject(out[0].oid) ||
        icscoid::objectId(out[0].oid) != d->id)
      break;
    unsigned col = icscoid::objectColumn(out[0].oid), row = icscoid::objectRow(out[0].oid);
    const char* name = col < d->columnCount ? d->columns[col].name : "?";
    if (out[0].status == OK)
      std::printf("row %u %s = %s\n", row, name, valueText(out[0]).c_str());
    else
      std::printf("row %u %s: %s\n", row, name, statusText(out[0].status));
    cell.oid = out[0].oid;
    ++cells;
  }
  if (cells == 0) {
    std::fprintf(stderr, "icscctl: %s is not served by the card\n", d->name);
    return REFUSED;
  }
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

// The GETLOG records carry codes: the walk names them.
std::string commonValueText(const ICSCTlv& c) {
  std::string v = valueText(c);
  if (icscoid::commonNumber(c.oid) == commonStatCtrl::CO_LOG_TRANSFER) {
    if (icscoid::commonRecord(c.oid) == commonrec::LOG_STATE)
      v += std::string(" (") + commonStatCtrl::getLogStateName(static_cast<uint32_t>(c.num)) + ")";
    if (icscoid::commonRecord(c.oid) == commonrec::LOG_RESULT)
      v += std::string(" (") + commonStatCtrl::getLogResultText(static_cast<uint32_t>(c.num)) + ")";
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

// NEXT from `start` while `inside` holds for the answer's OID; prints one
// line per cell. The number of cells, or -1 with the exit code in `rc`.
long walkCells(Client& cl, uint32_t start, bool (*inside)(uint32_t, unsigned), unsigned arg,
               int& rc) {
  ICSCTlv cell;
  cell.oid = start;
  long cells = 0;
  for (unsigned guard = 0; guard < 100000; ++guard) {
    Header h;
    std::vector<ICSCTlv> out;
    rc = cl.call(NEXT, {cell}, h, out);
    if (rc != SERVED)
      return -1;
    if (out.size() != 1 || out[0].status == END_OF_OBJECTS || !inside(out[0].oid, arg))
      break;
    const ICSCTlv& c = out[0];
    if (c.status == OK && c.type == IcscType::NONE)
      std::printf("%s: served, no value\n", cellName(c.oid).c_str());
    else if (c.status == OK)
      std::printf("%s = %s\n", cellName(c.oid).c_str(),
                  icscoid::isCommon(c.oid) ? commonValueText(c).c_str() : valueText(c).c_str());
    else
      std::printf("%s: %s\n", cellName(c.oid).c_str(), statusText(c.status));
    cell.oid = c.oid;
    ++cells;
  }
  return cells;
}

bool anyCell(uint32_t, unsigned) {
  return true;
}
bool anyCommonCell(uint32_t oid, unsigned) {
  return icscoid::isCommon(oid);
}
bool commonObjectCell(uint32_t oid, unsigned number) {
  return icscoid::isCommon(oid) && icscoid::commonNumber(oid) == number;
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

int cmdWalkCommon(Client& cl, int argc, char** argv) {
  int rc = SERVED;
  if (argc == 0)
    return walkResult(walkCells(cl, icscoid::common(0, 0, 0), anyCommonCell, 0, rc), rc, "common");
  if (argc != 1) {
    std::fprintf(stderr, "icscctl: usage: walk common [<object>]\n");
    return USAGE;
  }
  unsigned number = 0;
  if (commonObject(argv[0], number) == nullptr)
    return USAGE;
  // The cell before the object's first: the last possible of number - 1.
  uint32_t start = icscoid::common(number - 1, icscoid::MAX_COLUMN, icscoid::MAX_ROW);
  return walkResult(walkCells(cl, start, commonObjectCell, number, rc), rc, argv[0]);
}

int cmdWalkAll(Client& cl) {
  int rc = SERVED;
  return walkResult(walkCells(cl, 0, anyCell, 0, rc), rc, "nothing");
}

// get common <object> [instance] [record]: without a record every record
// of the instance, one "label = value" line each.
int cmdCommon(Client& cl, bool set, int argc, char** argv) {
  const char* usage =
      "icscctl: usage: get common <object> [instance] [record] | set common <object> "
      "[instance] <record> <value>\n";
  if (argc < (set ? 3 : 1) || argc > (set ? 4 : 3)) {
    std::fprintf(stderr, "%s", usage);
    return USAGE;
  }
  unsigned number = 0, instance = 0;
  const CommonDescriptorArray* a = commonObject(argv[0], number);
  if (a == nullptr)
    return USAGE;
  int at = 1;
  bool withInstance = set ? argc == 4 : (argc == 3 || (argc == 2 && isInstance(argv[1])));
  if (withInstance && !parseRow(argv[at++], instance)) {
    std::fprintf(stderr, "%s", usage);
    return USAGE;
  }
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
      (argc == 3 && !parseRow(argv[2], row)) || table > 0x3F || col > 0xFF || row > 0x3FFF) {
    std::fprintf(stderr, "icscctl: usage: event <table> <column> [row]\n");
    return USAGE;
  }
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

int cmdObjects() {
  for (size_t i = 0; i < icscdesc::count(); ++i) {
    const IcscObjectDesc& d = *icscdesc::all()[i];
    std::printf("%2u %-40s %-6s rows %-2u columns %u\n", d.id, d.name,
                d.isTable ? "table" : "scalar", d.rows, d.columnCount);
  }
  return SERVED;
}

int cmdRaw(Client& cl, int argc, char** argv) {
  if (argc != 1) {
    std::fprintf(stderr, "icscctl: usage: raw <file>\n");
    return USAGE;
  }
  std::ifstream f(argv[0], std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "icscctl: cannot read %s\n", argv[0]);
    return USAGE;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> answer;
  if (!cl.exchange(bytes, answer, 0, true)) {
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
  int i = 1;
  for (; i + 1 < argc && std::strncmp(argv[i], "--", 2) == 0; i += 2) {
    std::string a = argv[i];
    if (a == "--host")
      cl.host = argv[i + 1];
    else if (a == "--port")
      cl.port = std::atoi(argv[i + 1]);
    else if (a == "--timeout")
      cl.timeoutMs = std::atoi(argv[i + 1]);
    else {
      std::fprintf(stderr, "icscctl: unknown option %s\n", a.c_str());
      return USAGE;
    }
  }
  if (i >= argc) {
    std::fprintf(
        stderr,
        "usage: icscctl [--host A] [--port N] [--timeout MS] get|set|walk|event|objects|raw "
        "...\n");
    return USAGE;
  }
  std::string cmd = argv[i];
  int rest = argc - i - 1;
  char** args = argv + i + 1;
  if (cmd == "objects")
    return cmdObjects();
  if (!cl.open()) {
    std::fprintf(stderr, "icscctl: no socket: %s\n", std::strerror(errno));
    return NO_ANSWER;
  }
  bool common = rest > 0 && std::strcmp(args[0], "common") == 0;
  if ((cmd == "get" || cmd == "set") && common)
    return cmdCommon(cl, cmd == "set", rest - 1, args + 1);
  if (cmd == "get" || cmd == "set")
    return cmdGetSet(cl, cmd == "set", rest, args);
  if (cmd == "walk" && rest == 0)
    return cmdWalkAll(cl);
  if (cmd == "walk" && common)
    return cmdWalkCommon(cl, rest - 1, args + 1);
  if (cmd == "walk")
    return cmdWalk(cl, rest, args);
  if (cmd == "event")
    return cmdEvent(cl, rest, args);
  if (cmd == "raw")
    return cmdRaw(cl, rest, args);
  std::fprintf(stderr, "icscctl: unknown command %s\n", cmd.c_str());
  return USAGE;
}
