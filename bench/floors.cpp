// Floors: what the kernel paths the card's requests travel cost on this
// machine, measured with processes that do nothing but pass bytes on.
//
//   bench_floors [--count N] [--seconds S]
//
// udp        client <-> echo process over UDP on 127.0.0.1
// mqueue     ping-pong between two processes over two POSIX queues
// unixdgram  ping-pong between two processes over a Unix datagram pair
// composite  the card's request path with empty handlers:
//            client -UDP-> front end -queue-> card -seqpacket-> engine
//            and back the same way; also its requests per second with 1,
//            4 and 16 outstanding, and the CPU time per request of its
//            middle process (the card's place) under 16
//
// Needs a private IPC namespace (./dev bench-perf runs it in one): the
// queues have fixed names. Prints result lines for ./dev bench-perf.
#include <arpa/inet.h>
#include <fcntl.h>
#include <mqueue.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "BenchStats.h"
#include "SimCli.h"
#include "drivermsg/udpQueueMsg.h"

namespace {

// An ICSC GET of one cell is 16 bytes and its answer about 20; the queue
// messages carry them as message 28, behind the id and the sender address.
constexpr size_t REQUEST_BYTES = 16;
constexpr long QUEUE_MSG_SIZE = mainqueue::MAX_MSG_SIZE;
const char* const kClientAddr = "127.0.0.1";
constexpr size_t WARMUP = 200;

const char* const kPingQueue = "/benchFloorPing";
const char* const kPongQueue = "/benchFloorPong";
const char* const kToCardQueue = "/benchFloorToCard";
const char* const kToFeQueue = "/benchFloorToFe";

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "bench_floors: %s: %s\n", what, std::strerror(errno));
  std::exit(1);
}

// The card's inbound queue holds 30 messages; the composite's queues as
// many, so that 16 outstanding requests never meet a full queue.
mqd_t openQueue(const char* name, int flags, long depth = 10) {
  mq_attr attr{};
  attr.mq_maxmsg = depth;
  attr.mq_msgsize = QUEUE_MSG_SIZE;
  mqd_t q = mq_open(name, flags | O_CREAT, 0600, &attr);
  if (q == static_cast<mqd_t>(-1))
    fail(name);
  return q;
}

std::vector<pid_t> g_children;

// Forks a helper that runs `body` forever; it dies with the bench.
pid_t spawn(const std::function<void()>& body) {
  pid_t pid = fork();
  if (pid < 0)
    fail("fork");
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    body();
    _exit(0);
  }
  g_children.push_back(pid);
  return pid;
}

void reapChildren() {
  for (pid_t pid : g_children) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  g_children.clear();
}

// Times `roundTrip` after a warm-up; stops at the bound or at a failure.
bench::Samples measure(const bench::Bound& bound, const std::function<bool()>& roundTrip) {
  for (size_t i = 0; i < WARMUP; ++i)
    if (!roundTrip())
      fail("warm-up round trip");
  bench::Samples s(bound.count);
  uint64_t end = bench::nowNs() + static_cast<uint64_t>(bound.seconds * 1e9);
  for (size_t i = 0; i < bound.count; ++i) {
    uint64_t t0 = bench::nowNs();
    if (!roundTrip())
      fail("round trip");
    uint64_t t1 = bench::nowNs();
    s.add(t1 - t0);
    if (t1 > end)
      break;
  }
  return s;
}

void report(const char* name, const bench::Samples& s) {
  bench::emit("floor", name,
              {bench::fmt(s.medianUs()), bench::fmt(s.p99Us()), std::to_string(s.count())});
}

int udpSocket(sockaddr_in& bound) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    fail("socket");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
    fail("bind 127.0.0.1");
  socklen_t l = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &l);
  return fd;
}

bool udpExchange(int fd, const sockaddr_in& to, uint8_t* buf, size_t len) {
  if (sendto(fd, buf, len, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) !=
      static_cast<ssize_t>(len))
    return false;
  return recv(fd, buf, 2048, 0) > 0;
}

void floorUdp(const bench::Bound& bound) {
  sockaddr_in serverAddr{}, clientAddr{};
  int server = udpSocket(serverAddr);
  int client = udpSocket(clientAddr);
  spawn([server] {
    uint8_t buf[2048];
    for (;;) {
      sockaddr_in from{};
      socklen_t fl = sizeof from;
      ssize_t n = recvfrom(server, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fl);
      if (n > 0)
        sendto(server, buf, static_cast<size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), fl);
    }
  });
  uint8_t buf[2048] = {};
  report("udp",
         measure(bound, [&] { return udpExchange(client, serverAddr, buf, REQUEST_BYTES); }));
  reapChildren();
  close(server);
  close(client);
}

void floorMqueue(const bench::Bound& bound) {
  mq_unlink(kPingQueue);
  mq_unlink(kPongQueue);
  mqd_t ping = openQueue(kPingQueue, O_RDWR);
  mqd_t pong = openQueue(kPongQueue, O_RDWR);
  spawn([ping, pong] {
    char buf[QUEUE_MSG_SIZE];
    for (;;) {
      ssize_t n = mq_receive(ping, buf, sizeof buf, nullptr);
      if (n > 0)
        mq_send(pong, buf, static_cast<size_t>(n), 0);
    }
  });
  char buf[QUEUE_MSG_SIZE] = {};
  report("mqueue", measure(bound, [&] {
           return mq_send(ping, buf, REQUEST_BYTES + udpmsg::HEADER_SIZE, 0) == 0 &&
                  mq_receive(pong, buf, sizeof buf, nullptr) > 0;
         }));
  reapChildren();
  mq_close(ping);
  mq_close(pong);
  mq_unlink(kPingQueue);
  mq_unlink(kPongQueue);
}

// A child that sends every datagram on fd straight back.
void spawnEcho(int fd) {
  spawn([fd] {
    uint8_t buf[2048];
    for (;;) {
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n > 0)
        send(fd, buf, static_cast<size_t>(n), 0);
    }
  });
}

void floorUnixDgram(const bench::Bound& bound) {
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, sv) != 0)
    fail("socketpair");
  spawnEcho(sv[1]);
  uint8_t buf[2048] = {};
  report("unixdgram", measure(bound, [&] {
           return send(sv[0], buf, REQUEST_BYTES, 0) == static_cast<ssize_t>(REQUEST_BYTES) &&
                  recv(sv[0], buf, sizeof buf, 0) > 0;
         }));
  reapChildren();
  close(sv[0]);
  close(sv[1]);
}

void floorComposite(const bench::Bound& bound) {
  mq_unlink(kToCardQueue);
  mq_unlink(kToFeQueue);
  sockaddr_in feAddr{}, clientAddr{};
  int feSock = udpSocket(feAddr);
  int client = udpSocket(clientAddr);
  mqd_t toCard = openQueue(kToCardQueue, O_RDWR, 30);
  mqd_t toFe = openQueue(kToFeQueue, O_RDWR | O_NONBLOCK, 30);
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv) != 0)
    fail("socketpair");

  // Engine: answers every request.
  spawnEcho(sv[1]);
  // Card: queue in, one engine exchange, queue out.
  pid_t card = spawn([toCard, toFe, sv] {
    uint8_t buf[QUEUE_MSG_SIZE];
    uint8_t eng[2048];
    for (;;) {
      ssize_t n = mq_receive(toCard, reinterpret_cast<char*>(buf), sizeof buf, nullptr);
      udpmsg::UdpQueueMsg m;
      if (n <= 0 || !udpmsg::decode(buf, static_cast<size_t>(n), m))
        continue;
      if (send(sv[0], m.icsc, m.icscLen, 0) < 0 || recv(sv[0], eng, sizeof eng, 0) <= 0)
        continue;
      mq_send(toFe, reinterpret_cast<const char*>(buf), static_cast<size_t>(n), 0);
    }
  });
  // Front end: datagrams to the card's queue, answers back to the sender.
  spawn([feSock, toCard, toFe] {
    uint8_t msg[QUEUE_MSG_SIZE];
    uint8_t dgram[QUEUE_MSG_SIZE];
    sockaddr_in last{};
    for (;;) {
      pollfd fds[2] = {{feSock, POLLIN, 0}, {static_cast<int>(toFe), POLLIN, 0}};
      if (poll(fds, 2, -1) <= 0)
        continue;
      if (fds[0].revents & POLLIN) {
        socklen_t fl = sizeof last;
        ssize_t n =
            recvfrom(feSock, dgram, sizeof dgram, 0, reinterpret_cast<sockaddr*>(&last), &fl);
        size_t len = n > 0 ? udpmsg::encode(MSG_UDP, kClientAddr, dgram, static_cast<size_t>(n),
                                            msg, sizeof msg)
                           : 0;
        if (len > 0)
          mq_send(toCard, reinterpret_cast<const char*>(msg), len, 0);
      }
      if (fds[1].revents & POLLIN) {
        ssize_t n = mq_receive(toFe, reinterpret_cast<char*>(msg), sizeof msg, nullptr);
        udpmsg::UdpQueueMsg m;
        if (n > 0 && udpmsg::decode(msg, static_cast<size_t>(n), m))
          sendto(feSock, m.icsc, m.icscLen, 0, reinterpret_cast<sockaddr*>(&last), sizeof last);
      }
    }
  });
  uint8_t buf[2048] = {};
  auto send = [&] {
    sendto(client, buf, REQUEST_BYTES, 0, reinterpret_cast<sockaddr*>(&feAddr), sizeof feAddr);
  };
  auto receive = [&](int timeoutMs) {
    pollfd p{client, POLLIN, 0};
    return poll(&p, 1, timeoutMs) == 1 && recv(client, buf, sizeof buf, 0) > 0;
  };
  // A lost datagram would hang the bench: wait at most a second.
  report("composite", measure(bound, [&] {
           send();
           return receive(1000);
         }));
  for (unsigned k : {1u, 4u, 16u}) {
    int64_t cpu0 = bench::cpuNs(card);
    bench::Throughput t =
        bench::keepOutstanding(k, {bound.count * 2, bound.seconds}, send, receive);
    int64_t cpu1 = bench::cpuNs(card);
    bench::emit("floorrps", std::to_string(k),
                {bench::fmt(t.perSecond, 0), std::to_string(t.lost)});
    if (k == 16 && cpu0 >= 0 && t.done > 0)
      bench::emit(
          "floorcpu", "middle",
          {bench::fmt(double(cpu1 - cpu0) / 1000.0 / double(t.done), 2), std::to_string(t.done)});
  }
  reapChildren();
  close(feSock);
  close(client);
  close(sv[0]);
  close(sv[1]);
  mq_close(toCard);
  mq_close(toFe);
  mq_unlink(kToCardQueue);
  mq_unlink(kToFeQueue);
}

}  // namespace

int main(int argc, char** argv) {
  bench::Bound bound{20000, 5.0};
  const char usage[] = "usage: bench_floors [--count N] [--seconds S]\n";
  int rc = simcli::parse(
      "bench_floors", usage, argc, argv, simcli::ANYWHERE,
      {{"count", required_argument, nullptr, 'c'}, {"seconds", required_argument, nullptr, 's'}},
      [&bound](int c, const char* arg) -> std::string {
        if (c == 'c')
          return simcli::integer(arg, 1, 100000000, bound.count) ? "" : "--count wants 1 or more";
        return simcli::decimal(arg, 0.1, 3600, bound.seconds) ? "" : "--seconds wants 0.1-3600";
      });
  if (rc >= 0)
    return rc;
  if (optind != argc)
    return simcli::badUsage("bench_floors", "unexpected argument", usage);
  floorUdp(bound);
  floorMqueue(bound);
  floorUnixDgram(bound);
  floorComposite(bound);
  return 0;
}
