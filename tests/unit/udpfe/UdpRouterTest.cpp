#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "UdpRouter.h"

namespace {

sockaddr_in peer(const char* ip, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, ip, &a.sin_addr);
  return a;
}

std::vector<uint8_t> request(uint32_t id) {
  return {1, 1, 0, 0, uint8_t(id >> 24), uint8_t(id >> 16), uint8_t(id >> 8), uint8_t(id)};
}

// The card's answer to a forwarded message: same tag, address echoed.
std::vector<uint8_t> answerTo(const uint8_t* queued, size_t len) {
  std::vector<uint8_t> a(queued, queued + len);
  a[4 + UdpRouter::ADDR_LEN + 1] |= 0x80;
  return a;
}

TEST(UdpRouter, SameIdsFromTwoClientsGoBackToEach) {
  UdpRouter r;
  uint8_t q1[UdpRouter::QUEUE_MSG_MAX], q2[UdpRouter::QUEUE_MSG_MAX];
  size_t l1 = 0, l2 = 0;
  auto a = peer("127.0.0.1", 4001), b = peer("127.0.0.2", 4002);
  auto req = request(7);
  ASSERT_EQ(r.toCard(req.data(), req.size(), a, 0, q1, l1), UdpRouter::Result::OK);
  ASSERT_EQ(r.toCard(req.data(), req.size(), b, 0, q2, l2), UdpRouter::Result::OK);
  EXPECT_EQ(l1, 4 + UdpRouter::ADDR_LEN + req.size());
  uint32_t id;
  std::memcpy(&id, q1, 4);
  EXPECT_EQ(id, 28u);
  EXPECT_STREQ(reinterpret_cast<char*>(q2 + 4), "127.0.0.2");
  EXPECT_NE(std::memcmp(q1 + 19 + 4, q2 + 19 + 4, 4), 0) << "distinct tags";
  // Answers in reverse order.
  for (auto [q, l, want] : {std::make_tuple(q2, l2, b), std::make_tuple(q1, l1, a)}) {
    auto ans = answerTo(q, l);
    sockaddr_in to{};
    uint8_t* p = nullptr;
    size_t pl = 0;
    ASSERT_EQ(r.fromCard(ans.data(), ans.size(), to, p, pl), UdpRouter::Result::OK);
    EXPECT_EQ(to.sin_port, want.sin_port);
    EXPECT_EQ(to.sin_addr.s_addr, want.sin_addr.s_addr);
    ASSERT_EQ(pl, req.size());
    EXPECT_EQ(std::vector<uint8_t>(p + 4, p + 8), std::vector<uint8_t>(req.begin() + 4, req.end()));
  }
  EXPECT_EQ(r.pending(), 0u);
}

TEST(UdpRouter, RejectsWhatCannotBeRouted) {
  UdpRouter r;
  uint8_t q[UdpRouter::QUEUE_MSG_MAX];
  size_t l = 0;
  auto a = peer("127.0.0.1", 4001);
  std::vector<uint8_t> tooLong(UdpRouter::QUEUE_MSG_MAX, 0);
  EXPECT_EQ(r.toCard(tooLong.data(), tooLong.size(), a, 0, q, l), UdpRouter::Result::TOO_LONG);
  uint8_t shortMsg[3] = {1, 2, 3};
  EXPECT_EQ(r.toCard(shortMsg, 3, a, 0, q, l), UdpRouter::Result::OK);
  EXPECT_EQ(r.pending(), 0u) << "no request id, nothing to route back";
  sockaddr_in to{};
  uint8_t* p;
  size_t pl;
  std::vector<uint8_t> stray(4 + UdpRouter::ADDR_LEN + 8, 0);
  stray[4 + UdpRouter::ADDR_LEN + 7] = 99;
  EXPECT_EQ(r.fromCard(stray.data(), stray.size(), to, p, pl), UdpRouter::Result::UNKNOWN_TAG);
  EXPECT_EQ(r.fromCard(stray.data(), 10, to, p, pl), UdpRouter::Result::TOO_SHORT);
}

TEST(UdpRouter, ForgetsRequestsPastTheirTime) {
  UdpRouter r;
  uint8_t q[UdpRouter::QUEUE_MSG_MAX];
  size_t l = 0;
  auto req = request(1);
  r.toCard(req.data(), req.size(), peer("127.0.0.1", 1), 1000, q, l);
  r.expire(1000 + UdpRouter::TTL_MS);
  EXPECT_EQ(r.pending(), 1u);
  r.expire(1001 + UdpRouter::TTL_MS);
  EXPECT_EQ(r.pending(), 0u);
}

}  // namespace
