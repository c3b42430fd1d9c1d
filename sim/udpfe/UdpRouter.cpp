#include "UdpRouter.h"

#include <arpa/inet.h>

#include <cstring>

namespace {

uint32_t get32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
void put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace

UdpRouter::Result UdpRouter::toCard(const uint8_t* dgram, size_t len, const sockaddr_in& from,
                                    uint64_t nowMs, uint8_t* out, size_t& outLen) {
  if (len > QUEUE_MSG_MAX - 4 - ADDR_LEN)
    return Result::TOO_LONG;
  uint32_t id = MSG_ID;
  std::memcpy(out, &id, 4);
  char ip[INET_ADDRSTRLEN] = {0};
  inet_ntop(AF_INET, &from.sin_addr, ip, sizeof(ip));
  std::memset(out + 4, 0, ADDR_LEN);
  std::memcpy(out + 4, ip, std::strlen(ip) < ADDR_LEN ? std::strlen(ip) : ADDR_LEN);
  uint8_t* icsc = out + 4 + ADDR_LEN;
  if (len > 0)
    std::memcpy(icsc, dgram, len);
  outLen = 4 + ADDR_LEN + len;
  // Without a request id nothing can come back: forward it untracked and
  // let the card reject it.
  if (len < ID_END)
    return Result::OK;
  if (m_pending.size() >= MAX_PENDING) {
    expire(nowMs);
    if (m_pending.size() >= MAX_PENDING)
      return Result::FULL;
  }
  uint32_t tag = m_nextTag++;
  if (m_nextTag == 0)
    m_nextTag = 1;
  m_pending[tag] = Entry{from, get32(dgram + ID_OFFSET), nowMs};
  put32(icsc + ID_OFFSET, tag);
  return Result::OK;
}

UdpRouter::Result UdpRouter::fromCard(uint8_t* msg, size_t len, sockaddr_in& to, uint8_t*& payload,
                                      size_t& payloadLen) {
  if (len < 4 + ADDR_LEN + ID_END)
    return Result::TOO_SHORT;
  payload = msg + 4 + ADDR_LEN;
  payloadLen = len - 4 - ADDR_LEN;
  auto it = m_pending.find(get32(payload + ID_OFFSET));
  if (it == m_pending.end())
    return Result::UNKNOWN_TAG;
  to = it->second.client;
  put32(payload + ID_OFFSET, it->second.clientId);
  m_pending.erase(it);
  return Result::OK;
}

void UdpRouter::expire(uint64_t nowMs) {
  for (auto it = m_pending.begin(); it != m_pending.end();) {
    if (nowMs - it->second.sentMs > TTL_MS)
      it = m_pending.erase(it);
    else
      ++it;
  }
}
