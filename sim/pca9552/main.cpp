// Stand-in for the pca9552 LED driver process on the bench. Binds
// "/tmp/pca9552DriverServer", answers each request with reply 7 on the
// queue the request names, and shows the front panel built from what it
// was told to drive.
//
//   sim_pca9552 [--silent] [--fail-selftest] [--absent]
//               [--panel tty|log|none] [--icsc PORT]
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "CardStatusIcsc.h"
#include "FrontPanel.h"
#include "SimCli.h"
#include "SimLog.h"
#include "SimQueue.h"
#include "SimSocket.h"
#include "SimStop.h"
#include "drivermsg/pca9552Wire.h"
#include "icsc/IcscWire.h"

namespace {

const char kUsage[] =
    "usage: sim_pca9552 [--silent] [--fail-selftest] [--absent] [--panel tty|log|none]\n"
    "                   [--icsc PORT] [--socket PATH]\n"
    "  --silent          take requests, answer none\n"
    "  --fail-selftest   answer the self test with 'failed'\n"
    "  --absent          do not listen at all\n"
    "  --panel MODE      draw the front panel on the terminal (tty), as a log line\n"
    "                    per change (log, the default) or not at all (none)\n"
    "  --icsc PORT       the card's UDP front end, for its state and alarms (5000)\n"
    "  --socket PATH     where to listen (default /tmp/pca9552DriverServer)\n";

struct Options {
  bool silent = false;
  bool failSelfTest = false;
  bool absent = false;
  std::string panel = "log";
  int icscPort = icscwire::UDP_PORT;  // the card's UDP front end, for state and alarms
  std::string socketPath = pca9552::DRIVER_SOCKET_PATH;
};

// -1 to go on, else the exit status.
int parseOptions(int argc, char** argv, Options& o) {
  int rc = simcli::parse(
      "sim_pca9552", kUsage, argc, argv, simcli::ANYWHERE,
      {{"silent", no_argument, nullptr, 's'},
       {"fail-selftest", no_argument, nullptr, 'f'},
       {"absent", no_argument, nullptr, 'a'},
       {"panel", required_argument, nullptr, 'p'},
       {"icsc", required_argument, nullptr, 'c'},
       {"socket", required_argument, nullptr, 'S'}},
      [&](int c, const char* arg) -> std::string {
        switch (c) {
          case 's':
            o.silent = true;
            return "";
          case 'f':
            o.failSelfTest = true;
            return "";
          case 'a':
            o.absent = true;
            return "";
          case 'p':
            o.panel = arg;
            return o.panel == "tty" || o.panel == "log" || o.panel == "none"
                       ? ""
                       : "--panel wants tty, log or none";
          case 'c':
            return simcli::integer(arg, 1, 65535, o.icscPort) ? "" : "--icsc wants a port";
          default:
            o.socketPath = arg;
            return "";
        }
      });
  if (rc < 0 && optind != argc)
    return simcli::badUsage("sim_pca9552", "unexpected argument", kUsage);
  return rc;
}

// As a driver on the card, a reply that finds the queue full waits for room.
void reply(simqueue::CardQueueSender& sender, const pca9552::Pca9552Request& req, uint16_t result) {
  pca9552::Pca9552Reply r;
  r.msgId = req.replyMsgId;
  r.command = static_cast<uint16_t>(req.command + 1);
  r.deviceId = req.deviceId;
  r.pinMask = req.pinMask;
  r.result = result;
  r.value = req.value;
  auto bytes = pca9552::encodeReply(r);
  sender.send(req.replyQueue, bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (int rc = parseOptions(argc, argv, opt); rc >= 0)
    return rc;
  simstop::onTermination();
  setvbuf(stdout, nullptr, _IOLBF, 0);

  int fd = -1;
  if (!opt.absent) {
    fd = simsocket::serveUnix(opt.socketPath, SOCK_DGRAM);
    if (fd < 0) {
      simlog::line("sim_pca9552: cannot bind %s: %s", opt.socketPath.c_str(), std::strerror(errno));
      return 1;
    }
  }
  simlog::line("sim_pca9552: %s%s%s", opt.absent ? "absent (not listening)" : "listening",
               opt.silent ? ", silent" : "", opt.failSelfTest ? ", failing self test" : "");

  simqueue::CardQueueSender replies("sim_pca9552");
  FrontPanel panel;
  std::string state = "?";
  std::string lastLine;
  unsigned phase = 0;
  auto nextQuery = std::chrono::steady_clock::now();
  while (!simstop::requested()) {
    pollfd p{fd, POLLIN, 0};
    int ready = poll(&p, fd >= 0 ? 1 : 0, 125);
    if (ready > 0 && (p.revents & POLLIN)) {
      uint8_t buf[256];
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      auto req = n > 0 ? pca9552::decodeRequest(buf, static_cast<size_t>(n)) : std::nullopt;
      if (!req) {
        simlog::line("sim_pca9552: dropped %zd-byte request (want %zu)", n, pca9552::REQUEST_SIZE);
      } else {
        panel.apply(*req);
        if (!opt.silent) {
          bool selfTest = req->command == pca9552::DoSelfTestsOnAllDevicesRequest;
          reply(replies, *req, selfTest && opt.failSelfTest ? 1 : 0);
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
        simlog::line("%s", l.c_str());
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
