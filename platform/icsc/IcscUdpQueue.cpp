#include "icsc/IcscUdpQueue.h"

#include <fcntl.h>
#include <mqueue.h>

#include <cerrno>
#include <cstring>

#include "trace/TraceObject.h"

IcscUdpQueueSink::IcscUdpQueueSink(const char* queueName) : m_name(queueName) {
  m_buf.resize(MAX_MSG);
}

IcscUdpQueueSink::~IcscUdpQueueSink() {
  if (m_mq != -1)
    mq_close(static_cast<mqd_t>(m_mq));
}

bool IcscUdpQueueSink::open() {
  if (m_mq != -1)
    return true;
  // Created here when the front end is not up yet, so that its first
  // answers wait in the queue instead of being lost.
  struct mq_attr attr {};
  attr.mq_maxmsg = 10;
  attr.mq_msgsize = MAX_MSG;
  mqd_t q = mq_open(m_name, O_WRONLY | O_CREAT | O_NONBLOCK, 0660, &attr);
  if (q == static_cast<mqd_t>(-1)) {
    if (!m_openFailLogged)
      LOG_ERROR("cannot open %s (%s), ICSC answers are dropped until it opens", m_name,
                strerror(errno));
    m_openFailLogged = true;
    return false;
  }
  m_openFailLogged = false;
  m_mq = static_cast<int>(q);
  return true;
}

bool IcscUdpQueueSink::sendResponse(const char* senderIp, const uint8_t* data, size_t len) {
  if (len + 4 + ADDR_LEN > MAX_MSG || !open())
    return false;
  uint32_t id = MSG_ID;
  std::memcpy(m_buf.data(), &id, 4);
  std::memset(m_buf.data() + 4, 0, ADDR_LEN);
  if (senderIp != nullptr)
    std::strncpy(m_buf.data() + 4, senderIp, ADDR_LEN);
  std::memcpy(m_buf.data() + 4 + ADDR_LEN, data, len);
  if (mq_send(static_cast<mqd_t>(m_mq), m_buf.data(), len + 4 + ADDR_LEN, 0) != 0) {
    LOG_ERROR("ICSC answer to %.15s not sent on %s: %s", senderIp ? senderIp : "?", m_name,
              strerror(errno));
    return false;
  }
  return true;
}
