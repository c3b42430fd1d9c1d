#include "icsc/IcscClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

using namespace icscwire;

namespace {

// The card's end of a datagram socket pair: reads the client's requests
// and writes answers of any shape.
class FakeCard {
 public:
  explicit FakeCard(int fd) : m_fd(fd) {}
  ~FakeCard() { close(m_fd); }

  Header request(std::vector<ICSCTlv>& cells) {
    uint8_t buf[MAX_MESSAGE];
    ssize_t n = recv(m_fd, buf, sizeof buf, MSG_DONTWAIT);
    Header h;
    EXPECT_GT(n, 0) << "the client sent nothing";
    if (n > 0) {
      EXPECT_EQ(decode(buf, static_cast<size_t>(n), h, cells), Decode::OK);
    }
    return h;
  }

  // An answer to `id` whose only cell carries `str`; `cut` bytes short.
  void answer(uint32_t id, const std::string& str, size_t cut = 0, uint8_t version = VERSION) {
    Header h;
    h.version = version;
    h.op = GET | RESPONSE;
    h.requestId = id;
    ICSCTlv c;
    c.oid = 7;
    c.type = IcscType::STRING;
    c.str = str;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(encode(h, &c, 1, bytes));
    ASSERT_LE(cut, bytes.size());
    raw(bytes.data(), bytes.size() - cut);
  }

  void raw(const uint8_t* bytes, size_t len) {
    ASSERT_EQ(::send(m_fd, bytes, len, 0), static_cast<ssize_t>(len));
  }

 private:
  int m_fd;
};

class IcscClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, sv), 0);
    client.adopt(sv[0]);
    card = std::make_unique<FakeCard>(sv[1]);
  }

  uint32_t sendGet() {
    ICSCTlv c;
    c.oid = 7;
    uint32_t id = 0;
    EXPECT_TRUE(client.send(GET, &c, 1, id));
    std::vector<ICSCTlv> cells;
    Header h = card->request(cells);
    EXPECT_EQ(h.requestId, id);
    EXPECT_EQ(h.op, GET);
    EXPECT_EQ(cells.size(), 1u);
    return id;
  }

  IcscClient client;
  std::unique_ptr<FakeCard> card;
  Header h;
  std::vector<ICSCTlv> out;
  Decode why = Decode::OK;
};

constexpr int kWaitMs = 5000;  // bounds a wait that an answer ends early

TEST_F(IcscClientTest, EachRequestHasAFreshId) {
  uint32_t first = sendGet();
  uint32_t second = sendGet();
  EXPECT_NE(first, second);
}

TEST_F(IcscClientTest, AnswersToOtherIdsAndShortDatagramsAreSkipped) {
  uint32_t early = sendGet();
  uint32_t id = sendGet();
  card->answer(early, "late answer to the earlier request");
  card->answer(id + 1, "an id not asked for");
  const uint8_t shortDatagram[HEADER_SIZE - 1] = {VERSION, GET | RESPONSE};
  card->raw(shortDatagram, sizeof shortDatagram);
  card->answer(id, "mine");
  ASSERT_EQ(client.await(id, kWaitMs, h, out), IcscClient::Result::ANSWERED);
  EXPECT_EQ(h.requestId, id);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].str, "mine");
}

TEST_F(IcscClientTest, NoAnswerWithinTheTimeout) {
  uint32_t id = sendGet();
  card->answer(id + 1, "not the one");
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(client.await(id, 50, h, out), IcscClient::Result::NO_ANSWER);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(50));
}

TEST_F(IcscClientTest, TruncatedOrMalformedAnswerIsRefused) {
  struct Case {
    const char* name;
    size_t cut;
    uint8_t version;
    Decode want;
  };
  const Case cases[] = {
      {"value cut short", 1, VERSION, Decode::TRUNCATED},
      {"cell header cut short", 4 + CELL_HEADER_SIZE, VERSION, Decode::TRUNCATED},
      {"other version", 0, VERSION + 1, Decode::BAD_VERSION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    uint32_t id = sendGet();
    card->answer(id, "four", c.cut, c.version);
    EXPECT_EQ(client.await(id, kWaitMs, h, out, &why), IcscClient::Result::MALFORMED);
    EXPECT_EQ(why, c.want);
  }
}

TEST_F(IcscClientTest, RequestThatDoesNotEncodeIsNotSent) {
  std::vector<ICSCTlv> tooMany(MAX_CELLS + 1);
  EXPECT_EQ(client.call(GET, tooMany, kWaitMs, h, out), IcscClient::Result::NOT_SENT);
  EXPECT_EQ(client.bytesSent(), 0u);
}

TEST_F(IcscClientTest, ReceiveTakesAnyAnswerThatDecodes) {
  uint32_t id = sendGet();
  card->answer(id, "cut", 1);
  card->answer(id + 5, "any id");
  ASSERT_TRUE(client.receive(kWaitMs, h, out));
  EXPECT_EQ(h.requestId, id + 5);
  EXPECT_FALSE(client.receive(20, h, out));
}

// The real path: a UDP socket on loopback standing for the front end.
TEST(IcscClientUdp, CallsThroughLoopbackAndRefusesBadHost) {
  IcscClient bad;
  errno = 0;
  EXPECT_FALSE(bad.open("localhost", 5000));
  EXPECT_EQ(errno, EINVAL);

  int card = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(card, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof at;
  ASSERT_EQ(bind(card, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(getsockname(card, reinterpret_cast<sockaddr*>(&at), &len), 0);

  IcscClient client;
  ASSERT_TRUE(client.open("127.0.0.1", ntohs(at.sin_port)));
  ICSCTlv c;
  c.oid = 9;
  uint32_t id = 0;
  ASSERT_TRUE(client.send(GET, &c, 1, id));
  uint8_t buf[MAX_MESSAGE];
  sockaddr_in from{};
  socklen_t fromLen = sizeof from;
  ssize_t n = recvfrom(card, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
  ASSERT_GT(n, 0);
  // The request comes back as its answer: same id and cell, RESPONSE set.
  Header h;
  std::vector<ICSCTlv> out;
  ASSERT_EQ(decode(buf, static_cast<size_t>(n), h, out), Decode::OK);
  h.op |= RESPONSE;
  std::vector<uint8_t> answer;
  ASSERT_TRUE(encode(h, out.data(), out.size(), answer));
  ASSERT_EQ(
      sendto(card, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen),
      static_cast<ssize_t>(answer.size()));
  EXPECT_EQ(client.await(id, kWaitMs, h, out), IcscClient::Result::ANSWERED);
  EXPECT_EQ(h.op, GET | RESPONSE);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].oid, 9u);
  EXPECT_EQ(client.bytesSent(), static_cast<size_t>(n));
  EXPECT_EQ(client.bytesReceived(), answer.size());
  close(card);
}

}  // namespace
