// Bench stand-in of the board driver: tells the card its slot number.
//
//   board [--slot N] [--delay S] [--socket PATH]
//
// Answers "SLOT?\n" on a Unix stream socket with "SLOT N\n"; during the
// first S seconds (a driver still probing the backplane) it answers
// "NOSLOT\n". "REBOOT\n" is answered "REBOOTING\n", logged, and the board
// resets the card: the requesting process gets SIGTERM (the bench, like the
// card's init, starts it again). Runs until SIGTERM or SIGINT.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "SimCli.h"
#include "SimLog.h"
#include "SimSocket.h"
#include "SimStop.h"
#include "board/boardUtils.h"

namespace {

const char kUsage[] =
    "usage: board [--slot N] [--delay SECONDS] [--socket PATH]\n"
    "  --slot N        the slot to report, 0-63 (default 2)\n"
    "  --delay S       answer NOSLOT for the first S seconds (default 0)\n"
    "  --socket PATH   where to listen (default /tmp/boardDriverServer)\n";

}  // namespace

int main(int argc, char** argv) {
  int slot = 2;
  int delaySec = 0;
  std::string path = boardUtils::kDriverSocket;
  int rc = simcli::parse(
      "board", kUsage, argc, argv, simcli::ANYWHERE,
      {{"slot", required_argument, nullptr, 's'},
       {"delay", required_argument, nullptr, 'd'},
       {"socket", required_argument, nullptr, 'S'}},
      [&](int c, const char* arg) -> std::string {
        if (c == 's')
          return simcli::integer(arg, 0, 63, slot) ? "" : "--slot wants 0-63";
        if (c == 'd')
          return simcli::integer(arg, 0, 86400, delaySec) ? "" : "--delay wants seconds";
        path = arg;
        return "";
      });
  if (rc >= 0)
    return rc;
  if (optind != argc)
    return simcli::badUsage("board", "unexpected argument", kUsage);
  if (path.size() >= sizeof(sockaddr_un::sun_path))
    return simcli::badUsage("board", "socket path too long", kUsage);

  simstop::onTermination();

  int fd = simsocket::serveUnix(path, SOCK_STREAM, 8);
  if (fd < 0) {
    simlog::line("board: cannot listen on %s: %s", path.c_str(), std::strerror(errno));
    return 1;
  }
  simlog::line("board: serving slot %d on %s (unknown for %d s)", slot, path.c_str(), delaySec);
  auto known = std::chrono::steady_clock::now() + std::chrono::seconds(delaySec);
  while (!simstop::requested()) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 500) <= 0)
      continue;
    int c = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0)
      continue;
    char req[16];
    pollfd pc{c, POLLIN, 0};
    ssize_t n = poll(&pc, 1, 500) > 0 ? recv(c, req, sizeof req, 0) : -1;
    if (n > 0 && boardUtils::isSlotRequest(req, static_cast<size_t>(n))) {
      std::string reply =
          boardUtils::slotReply(std::chrono::steady_clock::now() >= known ? slot : -1);
      send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
    } else if (n > 0 && boardUtils::isRebootRequest(req, static_cast<size_t>(n))) {
      ucred peer{};
      socklen_t plen = sizeof peer;
      bool gotPeer = getsockopt(c, SOL_SOCKET, SO_PEERCRED, &peer, &plen) == 0 && peer.pid > 1;
      send(c, boardUtils::rebootReply(), std::strlen(boardUtils::rebootReply()), MSG_NOSIGNAL);
      std::printf("board: reboot requested by pid %d; resetting the card\n",
                  gotPeer ? static_cast<int>(peer.pid) : -1);
      std::fflush(stdout);
      if (gotPeer)
        kill(peer.pid, SIGTERM);
    }
    close(c);
  }
  close(fd);
  unlink(path.c_str());
  return 0;
}
