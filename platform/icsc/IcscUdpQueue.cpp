#include "icsc/IcscUdpQueue.h"

#include <cstring>

#include "drivermsg/udpQueueMsg.h"
#include "mq/MessageQueue.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

IcscUdpQueueSink::IcscUdpQueueSink(const char* queueName) : m_name(queueName) {
  m_buf.resize(udpmsg::MAX_SIZE);
}

IcscUdpQueueSink::~IcscUdpQueueSink() = default;

bool IcscUdpQueueSink::open() {
  if (m_queue && m_queue->isOpen())
    return true;
  // Opened (and created when the front end is not up yet) on first use, so
  // that answers wait in the queue instead of being lost.
  m_queue =
      std::make_unique<MessageQueue>(m_name, mainqueue::MAX_MSG_SIZE, udpmsg::UDP_QUEUE_DEPTH);
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

bool IcscUdpQueueSink::sendResponse(std::string_view senderIp, const uint8_t* data, size_t len) {
  size_t n = udpmsg::encode(MSG_UDP, senderIp, data, len, m_buf.data(), m_buf.size());
  if (n == 0 || !open())
    return false;
  if (!m_queue->send(m_buf.data(), n)) {
    LOG_ERROR_LIMITED("ICSC answer to %.*s not sent on %s: queue full or closed, dropped",
                      static_cast<int>(senderIp.size()), senderIp.data(), m_name);
    return false;
  }
  return true;
}
