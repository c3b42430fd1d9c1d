// Times one full walk of every registered object through icscctl and counts
// the engine calls it causes, then measures the round trip of single GETs of
// a velmora-mapped property through the front end. Starts velmora, main and
// udpfe from its own directory; runs only inside private namespaces
// (./dev bench-walk uses tests/nsrun).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "SimCli.h"
#include "icsc/IcscClient.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

extern char** environ;

using namespace icscwire;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPort = UDP_PORT;
constexpr const char* kEngineLog = "/tmp/bench-walk-velmora.log";
constexpr uint32_t kTimersScalar = 43;
constexpr unsigned kInterdigitColumn = 3;
constexpr int kReplyTimeoutMs = 2000;
constexpr auto kStartDeadline = std::chrono::seconds(20);

std::string g_binDir;

pid_t spawn(const std::vector<std::string>& args, bool quiet) {
  std::vector<char*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (quiet)
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

int waitFor(pid_t pid) {
  int st = 0;
  if (pid <= 0 || waitpid(pid, &st, 0) != pid)
    return -1;
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

void stop(pid_t pid) {
  if (pid <= 0)
    return;
  kill(pid, SIGTERM);
  waitFor(pid);
}

// One GET on the front end; true when answered OK within the timeout.
bool get(IcscClient& client, uint32_t oid) {
  ICSCTlv cell;
  cell.oid = oid;
  Header h;
  std::vector<ICSCTlv> out;
  return client.call(GET, {cell}, kReplyTimeoutMs, h, out) == IcscClient::Result::ANSWERED &&
         h.status == OK && out.size() == 1 && out[0].status == OK;
}

size_t engineGets() {
  std::ifstream in(kEngineLog);
  size_t n = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("velmora: get ", 0) == 0)
      ++n;
  }
  return n;
}

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

int run(int gets, const std::string& perRequest) {
  pid_t velmora =
      spawn({g_binDir + "/velmora", "--socket", "/tmp/velmora.sock", "--log", kEngineLog}, false);
  pid_t card = spawn({g_binDir + "/main"}, false);
  pid_t udpfe = spawn({g_binDir + "/udpfe", "--port", std::to_string(kPort)}, false);
  auto cleanup = [&] {
    stop(udpfe);
    stop(card);
    stop(velmora);
  };
  IcscClient client;
  if (!client.open("127.0.0.1", kPort)) {
    std::fprintf(stderr, "bench-walk: no socket: %s\n", std::strerror(errno));
    cleanup();
    return 1;
  }
  const uint32_t oid = icscoid::object(kTimersScalar, kInterdigitColumn, 0);
  auto deadline = Clock::now() + kStartDeadline;
  while (!get(client, oid)) {
    if (Clock::now() > deadline) {
      std::fprintf(stderr, "bench-walk: the card did not answer within 20 s\n");
      cleanup();
      return 1;
    }
  }

  size_t cells = 0;
  size_t before = engineGets();
  bool walkOk = true;
  auto t0 = Clock::now();
  for (size_t i = 0; i < icscdesc::count(); ++i) {
    const IcscObjectDesc& d = *icscdesc::all()[i];
    cells += static_cast<size_t>(d.rows) * d.columnCount;
    std::vector<std::string> args{g_binDir + "/icscctl", "--port", std::to_string(kPort), "walk"};
    if (!perRequest.empty())
      args.insert(args.end(), {"--cells", perRequest});
    args.push_back(d.name);
    pid_t p = spawn(args, true);
    if (waitFor(p) != 0) {
      std::fprintf(stderr, "bench-walk: walk of %s failed\n", d.name);
      walkOk = false;
    }
  }
  auto walkTime = Clock::now() - t0;
  size_t calls = engineGets() - before;

  std::vector<double> rtt;
  rtt.reserve(static_cast<size_t>(gets));
  int failed = 0;
  for (int i = 0; i < gets; ++i) {
    auto s = Clock::now();
    if (!get(client, oid)) {
      ++failed;
      continue;
    }
    rtt.push_back(ms(Clock::now() - s) * 1000.0);
  }
  cleanup();
  std::sort(rtt.begin(), rtt.end());

  std::printf("full walk (icscctl walk of %zu objects; cells a request: %s)\n", icscdesc::count(),
              perRequest.empty() ? "as many as fit" : perRequest.c_str());
  std::printf("  cells            %zu\n", cells);
  std::printf("  time             %.1f ms\n", ms(walkTime));
  std::printf("  engine gets      %zu (%.3f per cell)\n", calls,
              cells ? static_cast<double>(calls) / static_cast<double>(cells) : 0.0);
  std::printf("single GET of TimersScalar column 3 (%d requests, %d failed)\n", gets, failed);
  if (!rtt.empty()) {
    std::printf("  median           %.1f us\n", rtt[rtt.size() / 2]);
    std::printf("  p99              %.1f us\n", rtt[rtt.size() * 99 / 100]);
  }
  return walkOk && failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int gets = 1000;
  unsigned cellsPerRequest = 0;
  const char usage[] = "usage: bench_walk [--gets N] [--cells N]\n";
  int rc = simcli::parse(
      "bench_walk", usage, argc, argv, simcli::ANYWHERE,
      {{"gets", required_argument, nullptr, 'g'}, {"cells", required_argument, nullptr, 'c'}},
      [&](int c, const char* arg) -> std::string {
        if (c == 'g')
          return simcli::integer(arg, 1, 100000, gets) ? "" : "--gets wants 1-100000";
        return simcli::integer(arg, 1, 64, cellsPerRequest) ? "" : "--cells wants 1-64";
      });
  if (rc >= 0)
    return rc;
  if (optind != argc)
    return simcli::badUsage("bench_walk", "unexpected argument", usage);
  const char* inNs = std::getenv("FXS_IN_NS");
  if (inNs == nullptr || std::strcmp(inNs, "1") != 0) {
    std::fprintf(stderr, "bench-walk: refusing to run outside private namespaces (tests/nsrun)\n");
    return 2;
  }
  std::string self = argv[0];
  size_t slash = self.rfind('/');
  g_binDir = slash == std::string::npos ? "." : self.substr(0, slash);
  return run(gets, cellsPerRequest > 0 ? std::to_string(cellsPerRequest) : "");
}
