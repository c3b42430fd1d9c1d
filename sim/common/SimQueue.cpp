#include "SimQueue.h"

#include <cerrno>
#include <cstring>

#include "SimLog.h"
#include "SimStop.h"
#include "drivermsg/hwMessages.h"

namespace simqueue {

CardQueueSender::CardQueueSender(std::string who, unsigned roomWaitMs)
    : m_who(std::move(who)), m_roomWaitMs(roomWaitMs) {}

bool CardQueueSender::send(const std::string& queue, const uint8_t* msg, size_t len) {
  if (!m_queue || !m_queue->isOpen() || m_queue->name() != queue) {
    m_queue.emplace(queue, MessageQueue::SendOnly{});
    if (!m_queue->isOpen()) {
      // The card is not up yet; said once.
      if (!m_unopened)
        simlog::line("%s: cannot open %s (%s); messages dropped until it opens", m_who.c_str(),
                     queue.c_str(), std::strerror(m_queue->openError()));
      m_unopened = true;
      return false;
    }
    m_unopened = false;
    m_queue->blocking(true);
  }
  bool sent = m_queue->sendWithin(msg, len, 0);
  // A stand-in that is stopping waits for nothing.
  if (!sent && errno == ETIMEDOUT && !simstop::requested()) {
    if (!m_waiting)
      simlog::line("%s: %s full, waiting up to %u ms for room", m_who.c_str(), queue.c_str(),
                   m_roomWaitMs);
    m_waiting = true;
    sent = m_queue->sendWithin(msg, len, m_roomWaitMs);
  } else if (sent) {
    m_waiting = false;
  }
  if (!sent && !m_losing) {
    simlog::line("%s: messages to %s lost from id %u on: %s", m_who.c_str(), queue.c_str(),
                 hwmsg::msgId(msg, len), std::strerror(errno));
  } else if (sent && m_losing) {
    simlog::line("%s: messages reach %s again", m_who.c_str(), queue.c_str());
  }
  m_losing = !sent;
  return sent;
}

}  // namespace simqueue
