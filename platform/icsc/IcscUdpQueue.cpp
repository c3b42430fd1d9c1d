#include "icsc/IcscUdpQueue.h"

#include <cstring>

#include "mq/MessageQueue.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

IcscUdpQueueSink::IcscUdpQueueSink(const char* queueName) : m_name(queueName) {
  m_buf.resize(MAX_MSG);
}

IcscUdpQueueSink::~IcscUdpQueueSink() = default;

bool IcscUdpQueueSink::open() {
  if (m_queue && m_queue->isOpen())
    return true;
  // Opened (and created when the front end is not up yet) on first use, so
  // that answers wait in the queue instead of being lost.
  m_queue = std::make_unique<MessageQueue>(m_name, static_cast<long>(MAX_MSG), QUEUE_DEPTH);
  if (!m_queue->isOpen()) {
    if (!m_openFailLogged)
      LOG_ERROR("cannot open %s (%s), ICSC answers are dropped until it opens", m_name,
                strerror(m_queue->openError()));
    m_openFailLogged = true;
    return false;
  }
  m_queue->blocking(false);
  m_openFailLogged = false;
  return true;
}

bool IcscUdpQueueSink::sendResponse(const char* senderIp, const uint8_t* data, size_t len) {
  if (len + 4 + ADDR_LEN > MAX_MSG || !open())
    return false;
  uint32_t id = MSG_ID;
  std::memcpy(m_buf.data(), &id, 4);
  std::memset(m_buf.data() + 4, 0, ADDR_LEN);
  for (size_t i = 0; senderIp != nullptr && i < ADDR_LEN && senderIp[i] != '\0'; ++i)
    m_buf[4 + i] = senderIp[i];
  std::memcpy(m_buf.data() + 4 + ADDR_LEN, data, len);
  if (!m_queue->send(m_buf.data(), len + 4 + ADDR_LEN)) {
    LOG_ERROR_LIMITED("ICSC answer to %.15s not sent on %s: queue full or closed, dropped",
                      senderIp ? senderIp : "?", m_name);
    return false;
  }
  return true;
}
