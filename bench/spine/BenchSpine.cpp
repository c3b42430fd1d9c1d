// Latency of the paths the controller's spine offers: a console command
// over TCP loopback, a message through a POSIX queue, and the tokenizer of
// message 900. Prints one line per measurement.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Ifc.h"
#include "debug/Odebug.h"
#include "mq/MessageQueue.h"

namespace {

using Clock = std::chrono::steady_clock;

void report(const char* what, std::vector<double>& us) {
  std::sort(us.begin(), us.end());
  auto at = [&](double q) {
    return us[static_cast<size_t>(q * static_cast<double>(us.size() - 1))];
  };
  std::printf("%-34s n=%-6zu p50=%8.1f us  p99=%8.1f us  max=%8.1f us\n", what, us.size(), at(0.5),
              at(0.99), us.back());
}

class Echo : public Odebug::CdebugCommand {
 public:
  explicit Echo(Odebug::Cdebugable* g) : CdebugCommand(g, "echo", nullptr) {}
  void command(unsigned argc, char* const* argv, std::ostringstream& os, void*) override {
    for (unsigned i = 0; i < argc; ++i)
      os << argv[i] << "\n";
  }
};

void consoleRoundTrip(unsigned n) {
  Odebug::Cdebugable group("perf");
  Echo echo(&group);
  Odebug::CdebugServer server(0);
  if (!server.start())
    return;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(server.port());
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
    return;
  char buf[4096];
  std::string in;
  while (in.find('\n') == std::string::npos) {
    ssize_t r = recv(fd, buf, sizeof buf, 0);
    if (r <= 0)
      return;
    in.append(buf, static_cast<size_t>(r));
  }
  std::vector<double> us;
  const std::string line = "perf echo hello\n";
  for (unsigned i = 0; i < n; ++i) {
    auto t0 = Clock::now();
    send(fd, line.data(), line.size(), 0);
    in.clear();
    while (in.find("#END") == std::string::npos || in.back() != '\n') {
      ssize_t r = recv(fd, buf, sizeof buf, 0);
      if (r <= 0)
        return;
      in.append(buf, static_cast<size_t>(r));
    }
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  close(fd);
  report("console command round trip", us);
}

void queueRoundTrip(unsigned n) {
  MessageQueue q("/perfQueue", 2000, 30);
  if (!q.isOpen())
    return;
  char msg[2000] = {};
  char buf[2000];
  std::vector<double> us;
  for (unsigned i = 0; i < n; ++i) {
    auto t0 = Clock::now();
    q.send(msg, sizeof msg);
    q.receive(buf, sizeof buf);
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  report("2000-byte queue send+receive", us);
}

void tokenizer(unsigned n) {
  char tokens[Ifc::kDbgMaxTokens][Ifc::kDbgTokenSize];
  std::string text = "main internals " + std::string(1900, 'x') + " a b c d e f";
  std::vector<double> us;
  unsigned total = 0;
  for (unsigned i = 0; i < n; ++i) {
    auto t0 = Clock::now();
    total += Ifc::tokenizeDbgCommand(text.c_str(), tokens);
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  report("message 900 tokenizer (2 KB line)", us);
  if (total == 0)
    std::printf("tokenizer produced nothing\n");
}

}  // namespace

int main() {
  consoleRoundTrip(2000);
  queueRoundTrip(20000);
  tokenizer(20000);
  return 0;
}
