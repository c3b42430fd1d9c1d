// Card state machine, self tests and port LEDs of the controller. Runs on
// the main thread under the process-wide mutex, one step per tick.
#include <cstring>

#include "Ifc.h"
#include "drivermsg/hwMessages.h"
#include "drivermsg/pca9552Wire.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

namespace {

// Ticks allowed for starting the self tests and for their results.
constexpr uint32_t kSelfTestTickLimit = 10;
// The lamp test ends once the counter passes this.
constexpr uint32_t kAllLedsOnTicks = 5;

}  // namespace

unsigned Ifc::ledForPort(unsigned port) {
  return port >= 1 && port <= pca9552::NBR_OF_PORTS ? pca9552::PORT_LED_PIN[port - 1] : 0;
}

void Ifc::setSelfTestStatus(SelfTestId id, SelfTestStatus status) {
  if (!(id < SELF_TEST_NBR)) {
    FXS_ASSERT(id < SELF_TEST_NBR,
               "void Ifc::setSelfTestStatus(Ifc::SelfTestId, Ifc::SelfTestStatus)");
    return;
  }
  if (status == FAILED)
    LOG_ERROR("%s failed", selfTestName(id));
  else if (status == SUCCEEDED)
    LOG_INFO("%s succeeded", selfTestName(id));
  m_selfTestStatus[id] = status;
}

bool Ifc::sendToI2cDrv(const std::vector<uint8_t>& msg) {
  return m_txQueues[1] != nullptr && m_txQueues[1]->send(msg.data(), msg.size(), 0);
}

bool Ifc::startSelfTests() {
  // Lamp test: every LED on while the tests run.
  bool ledsOk = false;
  if (m_ledIfc.canExecuteRequests(false)) {
    m_ledIfc.allLedsOn(false);
    ledsOk = m_ledIfc.updateLeds();
  }
  bool adcOk = sendToI2cDrv(hwmsg::adcSelfTestRequest());
  setSelfTestStatus(SELF_TEST_ADC, adcOk ? STARTED : NOT_STARTED);
  bool tempOk = sendToI2cDrv(hwmsg::tempSelfTestRequest());
  setSelfTestStatus(SELF_TEST_TEMP, tempOk ? STARTED : NOT_STARTED);
  bool pcaOk = m_ledIfc.doSelfTests();
  setSelfTestStatus(SELF_TEST_PCA9552_DEVICE, pcaOk ? STARTED : NOT_STARTED);
  bool ok = ledsOk && adcOk && tempOk && pcaOk;
  if (ok)
    LOG_INFO("selftests started");
  else
    LOG_INFO("Failed to start selftests");
  return ok;
}

void Ifc::handleSelfTests() {
  switch (m_state.load()) {
    case START_SELF_TESTS:
      if (++m_selftestTimer > kSelfTestTickLimit) {
        LOG_ERROR("Failed to start selftests");
        setFsmState(ACTIVE);
      } else if (startSelfTests()) {
        setFsmState(SELF_TESTS_BUSY);
        m_selftestTimer = 0;
        m_allLedsOnCntr = 1;
      }
      break;
    case SELF_TESTS_BUSY: {
      bool allResults = true;
      for (const auto& s : m_selfTestStatus)
        allResults = allResults && s.load() > STARTED;
      if (allResults) {
        setFsmState(ACTIVE_ALL_LEDS_ON);
      } else if (m_selftestTimer > kSelfTestTickLimit) {
        LOG_ERROR("Failed to receive self test results within timeout period");
        setFsmState(FAIL);
      }
      ++m_selftestTimer;
      break;
    }
    case ACTIVE_ALL_LEDS_ON:
      if (m_allLedsOnCntr > kAllLedsOnTicks) {
        m_allLedsOnCntr = 0;
        setFsmState(ACTIVE);
      }
      break;
    default:
      break;
  }
  if (m_allLedsOnCntr != 0)
    ++m_allLedsOnCntr;
}

bool Ifc::updateLeds() {
  if (m_state != ACTIVE)
    return true;
  if (!m_ledIfc.updateLeds()) {
    LOG_ERROR("Unable to update LEDs");
    return false;
  }
  return true;
}

void Ifc::handleTimerTick(int, const char*) {
  // The tick count it carries is not needed.
  if (m_state != ACTIVE)
    handleSelfTests();
  m_card.switchOffCardLeds(m_ledIfc);
  updateLeds();
  publishLeds();
  m_icsc.eventHandler();
}

void Ifc::publishLeds() {
  constexpr uint16_t kDriven = LedInterface::LED_PIN_MASK;
  m_scCommon.setLeds(m_ledIfc.steadyLeds() & kDriven, m_ledIfc.slowLeds() & kDriven,
                     m_ledIfc.fastLeds() & kDriven);
}

void Ifc::handlePortLedMsg(int len, const char* msg) {
  size_t needed = 0;
  auto m = hwmsg::decodePortLed(reinterpret_cast<const uint8_t*>(msg),
                                len > 0 ? static_cast<size_t>(len) : 0, &needed);
  if (!m) {
    LOG_ERROR_LIMITED("port status message of %d bytes is shorter than %zu, dropped", len, needed);
    return;
  }
  m_card.m_vocalAlarm = m->vocalAlarm;
  for (unsigned port = 1; port <= pca9552::NBR_OF_PORTS; ++port) {
    unsigned bit = port - 1;
    bool a = (m->wordA >> bit) & 1u;
    bool b = ((m->wordB >> bit) & 1u) || ((m->wordB >> (bit + 8)) & 1u);
    unsigned led = ledForPort(port);
    if (!a && !b)
      m_ledIfc.ledOn(led, true, false);
    else if (!a && b)
      m_ledIfc.ledOff(led);
    else if (a && !b)
      m_ledIfc.ledOn(led, true, true);
    else
      m_ledIfc.ledOn(led, false, false);
  }
  m_ledIfc.updateLeds();
  publishLeds();
}

bool Ifc::checkForHwFail() {
  ErrorState state;
  if (!m_card.m_hwErrMon.getHighwater(state)) {
    LOG_CRITICAL("Cannot get error state\n");
    return false;
  }
  return true;
}

bool Ifc::checkForOperFail() {
  ErrorState state;
  if (!m_card.m_operErrMon.getHighwater(state)) {
    LOG_CRITICAL("Cannot get error state\n");
    return false;
  }
  return true;
}
