#include "timestamper.h"

#include <cerrno>
#include <cstring>

#include "drivermsg/hwMessages.h"
#include "mq/MessageQueue.h"
#include "thread/BetterSleep.h"
#include "trace/TraceObject.h"
#include "watchdog/watchdogMonitor.h"

namespace {
constexpr unsigned kWatchdogMsPerStart = 10000;
}  // namespace

CTimestamper::CTimestamper(unsigned periodMs)
    : m_running(true),
      m_wdmon(new watchdogMonitor("timestamper")),
      m_tickCount(0),
      m_periodMs(periodMs) {}

CTimestamper::~CTimestamper() {
  delete m_wdmon;
}

bool CTimestamper::start() {
  if (!startThread()) {
    SWERR("Cannot create thread\n");
    return false;
  }
  return true;
}

bool CTimestamper::stop() {
  m_running = false;
  if (!joinThread()) {
    SWERR("Failed to join\n");
    return false;
  }
  return true;
}

int CTimestamper::run() {
  if (!m_running)
    return 0;
  MessageQueue queue(mainqueue::NAME, MessageQueue::SendOnly{});
  if (!queue.isOpen()) {
    SWERR("mq_open %s - %s", mainqueue::NAME, std::strerror(queue.openError()));
    m_running = false;
  }
  m_wdmon->wdm_start(kWatchdogMsPerStart * (m_tickCount + 1));
  while (m_running) {
    BetterSleep(m_periodMs / 1000.0);
    uint32_t count = ++m_tickCount;
    std::vector<uint8_t> msg = hwmsg::encodeTick(count);
    if (!queue.send(msg.data(), msg.size())) {
      // The tick is lost; the next one carries the next count.
      SWERR("Failed send message: %s [%d]\n", std::strerror(errno), static_cast<int>(count));
    }
    m_wdmon->wdm_notify(0);
  }
  return 0;
}
