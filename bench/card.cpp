// The card's figures through the bench's UDP front end: GET and SET round
// trips of a velmora-mapped property, throughput with several requests
// outstanding and main's CPU time per request, a walk of the whole card one
// cell per request and in batches, main's memory and idle CPU.
//
//   bench_card [--port N] [--engine-log FILE] [--main-pid PID]
//              [--count N] [--seconds S] [--soak N] [--idle-seconds S]
//   bench_card --startup MAIN [--port N]
//
// --engine-log: the engine's request log (one line per call), to count the
// engine calls of a phase. --startup starts MAIN (the bench's own main
// stopped) and times its first ICSC answer and its reaching ACTIVE, then
// stops it. Prints result lines for ./dev bench-perf.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "IcscWalk.h"
#include "SimCli.h"
#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscClient.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

extern char** environ;

using namespace icscwire;

namespace {

const char* const kObject = "TimersScalar";
const char* const kProperty = "OBJ_TIMERS_IPBXINTERDIGITDURATION";
constexpr int ANSWER_TIMEOUT_MS = 2000;

struct Options {
  std::string startMain;  // --startup
  int port = UDP_PORT;
  std::string engineLog;
  long mainPid = 0;
  bench::Bound bound{5000, 10.0};
  size_t soak = 100000;
  double idleSeconds = 30;
};

// The front end's client; a request that cannot be sent ends the run.
class Client {
 public:
  explicit Client(int port) {
    if (!m_icsc.open("127.0.0.1", port)) {
      std::fprintf(stderr, "bench_card: cannot reach 127.0.0.1:%d: %s\n", port,
                   std::strerror(errno));
      std::exit(1);
    }
  }

  // Sends one request with a fresh id; returns the id.
  uint32_t send(uint8_t op, const ICSCTlv& cell) {
    uint32_t id = 0;
    if (!m_icsc.send(op, &cell, 1, id)) {
      std::fprintf(stderr, "bench_card: send: %s\n", std::strerror(errno));
      std::exit(1);
    }
    return id;
  }

  // Waits for any answer; false on timeout.
  bool receive(Header& h, std::vector<ICSCTlv>& cells, int timeoutMs) {
    return m_icsc.receive(timeoutMs, h, cells);
  }

  // One request, its answer; false when none came or it was refused.
  bool call(uint8_t op, const ICSCTlv& cell, ICSCTlv& out) {
    Header h;
    if (!exchange(op, {cell}, h, m_cells) || m_cells.size() != 1)
      return false;
    out = m_cells[0];
    return h.status == OK;
  }

  // One request of several cells and its answer (later answers to
  // earlier requests skipped); false when none came.
  bool exchange(uint8_t op, const std::vector<ICSCTlv>& cells, Header& h, std::vector<ICSCTlv>& out,
                int timeoutMs = ANSWER_TIMEOUT_MS) {
    return m_icsc.call(op, cells, timeoutMs, h, out) == IcscClient::Result::ANSWERED;
  }

  size_t bytesOut() const { return m_icsc.bytesSent(); }
  size_t bytesIn() const { return m_icsc.bytesReceived(); }

 private:
  IcscClient m_icsc;
  std::vector<ICSCTlv> m_cells;
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

// Keeps `outstanding` GETs in flight until `bound` is reached; answers
// that say anything but OK count as failed.
bench::Throughput throughput(Client& cl, uint32_t oid, unsigned outstanding,
                             const bench::Bound& bound, size_t& failed) {
  ICSCTlv cell = getCell(oid);
  Header h;
  std::vector<ICSCTlv> cells;
  failed = 0;
  return bench::keepOutstanding(
      outstanding, bound, [&] { cl.send(GET, cell); },
      [&](int timeoutMs) {
        if (!cl.receive(h, cells, timeoutMs))
          return false;
        failed += h.status != OK;
        return true;
      });
}

struct WalkRun {
  bool ok = false;
  double ms = 0;
  icscwalk::Stats st;
  long calls = -1;
  size_t bytesOut = 0, bytesIn = 0, refused = 0;
};

// One walk of every cell of the registered objects (the common and event
// cells follow them), `perRequest` cells a request (0: as many as fit).
WalkRun walkOnce(Client& cl, const Options& o, unsigned perRequest) {
  WalkRun w;
  long before = countLines(o.engineLog);
  size_t out0 = cl.bytesOut(), in0 = cl.bytesIn();
  uint64_t t0 = bench::nowNs();
  icscwalk::Result r = icscwalk::walk(
      0, [](uint32_t oid) { return icscoid::isObject(oid); }, perRequest,
      [&cl](uint8_t op, const std::vector<ICSCTlv>& req, Header& h, std::vector<ICSCTlv>& out) {
        return cl.exchange(op, req, h, out);
      },
      [&w](const ICSCTlv& c) { w.refused += c.status != OK; }, &w.st);
  w.ms = double(bench::nowNs() - t0) / 1e6;
  w.ok = r == icscwalk::Result::DONE;
  if (!w.ok)
    std::fprintf(stderr, "bench_card: walk stopped after %zu cells\n", w.st.cells);
  w.calls = engineCalls(before, countLines(o.engineLog));
  w.bytesOut = cl.bytesOut() - out0;
  w.bytesIn = cl.bytesIn() - in0;
  return w;
}

// Both walks three times, taking turns so that both meet the same load on
// a shared machine; each reported by its median run.
void walks(Client& cl, const Options& o) {
  std::vector<WalkRun> runs[2];
  for (int i = 0; i < 3; ++i) {
    runs[0].push_back(walkOnce(cl, o, 1));
    runs[1].push_back(walkOnce(cl, o, 0));
  }
  const char* const names[2] = {"walk", "bulkwalk"};
  for (int k = 0; k < 2; ++k) {
    std::vector<WalkRun>& v = runs[k];
    if (!std::all_of(v.begin(), v.end(), [](const WalkRun& w) { return w.ok; }))
      continue;
    std::sort(v.begin(), v.end(), [](const WalkRun& a, const WalkRun& b) { return a.ms < b.ms; });
    const WalkRun& w = v[1];
    bench::emit(
        "card", names[k],
        {bench::fmt(w.ms), std::to_string(w.st.cells),
         w.calls < 0 ? "n/a" : std::to_string(w.calls), std::to_string(w.bytesOut),
         std::to_string(w.bytesIn), std::to_string(w.refused), std::to_string(w.st.requests)});
  }
}

// The card state as the common card-state object serves it; "" when
// there is no answer.
std::string cardState(Client& cl) {
  ICSCTlv cell =
      getCell(icscoid::common(commonStatCtrl::CO_CARD_STATE, commonrec::CARDSTATE_NAME, 0));
  Header h;
  std::vector<ICSCTlv> out;
  if (!cl.exchange(GET, {cell}, h, out, 200) || out.size() != 1 || out[0].status != OK)
    return "";
  return out[0].str;
}

// Starts main and times its first answer and its way to ACTIVE.
int startup(const Options& o, uint32_t oid) {
  Client cl(o.port);
  std::vector<char*> argv{const_cast<char*>(o.startMain.c_str()), nullptr};
  // Its output goes to stderr: stdout carries the result lines.
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, STDERR_FILENO, STDOUT_FILENO);
  pid_t pid = -1;
  uint64_t t0 = bench::nowNs();
  int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) {
    std::fprintf(stderr, "bench_card: cannot start %s\n", argv[0]);
    return 1;
  }
  double firstMs = -1, activeMs = -1;
  Header h;
  std::vector<ICSCTlv> out;
  // Asked every 2 ms: the figure's resolution. At most 30 s.
  while (bench::nowNs() - t0 < 30000000000ull) {
    if (firstMs < 0 && cl.exchange(GET, {getCell(oid)}, h, out, 2))
      firstMs = double(bench::nowNs() - t0) / 1e6;
    if (firstMs >= 0 && cardState(cl) == "ACTIVE") {
      activeMs = double(bench::nowNs() - t0) / 1e6;
      break;
    }
    if (firstMs >= 0)
      usleep(20000);
  }
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  bench::emit("card", "startup", {bench::fmt(firstMs), bench::fmt(activeMs)});
  return firstMs < 0 ? 1 : 0;
}

const char kUsage[] =
    "usage: bench_card [--port N] [--engine-log FILE] [--main-pid PID] [--count N]\n"
    "                  [--seconds S] [--soak N] [--idle-seconds S]\n"
    "       bench_card --startup MAIN [--port N]\n";

// -1 to go on, else the exit status.
int parse(int argc, char** argv, Options& o) {
  int rc = simcli::parse(
      "bench_card", kUsage, argc, argv, simcli::ANYWHERE,
      {{"port", required_argument, nullptr, 'p'},
       {"engine-log", required_argument, nullptr, 'e'},
       {"main-pid", required_argument, nullptr, 'm'},
       {"count", required_argument, nullptr, 'c'},
       {"seconds", required_argument, nullptr, 's'},
       {"soak", required_argument, nullptr, 'k'},
       {"idle-seconds", required_argument, nullptr, 'i'},
       {"startup", required_argument, nullptr, 'S'}},
      [&o](int c, const char* arg) -> std::string {
        switch (c) {
          case 'p':
            return simcli::integer(arg, 1, 65535, o.port) ? "" : "--port wants 1-65535";
          case 'e':
            o.engineLog = arg;
            return "";
          case 'm':
            return simcli::integer(arg, 1, 0x7FFFFFFF, o.mainPid) ? "" : "--main-pid wants a pid";
          case 'c':
            return simcli::integer(arg, 1, 100000000, o.bound.count) ? ""
                                                                     : "--count wants 1 or more";
          case 's':
            return simcli::decimal(arg, 0.1, 3600, o.bound.seconds) ? ""
                                                                    : "--seconds wants 0.1-3600";
          case 'k':
            return simcli::integer(arg, 0, 100000000, o.soak) ? "" : "--soak wants a count";
          case 'i':
            return simcli::decimal(arg, 0, 3600, o.idleSeconds) ? ""
                                                                : "--idle-seconds wants 0-3600";
          default:
            o.startMain = arg;
            return "";
        }
      });
  if (rc < 0 && optind != argc)
    return simcli::badUsage("bench_card", "unexpected argument", kUsage);
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (int rc = parse(argc, argv, o); rc >= 0)
    return rc;
  const IcscObjectDesc* obj = icscdesc::findByName(kObject);
  const IcscColumnDesc* col = obj ? icscdesc::findColumn(*obj, kProperty) : nullptr;
  if (col == nullptr) {
    std::fprintf(stderr, "bench_card: %s %s is not described\n", kObject, kProperty);
    return 1;
  }
  const uint32_t oid = icscoid::object(obj->id, col->column, 0);
  if (!o.startMain.empty())
    return startup(o, oid);
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
    size_t failed = 0;
    int64_t cpu0 = o.mainPid > 0 ? bench::cpuNs(static_cast<int>(o.mainPid)) : -1;
    bench::Throughput t = throughput(cl, oid, k, {o.bound.count * 2, o.bound.seconds}, failed);
    int64_t cpu1 = o.mainPid > 0 ? bench::cpuNs(static_cast<int>(o.mainPid)) : -1;
    bench::emit("card", "rps" + std::to_string(k),
                {bench::fmt(t.perSecond, 0), std::to_string(failed + t.lost)});
    if (k == 16 && cpu0 >= 0 && cpu1 >= 0 && t.done > 0)
      bench::emit(
          "card", "cpu",
          {bench::fmt(double(cpu1 - cpu0) / 1000.0 / double(t.done), 2), std::to_string(t.done)});
  }
  walks(cl, o);

  if (o.mainPid > 0) {
    long before = rssKb(o.mainPid);
    size_t failed = 0;
    // At most 120 s, whatever the card's speed.
    bench::Throughput t = throughput(cl, oid, 16, {o.soak, 120.0}, failed);
    long after = rssKb(o.mainPid);
    bench::emit("card", "rss",
                {std::to_string(before), std::to_string(after), std::to_string(t.done),
                 std::to_string(failed + t.lost)});
    if (o.idleSeconds > 0) {
      int64_t cpu0 = bench::cpuNs(static_cast<int>(o.mainPid));
      uint64_t i0 = bench::nowNs();
      usleep(static_cast<useconds_t>(o.idleSeconds * 1e6));
      int64_t cpu1 = bench::cpuNs(static_cast<int>(o.mainPid));
      double wall = double(bench::nowNs() - i0) / 1e9;
      double pct = 100.0 * double(cpu1 - cpu0) / 1e9 / wall;
      bench::emit("card", "idlecpu", {bench::fmt(pct, 3), bench::fmt(wall, 0)});
    }
  }
  return 0;
}
