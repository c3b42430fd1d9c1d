#include "UdpRouter.h"

#include <arpa/inet.h>

#include "drivermsg/udpQueueMsg.h"
#include "icsc/IcscWire.h"

UdpRouter::Result UdpRouter::toCard(const uint8_t* dgram, size_t len, const sockaddr_in& from,
                                    uint64_t nowMs, uint8_t* out, size_t& outLen) {
  if (len > udpmsg::MAX_ICSC_SIZE)
    return Result::TOO_LONG;
  char ip[INET_ADDRSTRLEN] = {0};
  inet_ntop(AF_INET, &from.sin_addr, ip, sizeof(ip));
  outLen = udpmsg::encode(MSG_UDP, ip, dgram, len, out, QUEUE_MSG_MAX);
  udpmsg::UdpQueueMsgInPlace msg;
  uint32_t clientId = 0;
  // Without a request id nothing can come back: forward it untracked and
  // let the card reject it.
  if (!udpmsg::decode(out, outLen, msg) ||
      !icscwire::peekRequestId(msg.icsc, msg.icscLen, clientId))
    return Result::OK;
  if (m_pending.size() >= MAX_PENDING) {
    expire(nowMs);
    if (m_pending.size() >= MAX_PENDING)
      return Result::FULL;
  }
  uint32_t tag = m_nextTag++;
  if (m_nextTag == 0)
    m_nextTag = 1;
  m_pending[tag] = Entry{from, clientId, nowMs};
  icscwire::pokeRequestId(msg.icsc, msg.icscLen, tag);
  return Result::OK;
}

UdpRouter::Result UdpRouter::fromCard(uint8_t* msg, size_t len, sockaddr_in& to, uint8_t*& payload,
                                      size_t& payloadLen) {
  udpmsg::UdpQueueMsgInPlace m;
  uint32_t tag = 0;
  if (!udpmsg::decode(msg, len, m) || !icscwire::peekRequestId(m.icsc, m.icscLen, tag))
    return Result::TOO_SHORT;
  payload = m.icsc;
  payloadLen = m.icscLen;
  auto it = m_pending.find(tag);
  if (it == m_pending.end())
    return Result::UNKNOWN_TAG;
  to = it->second.client;
  icscwire::pokeRequestId(payload, payloadLen, it->second.clientId);
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
