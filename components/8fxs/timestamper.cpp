#include "timestamper.h"

#include <cstring>
#include <string>

#include "drivermsg/hwMessages.h"
#include "thread/BetterSleep.h"
#include "trace/TraceObject.h"
#include "watchdog/watchdogMonitor.h"

namespace {
constexpr const char* kMainQueue = "/queueToMain";
constexpr unsigned kWatchdogMsPerStart = 10000;
}  // namespace

CTimestamper::CTimestamper(unsigned periodMs) : CTimestamper(periodMs, nullptr) {
  m_ownQueue = std::make_unique<PosixTickQueue>();
  m_queue = m_ownQueue.get();
}

CTimestamper::CTimestamper(unsigned periodMs, TickQueue* queue)
    : m_thread(0),
      m_running(true),
      m_wdmon(new watchdogMonitor("timestamper")),
      m_tickCount(0),
      m_periodMs(periodMs),
      m_queue(queue) {}

CTimestamper::~CTimestamper() {
  delete m_wdmon;
}

bool CTimestamper::start() {
  if (pthread_create(&m_thread, nullptr, ThreadStartup, this) != 0) {
    m_thread = 0;
    SWERR("Cannot create thread\n");
    return false;
  }
  return true;
}

bool CTimestamper::stop() {
  m_running = false;
  if (m_thread == 0)
    return true;
  if (pthread_join(m_thread, nullptr) != 0) {
    SWERR("Failed to join\n");
    return false;
  }
  m_thread = 0;
  return true;
}

int CTimestamper::run() {
  if (!m_running)
    return 0;
  std::string error;
  if (!m_queue->open(kMainQueue, error)) {
    SWERR("mq_open %s - %s", kMainQueue, error.c_str());
    m_running = false;
  }
  m_wdmon->wdm_start(kWatchdogMsPerStart * (m_tickCount + 1));
  while (m_running) {
    BetterSleep(m_periodMs / 1000.0);
    uint32_t count = ++m_tickCount;
    std::vector<uint8_t> msg = hwmsg::encodeTick(count);
    if (!m_queue->send(msg.data(), msg.size(), error)) {
      // The tick is lost; the next one carries the next count.
      SWERR("Failed send message: %s [%d]\n", error.c_str(), static_cast<int>(count));
    }
    m_wdmon->wdm_notify(0);
  }
  return 0;
}
