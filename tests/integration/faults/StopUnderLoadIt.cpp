// SIGTERM stops main whatever fills its queue: a paused main whose queue a
// peer filled to the limit, and a flood of ICSC requests that keeps the
// queue full. Every run must end with status 0 within the bound.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mqueue.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "FaultHarness.h"
#include "TestSupport.h"

namespace faults {
namespace {

using testsupport::countOf;
using testsupport::readFile;

const char kLog[] = "/tmp/main-stop.log";

// Fills the queue until the kernel refuses one more message.
long fill(mqd_t q) {
  const uint32_t unknownId = 4242;
  long sent = 0;
  while (sent < 1000 && mq_send(q, reinterpret_cast<const char*>(&unknownId), 4, 0) == 0)
    ++sent;
  return sent;
}

// GET datagrams to the front end as fast as loopback takes them, bounded in
// count and time.
class Flood {
 public:
  Flood() {
    m_thread = std::thread([this] {
      int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(testsupport::kIcscPort);
      to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      icscwire::Header h;
      h.op = icscwire::GET;
      ICSCTlv cell = testsupport::cellOf(kMappedOid);
      std::vector<uint8_t> bytes;
      icscwire::encode(h, &cell, 1, bytes);
      auto end = Clock::now() + seconds(60);
      for (long i = 0; i < 5000000 && !m_stop && Clock::now() < end; ++i)
        ::sendto(fd, bytes.data(), bytes.size(), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to),
                 sizeof to);
      ::close(fd);
    });
  }
  ~Flood() {
    m_stop = true;
    m_thread.join();
  }

 private:
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

struct StopCase {
  const char* name;
  unsigned peers;
  bool icscFlood;  // else: main paused while the queue is filled
};

const StopCase kStopCases[] = {
    {"paused_with_full_queue", CardWithPeers::NONE, false},
    {"icsc_flood", CardWithPeers::ENGINE | CardWithPeers::FRONT_END, true},
};

class SigtermStops : public ::testing::TestWithParam<StopCase> {};

TEST_P(SigtermStops, WithStatusZeroEveryTime) {
  // The 2 s bound is the card's; an emulator or a sanitizer only shows that
  // main stops.
  const bool slow = emulated() || testsupport::kThreadSanitizer;
  const int runs = slow ? 3 : 20;
  const auto bound = slow ? seconds(20) : seconds(2);
  ::unlink(kLog);
  CardWithPeers card(GetParam().peers);
  card.mainLog = kLog;
  ASSERT_TRUE(card.start(seconds(60)));
  int stopped = 0;
  milliseconds slowest{0};
  for (int run = 1; run <= runs; ++run) {
    if (run > 1)
      card.main.start("main", {}, "FXS_TRACE_STDERR=1", kLog);
    ASSERT_TRUE(waitFor([&] { return countOf(readFile(kLog), "Card is ready") == size_t(run); },
                        seconds(30)))
        << "run " << run << ":\n"
        << readFile(kLog);
    mqd_t q = mq_open("/queueToMain", O_WRONLY | O_NONBLOCK);
    ASSERT_NE(q, static_cast<mqd_t>(-1)) << strerror(errno);
    mq_attr attr{};
    ASSERT_EQ(mq_getattr(q, &attr), 0);
    std::unique_ptr<Flood> flood;
    if (GetParam().icscFlood) {
      flood = std::make_unique<Flood>();
      ASSERT_TRUE(waitFor([&] { return queued(q) == attr.mq_maxmsg; }, seconds(10)))
          << "the flood never filled the queue";
      card.main.signal(SIGTERM);
    } else {
      card.main.signal(SIGSTOP);
      fill(q);
      ASSERT_EQ(queued(q), attr.mq_maxmsg);
      card.main.signal(SIGTERM);
      card.main.signal(SIGCONT);
    }
    int status = -1;
    auto t0 = Clock::now();
    bool exited = card.main.waitExit(bound, status);
    slowest = std::max(slowest, std::chrono::duration_cast<milliseconds>(Clock::now() - t0));
    flood.reset();
    mq_close(q);
    if (!exited) {
      card.main.stop();
      ADD_FAILURE() << "run " << run << ": main still running " << bound.count()
                    << " s after SIGTERM";
      continue;
    }
    EXPECT_EQ(status, 0) << "run " << run;
    stopped += status == 0 ? 1 : 0;
  }
  EXPECT_EQ(stopped, runs);
  RecordProperty("slowest_exit_ms", std::to_string(slowest.count()));
  EXPECT_EQ(countOf(readFile(kLog), "stop received"), size_t(runs)) << "a run skipped the stop";
}

INSTANTIATE_NAMED(Faults, SigtermStops, kStopCases);

}  // namespace
}  // namespace faults
