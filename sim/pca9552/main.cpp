// Stand-in for the pca9552 LED driver process on the bench. Binds
// "/tmp/pca9552DriverServer", answers each request with reply 7 on the
// queue the request names, and shows the front panel built from what it
// was told to drive.
//
//   sim_pca9552 [--silent] [--fail-selftest] [--absent]
//               [--panel tty|log|none] [--icsc PORT]
#include <arpa/inet.h>
#include <fcntl.h>
#include <mqueue.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "CardStatusIcsc.h"
#include "FrontPanel.h"
#include "drivermsg/pca9552Wire.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void onSignal(int) {
  g_stop = 1;
}

struct Options {
  bool silent = false;
  bool failSelfTest = false;
  bool absent = false;
  std::string panel = "log";
  int icscPort = 5000;  // the card's UDP front end, for state and alarms
  std::string socketPath = "/tmp/pca9552DriverServer";
};

bool parseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--silent")
      o.silent = true;
    else if (a == "--fail-selftest")
      o.failSelfTest = true;
    else if (a == "--absent")
      o.absent = true;
    else if (a == "--panel" && i + 1 < argc)
      o.panel = argv[++i];
    else if (a == "--icsc" && i + 1 < argc)
      o.icscPort = std::atoi(argv[++i]);
    else if (a == "--socket" && i + 1 < argc)
      o.socketPath = argv[++i];
    else
      return false;
  }
  return o.panel == "tty" || o.panel == "log" || o.panel == "none";
}

void reply(const pca9552::Pca9552Request& req, uint16_t result) {
  pca9552::Pca9552Reply r;
  r.msgId = req.replyMsgId;
  r.command = static_cast<uint16_t>(req.command + 1);
  r.deviceId = req.deviceId;
  r.pinMask = req.pinMask;
  r.result = result;
  r.value = req.value;
  auto bytes = pca9552::encodeReply(r);
  mqd_t q = mq_open(req.replyQueue.c_str(), O_WRONLY | O_NONBLOCK);
  if (q == static_cast<mqd_t>(-1)) {
    std::fprintf(stderr, "sim_pca9552: cannot open reply queue %s: %s\n", req.replyQueue.c_str(),
                 std::strerror(errno));
    return;
  }
  if (mq_send(q, reinterpret_cast<const char*>(bytes.data()), bytes.size(), 0) != 0)
    std::fprintf(stderr, "sim_pca9552: reply to %s lost: %s\n", req.replyQueue.c_str(),
                 std::strerror(errno));
  mq_close(q);
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!parseOptions(argc, argv, opt)) {
    std::fprintf(stderr,
                 "usage: sim_pca9552 [--silent] [--fail-selftest] [--absent] "
                 "[--panel tty|log|none] [--icsc PORT] [--socket PATH]\n");
    return 2;
  }
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);
  setvbuf(stdout, nullptr, _IOLBF, 0);

  int fd = -1;
  if (!opt.absent) {
    fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, opt.socketPath.c_str(), sizeof addr.sun_path - 1);
    unlink(opt.socketPath.c_str());
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      std::fprintf(stderr, "sim_pca9552: cannot bind %s: %s\n", opt.socketPath.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }
  std::printf("sim_pca9552: %s%s%s\n", opt.absent ? "absent (not listening)" : "listening",
              opt.silent ? ", silent" : "", opt.failSelfTest ? ", failing self test" : "");

  FrontPanel panel;
  std::string state = "?";
  std::string lastLine;
  unsigned phase = 0;
  auto nextQuery = std::chrono::steady_clock::now();
  while (!g_stop) {
    pollfd p{fd, POLLIN, 0};
    int ready = poll(&p, fd >= 0 ? 1 : 0, 125);
    if (ready > 0 && (p.revents & POLLIN)) {
      uint8_t buf[256];
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      auto req = n > 0 ? pca9552::decodeRequest(buf, static_cast<size_t>(n)) : std::nullopt;
      if (!req) {
        std::fprintf(stderr, "sim_pca9552: dropped %zd-byte request (want %zu)\n", n,
                     pca9552::REQUEST_SIZE);
      } else {
        panel.apply(*req);
        if (!opt.silent) {
          bool selfTest = req->command == pca9552::DoSelfTestsOnAllDevicesRequest;
          reply(*req, selfTest && opt.failSelfTest ? 1 : 0);
        }
      }
    }
    auto now = std::chrono::steady_clock::now();
    if (opt.panel != "none" && now >= nextQuery) {
      CardStatus status = queryCardStatus("127.0.0.1", opt.icscPort, 300);
      state = status.state;
      panel.setAlarms(status.alarms);
      nextQuery = now + std::chrono::milliseconds(500);
    }
    ++phase;
    if (opt.panel == "tty") {
      std::printf("\033[H\033[2J%s", panel.drawing(state, phase).c_str());
      std::fflush(stdout);
    } else if (opt.panel == "log") {
      std::string l = panel.line(state);
      if (l != lastLine) {
        std::printf("%s\n", l.c_str());
        lastLine = l;
      }
    }
  }
  if (fd >= 0) {
    close(fd);
    unlink(opt.socketPath.c_str());
  }
  return 0;
}
