// The card's figures through the bench's UDP front end: GET and SET round
// trips of a velmora-mapped property, throughput with several requests
// outstanding, one walk of every object, main's memory and idle CPU.
//
//   bench_card [--port N] [--engine-log FILE] [--main-pid PID]
//              [--count N] [--seconds S] [--soak N] [--idle-seconds S]
//
// --engine-log: the engine's request log (one line per call), to count the
// engine calls of a phase. Prints result lines for ./dev bench-perf.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

using namespace icscwire;

namespace {

const char* const kObject = "TimersScalar";
const char* const kProperty = "OBJ_TIMERS_IPBXINTERDIGITDURATION";
constexpr int ANSWER_TIMEOUT_MS = 2000;

struct Options {
  int port = 5000;
  std::string engineLog;
  long mainPid = 0;
  bench::Bound bound{5000, 10.0};
  size_t soak = 100000;
  double idleSeconds = 30;
};

class Client {
 public:
  explicit Client(int port) {
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd < 0 || connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
      std::fprintf(stderr, "bench_card: cannot reach 127.0.0.1:%d: %s\n", port,
                   std::strerror(errno));
      std::exit(1);
    }
    m_answer.resize(65536);
  }
  ~Client() { close(m_fd); }

  // Sends one request with a fresh id; returns the id.
  uint32_t send(uint8_t op, const ICSCTlv& cell) {
    Header h;
    h.op = op;
    h.count = 1;
    h.requestId = ++m_nextId;
    if (!encode(h, &cell, 1, m_request)) {
      std::fprintf(stderr, "bench_card: request does not encode\n");
      std::exit(1);
    }
    if (::send(m_fd, m_request.data(), m_request.size(), 0) < 0) {
      std::fprintf(stderr, "bench_card: send: %s\n", std::strerror(errno));
      std::exit(1);
    }
    m_bytesOut += m_request.size();
    return h.requestId;
  }

  // Waits for any answer; false on timeout or a malformed answer.
  bool receive(Header& h, std::vector<ICSCTlv>& cells, int timeoutMs = ANSWER_TIMEOUT_MS) {
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) != 1)
      return false;
    ssize_t n = recv(m_fd, m_answer.data(), m_answer.size(), 0);
    if (n <= 0)
      return false;
    m_bytesIn += static_cast<size_t>(n);
    return decode(m_answer.data(), static_cast<size_t>(n), h, cells) == Decode::OK;
  }

  // One request, its answer; false when none came or it was refused.
  bool call(uint8_t op, const ICSCTlv& cell, ICSCTlv& out) {
    uint32_t id = send(op, cell);
    Header h;
    for (;;) {
      if (!receive(h, m_cells))
        return false;
      if (h.requestId == id)
        break;  // a late answer to an earlier request is skipped
    }
    if (m_cells.size() != 1)
      return false;
    out = m_cells[0];
    return h.status == OK;
  }

  size_t bytesOut() const { return m_bytesOut; }
  size_t bytesIn() const { return m_bytesIn; }

 private:
  int m_fd = -1;
  uint32_t m_nextId = static_cast<uint32_t>(getpid()) << 16;
  std::vector<uint8_t> m_request;
  std::vector<uint8_t> m_answer;
  std::vector<ICSCTlv> m_cells;
  size_t m_bytesOut = 0;
  size_t m_bytesIn = 0;
};

long countLines(const std::string& path) {
  if (path.empty())
    return -1;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return -1;
  long lines = 0;
  char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i)
      lines += buf[i] == '\n';
  }
  return lines;
}

// Engine calls between two counts; -1 when unknown (no log, or the log was
// restarted in between).
long engineCalls(long before, long after) {
  return before < 0 || after < before ? -1 : after - before;
}

long rssKb(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0)
      return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

// utime + stime of the process in clock ticks; -1 when unreadable.
long cpuTicks(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t close = all.rfind(')');
  if (close == std::string::npos)
    return -1;
  std::istringstream fields(all.substr(close + 2));
  std::string f;
  long utime = 0, stime = 0;
  // Fields after the name start at 3 (state); utime is 14, stime 15.
  for (int i = 3; i <= 15 && fields >> f; ++i) {
    if (i == 14)
      utime = std::atol(f.c_str());
    if (i == 15)
      stime = std::atol(f.c_str());
  }
  return utime + stime;
}

ICSCTlv getCell(uint32_t oid) {
  ICSCTlv c;
  c.oid = oid;
  return c;
}

void latency(Client& cl, const Options& o, const char* name, uint8_t op, const ICSCTlv& cell) {
  ICSCTlv out;
  long before = countLines(o.engineLog);
  bench::Samples s(o.bound.count);
  size_t failed = 0;
  uint64_t end = bench::nowNs() + static_cast<uint64_t>(o.bound.seconds * 1e9);
  for (size_t i = 0; i < o.bound.count; ++i) {
    uint64_t t0 = bench::nowNs();
    if (!cl.call(op, cell, out))
      ++failed;
    uint64_t t1 = bench::nowNs();
    s.add(t1 - t0);
    if (t1 > end)
      break;
  }
  long calls = engineCalls(before, countLines(o.engineLog));
  std::string perRequest = calls < 0 ? "n/a" : bench::fmt(double(calls) / double(s.count()), 2);
  bench::emit("card", name,
              {bench::fmt(s.medianUs()), bench::fmt(s.p99Us()), std::to_string(s.count()),
               std::to_string(failed), perRequest});
}

// Keeps `outstanding` GETs in flight until `total` answers have come or
// the time is up; returns requests per second, with the answers counted in
// `done`.
double throughput(Client& cl, uint32_t oid, unsigned outstanding, size_t total, double seconds,
                  size_t& failed, size_t& done) {
  ICSCTlv cell = getCell(oid);
  Header h;
  std::vector<ICSCTlv> cells;
  size_t sent = 0;
  done = 0;
  failed = 0;
  uint64_t t0 = bench::nowNs();
  uint64_t end = t0 + static_cast<uint64_t>(seconds * 1e9);
  for (; sent < outstanding && sent < total; ++sent)
    cl.send(GET, cell);
  while (done < total && bench::nowNs() < end) {
    if (!cl.receive(h, cells)) {
      // Lost or malformed: count it and keep the window full.
      ++failed;
      cl.send(GET, cell);
      continue;
    }
    ++done;
    if (h.status != OK)
      ++failed;
    if (sent < total) {
      cl.send(GET, cell);
      ++sent;
    }
  }
  double secs = double(bench::nowNs() - t0) / 1e9;
  // Drain what is still in flight so the next phase starts clean.
  while (cl.receive(h, cells, 200)) {
  }
  return double(done) / secs;
}

void walk(Client& cl, const Options& o) {
  long before = countLines(o.engineLog);
  size_t out0 = cl.bytesOut(), in0 = cl.bytesIn();
  ICSCTlv cell = getCell(0), answer;
  size_t cells = 0, refused = 0;
  uint64_t t0 = bench::nowNs();
  // Bounded: the card has at most 64 objects of 256 columns and 65536 rows.
  for (size_t i = 0; i < 200000; ++i) {
    uint32_t id = cl.send(NEXT, cell);
    Header h;
    std::vector<ICSCTlv> got;
    do {
      if (!cl.receive(h, got)) {
        std::fprintf(stderr, "bench_card: walk: no answer after %zu cells\n", cells);
        return;
      }
    } while (h.requestId != id);
    // The registered objects only: the common and event cells follow them.
    if (got.size() != 1 || got[0].status == END_OF_OBJECTS || !icscoid::isObject(got[0].oid))
      break;
    ++cells;
    refused += got[0].status != OK;
    cell = getCell(got[0].oid);
  }
  double ms = double(bench::nowNs() - t0) / 1e6;
  long calls = engineCalls(before, countLines(o.engineLog));
  bench::emit("card", "walk",
              {bench::fmt(ms), std::to_string(cells), calls < 0 ? "n/a" : std::to_string(calls),
               std::to_string(cl.bytesOut() - out0), std::to_string(cl.bytesIn() - in0),
               std::to_string(refused)});
}

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    const char* v = argv[i + 1];
    if (a == "--port")
      o.port = std::atoi(v);
    else if (a == "--engine-log")
      o.engineLog = v;
    else if (a == "--main-pid")
      o.mainPid = std::atol(v);
    else if (a == "--count")
      o.bound.count = std::strtoul(v, nullptr, 10);
    else if (a == "--seconds")
      o.bound.seconds = std::atof(v);
    else if (a == "--soak")
      o.soak = std::strtoul(v, nullptr, 10);
    else if (a == "--idle-seconds")
      o.idleSeconds = std::atof(v);
    else
      return false;
  }
  return argc % 2 == 1 && o.port > 0 && o.port < 65536 && o.bound.count > 0 &&
         o.bound.seconds > 0 && o.idleSeconds >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: bench_card [--port N] [--engine-log FILE] [--main-pid PID] [--count N]\n"
                 "                  [--seconds S] [--soak N] [--idle-seconds S]\n");
    return 2;
  }
  const IcscObjectDesc* obj = icscdesc::findByName(kObject);
  const IcscColumnDesc* col = obj ? icscdesc::findColumn(*obj, kProperty) : nullptr;
  if (col == nullptr) {
    std::fprintf(stderr, "bench_card: %s %s is not described\n", kObject, kProperty);
    return 1;
  }
  const uint32_t oid = icscoid::object(obj->id, col->column, 0);
  Client cl(o.port);

  ICSCTlv current;
  if (!cl.call(GET, getCell(oid), current)) {
    std::fprintf(stderr, "bench_card: the card does not answer a GET of %s\n", kProperty);
    return 1;
  }
  latency(cl, o, "get", GET, getCell(oid));
  // Writing back the value it has keeps the engine's configuration as it was.
  ICSCTlv set = getCell(oid);
  set.setNumber(col->type, current.num);
  latency(cl, o, "set", SET, set);

  for (unsigned k : {1u, 4u, 16u}) {
    size_t failed = 0, done = 0;
    double rps = throughput(cl, oid, k, o.bound.count * 2, o.bound.seconds, failed, done);
    bench::emit("card", "rps" + std::to_string(k), {bench::fmt(rps, 0), std::to_string(failed)});
  }
  walk(cl, o);

  if (o.mainPid > 0) {
    long before = rssKb(o.mainPid);
    size_t failed = 0, served = 0;
    // At most 120 s, whatever the card's speed.
    throughput(cl, oid, 16, o.soak, 120.0, failed, served);
    long after = rssKb(o.mainPid);
    bench::emit("card", "rss",
                {std::to_string(before), std::to_string(after), std::to_string(served),
                 std::to_string(failed)});
    if (o.idleSeconds > 0) {
      long ticks0 = cpuTicks(o.mainPid);
      uint64_t i0 = bench::nowNs();
      usleep(static_cast<useconds_t>(o.idleSeconds * 1e6));
      long ticks1 = cpuTicks(o.mainPid);
      double wall = double(bench::nowNs() - i0) / 1e9;
      double pct = 100.0 * double(ticks1 - ticks0) / double(sysconf(_SC_CLK_TCK)) / wall;
      bench::emit("card", "idlecpu", {bench::fmt(pct, 2), bench::fmt(wall, 0)});
    }
  }
  return 0;
}
