// udpfe: the card's UDP front end on the bench.
//   udpfe [--port N] [--bind ADDR] [--to-card QUEUE] [--from-card QUEUE]
// Receives ICSC datagrams, posts them as message 28 to the card and sends
// the card's answers back to the client that asked. Stops on SIGTERM/SIGINT.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "SimCli.h"
#include "SimLog.h"
#include "SimStop.h"
#include "UdpRouter.h"
#include "icsc/IcscWire.h"
#include "mq/MessageQueue.h"

namespace {

uint64_t nowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

// The card creates its own queue with its depth; until it has, datagrams
// are dropped. A full queue is waited on briefly, as a loaded card drains it.
bool postToCard(std::optional<MessageQueue>& q, const std::string& name, const uint8_t* msg,
                size_t len) {
  if (!q || !q->isOpen()) {
    q.emplace(name, MessageQueue::SendOnly{});
    q->blocking(true);
  }
  if (!q->isOpen()) {
    simlog::line("udpfe: %s not there yet, datagram dropped", name.c_str());
    return false;
  }
  if (!q->sendWithin(msg, len, 200)) {
    simlog::line("udpfe: %s full, datagram dropped: %s", name.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

const char kUsage[] =
    "usage: udpfe [--port N] [--bind ADDR] [--to-card QUEUE] [--from-card QUEUE]\n"
    "  --port N            UDP port of the chassis controller's requests (5000)\n"
    "  --bind ADDR         local IPv4 address (0.0.0.0)\n"
    "  --to-card QUEUE     the card's inbound queue (/queueToMain)\n"
    "  --from-card QUEUE   the queue of the card's answers (/queueToUdp)\n";

}  // namespace

int main(int argc, char** argv) {
  int port = icscwire::UDP_PORT;
  std::string bindAddr = "0.0.0.0";
  std::string toCard = mainqueue::NAME;
  std::string fromCard = udpmsg::UDP_QUEUE;
  int rc =
      simcli::parse("udpfe", kUsage, argc, argv, simcli::ANYWHERE,
                    {{"port", required_argument, nullptr, 'p'},
                     {"bind", required_argument, nullptr, 'b'},
                     {"to-card", required_argument, nullptr, 't'},
                     {"from-card", required_argument, nullptr, 'f'}},
                    [&](int c, const char* arg) -> std::string {
                      if (c == 'p')
                        return simcli::integer(arg, 1, 65535, port) ? "" : "--port wants 1-65535";
                      (c == 'b' ? bindAddr : c == 't' ? toCard : fromCard) = arg;
                      return "";
                    });
  if (rc >= 0)
    return rc;
  if (optind != argc)
    return simcli::badUsage("udpfe", "unexpected argument", kUsage);
  simstop::onTermination();

  int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (sock < 0 || inet_pton(AF_INET, bindAddr.c_str(), &addr.sin_addr) != 1 ||
      bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    simlog::line("udpfe: cannot bind %s:%d: %s", bindAddr.c_str(), port, std::strerror(errno));
    return 1;
  }
  std::optional<MessageQueue> qOut;
  MessageQueue qIn(fromCard, MessageQueue::Receiver{static_cast<long>(UdpRouter::QUEUE_MSG_MAX),
                                                    udpmsg::UDP_QUEUE_DEPTH, 0666});
  if (!qIn.isOpen()) {
    simlog::line("udpfe: cannot open %s: %s", fromCard.c_str(), std::strerror(qIn.openError()));
    return 1;
  }
  simlog::line("udpfe: serving %s:%d", bindAddr.c_str(), port);

  UdpRouter router;
  uint8_t dgram[65536];
  uint8_t msg[UdpRouter::QUEUE_MSG_MAX];
  uint64_t lastExpire = nowMs();
  while (!simstop::requested()) {
    pollfd fds[2] = {{sock, POLLIN, 0}, {qIn.fd(), POLLIN, 0}};
    int n = poll(fds, 2, 500);
    if (n < 0 && errno != EINTR)
      break;
    if (nowMs() - lastExpire > 1000) {
      router.expire(nowMs());
      lastExpire = nowMs();
    }
    if (n <= 0)
      continue;
    if (fds[0].revents & POLLIN) {
      sockaddr_in from{};
      socklen_t fl = sizeof(from);
      ssize_t len =
          recvfrom(sock, dgram, sizeof(dgram), 0, reinterpret_cast<sockaddr*>(&from), &fl);
      size_t outLen = 0;
      if (len >= 0) {
        UdpRouter::Result r =
            router.toCard(dgram, static_cast<size_t>(len), from, nowMs(), msg, outLen);
        if (r != UdpRouter::Result::OK)
          simlog::line("udpfe: datagram of %zd bytes dropped (%s)", len,
                       r == UdpRouter::Result::TOO_LONG ? "too long" : "too many pending");
        else
          postToCard(qOut, toCard, msg, outLen);
      }
    }
    if (fds[1].revents & POLLIN) {
      // All waiting answers at once: under load the card answers in bursts.
      ssize_t len;
      while ((len = qIn.receive(msg, sizeof(msg))) > 0) {
        sockaddr_in to{};
        uint8_t* payload = nullptr;
        size_t plen = 0;
        UdpRouter::Result r = router.fromCard(msg, static_cast<size_t>(len), to, payload, plen);
        if (r == UdpRouter::Result::OK)
          sendto(sock, payload, plen, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
        else
          simlog::line("udpfe: answer of %zd bytes dropped (%s)", len,
                       r == UdpRouter::Result::TOO_SHORT ? "too short" : "no such request");
      }
    }
  }
  close(sock);
  return 0;
}
