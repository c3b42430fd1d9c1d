#include "ledInterface.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

namespace {

constexpr const char* kDisplayNames[LedInterface::NBR_OF_LEDS] = {
    "LED Dummy",     "LED Fail",      "SLOTNUM0",   "SLOTNUM1",   "SLOTNUM2",   "SLOTNUM3",
    "n_OK_IFC_CTR1", "n_OK_IFC_CTR2", "LED Port 1", "LED Port 5", "LED Port 2", "LED Port 6",
    "LED Port 3",    "LED Port 7",    "LED Port 4", "LED Port 8",
};

// Parses a console LED id (base 0); false when it is not a pin number.
bool parseLedId(const char* arg, unsigned& id) {
  if (arg == nullptr)
    return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(arg, &end, 0);
  if (errno != 0 || end == arg || v < 0 || v >= static_cast<long>(LedInterface::NBR_OF_LEDS))
    return false;
  id = static_cast<unsigned>(v);
  return true;
}

}  // namespace

LedInterface::LedInterface(int msgId)
    : Odebug::Cdebugable("led"),
      m_msgId(msgId),
      m_sockfd(0),
      m_bInitialized(false),
      m_ownLink(std::make_unique<UnixLedDriverLink>()),
      m_link(m_ownLink.get()),
      m_dbgInternals(this),
      m_dbgSetLedOff(this),
      m_dbgSetLedOn(this),
      m_dbgStatus(this) {}

LedInterface::LedInterface(int msgId, LedDriverLink* link)
    : Odebug::Cdebugable("led"),
      m_msgId(msgId),
      m_sockfd(0),
      m_bInitialized(false),
      m_ownLink(link == nullptr ? std::make_unique<UnixLedDriverLink>() : nullptr),
      m_link(link == nullptr ? m_ownLink.get() : link),
      m_dbgInternals(this),
      m_dbgSetLedOff(this),
      m_dbgSetLedOn(this),
      m_dbgStatus(this) {}

LedInterface::~LedInterface() {
  LOG_DEBUG1("called");
  m_link->close(OWN_SOCKET_PATH);
}

bool LedInterface::initLedInterface() {
  std::string error;
  if (!m_link->create(m_sockfd, error)) {
    LOG_ERROR("Failed to create socket: %s", error.c_str());
    return false;
  }
  if (!m_link->bind(OWN_SOCKET_PATH, error)) {
    LOG_ERROR("Failed to bind socket: %s", error.c_str());
    return false;
  }
  m_bInitialized = true;
  LOG_INFO("Initialized interface to pca9552Driver");
  return true;
}

bool LedInterface::canExecuteRequests(bool loud) {
  if (!m_bInitialized) {
    LOG_ERROR("m_bInitialized == false => unable to send message to pca9552Driver");
    return false;
  }
  if (m_link->peerPresent(DRIVER_SOCKET_PATH))
    return true;
  if (loud) {
    LOG_ERROR_LIMITED("pca9552Driver is not listening");
  } else {
    LOG_DEBUG1("pca9552Driver is not listening");
  }
  return false;
}

void LedInterface::ledOn(unsigned ledId, bool blinking, bool fast) {
  if (ledId >= NBR_OF_LEDS) {
    LOG_ERROR("led %u is not a pca9552 pin, ignored", ledId);
    return;
  }
  m_leds.reset(ledId);
  m_blinkingLeds_slow.reset(ledId);
  m_blinkingLeds_fast.reset(ledId);
  if (!blinking)
    m_leds.set(ledId);
  else if (fast)
    m_blinkingLeds_fast.set(ledId);
  else
    m_blinkingLeds_slow.set(ledId);
  LOG_DEBUG1("led %d %s %s", static_cast<int>(ledId), blinking ? "blinking" : "on",
             fast ? "fast" : "slow");
}

void LedInterface::ledOff(unsigned ledId) {
  if (ledId >= NBR_OF_LEDS) {
    LOG_ERROR("led %u is not a pca9552 pin, ignored", ledId);
    return;
  }
  m_leds.reset(ledId);
  m_blinkingLeds_slow.reset(ledId);
  m_blinkingLeds_fast.reset(ledId);
  LOG_DEBUG2("led %d off", static_cast<int>(ledId));
}

void LedInterface::allLedsOn(bool blinking) {
  // Only the steady lamp test is used; blinking all LEDs has no caller.
  m_blinkingLeds_slow.reset();
  m_blinkingLeds_fast.reset();
  m_leds.reset();
  if (blinking)
    m_blinkingLeds_slow.set();
  else
    m_leds.set();
  LOG_DEBUG1("all leds on");
}

void LedInterface::allLedsOff() {
  m_leds.reset();
  m_blinkingLeds_slow.reset();
  m_blinkingLeds_fast.reset();
  LOG_DEBUG1("all leds off");
}

bool LedInterface::sendRequest(uint16_t command, uint16_t pins, uint16_t value,
                               std::string& error) {
  pca9552::Pca9552Request req;
  req.command = command;
  req.deviceId = 0;
  req.pinMask = pins;
  req.value = value;
  req.replyMode = pca9552::REPLY_MODE;
  req.replyMsgId = static_cast<uint16_t>(m_msgId);
  req.replyQueue = mainqueue::NAME;
  pca9552::RequestBytes bytes = pca9552::encodeRequest(req);
  return m_link->sendTo(DRIVER_SOCKET_PATH, bytes.data(), bytes.size(), error);
}

bool LedInterface::setPca9552Leds(unsigned pins, unsigned value) {
  if (!canExecuteRequests(true))
    return false;
  LOG_DEBUG2("leds: 0x%x, value: %d", pins, static_cast<int>(value));
  std::string error;
  if (!sendRequest(pca9552::SetOutputValueOfSelectedPinsRequest,
                   static_cast<uint16_t>(pins & LED_PIN_MASK), static_cast<uint16_t>(value),
                   error)) {
    // Four per tick while the driver hangs: a flood.
    LOG_ERROR_LIMITED("Failed to send msg to pca9552Driver to set pins 0x%x: %s", pins,
                      error.c_str());
    return false;
  }
  return true;
}

bool LedInterface::updateLeds() {
  LOG_DEBUG2("m_leds: 0x%x, m_blinkingLeds_slow: 0x%x, m_blinkingLeds_fast: 0x%x", steadyLeds(),
             slowLeds(), fastLeds());
  unsigned off = ~(steadyLeds() | slowLeds() | fastLeds()) & 0xFFFFu;
  bool ok = setPca9552Leds(off, pca9552::OFF);
  ok = setPca9552Leds(steadyLeds(), pca9552::ON) && ok;
  ok = setPca9552Leds(slowLeds(), pca9552::BLINK_RATE_0) && ok;
  ok = setPca9552Leds(fastLeds(), pca9552::BLINK_RATE_1) && ok;
  return ok;
}

bool LedInterface::doSelfTests() {
  if (!canExecuteRequests(true))
    return false;
  std::string error;
  if (!sendRequest(pca9552::DoSelfTestsOnAllDevicesRequest, 0, 0, error)) {
    LOG_ERROR_LIMITED("Failed to send msg to pca9552Driver to request self tests: %s",
                      error.c_str());
    return false;
  }
  return true;
}

const char* LedInterface::displayName(unsigned ledId) {
  return ledId < NBR_OF_LEDS ? kDisplayNames[ledId] : "Unknown port";
}

void LedInterface::dbgStatus(std::ostream& os) const {
  os << "m_leds:" << std::hex << steadyLeds() << "\n";
  for (unsigned id = 0; id < NBR_OF_LEDS; ++id)
    os << "\t" << displayName(id) << " (ledId " << id
       << "): " << (m_leds.test(id) ? "On\n" : "Off\n");
  os << std::dec;
}

void LedInterface::dbgLedOn(const char* arg, std::ostream& os) {
  unsigned id = 0;
  if (!parseLedId(arg, id)) {
    os << "Wrong LED id to put on\n";
    return;
  }
  ledOn(id, false, false);
  updateLeds();
  os << "LED " << displayName(id) << " put on successfully\n";
}

void LedInterface::dbgLedOff(const char* arg, std::ostream& os) {
  unsigned id = 0;
  if (!parseLedId(arg, id)) {
    os << "Wrong LED id to put off\n";
    return;
  }
  ledOff(id);
  updateLeds();
  os << "LED " << displayName(id) << " put off successfully\n";
}

void LedInterface::dbgInternals(std::ostream& os) const {
  os << "LedInterface:"
     << "\n- m_msgId        = " << m_msgId << "\n- m_sockfd       = " << m_sockfd
     << "\n- m_bInitialized = " << (m_bInitialized ? 1 : 0);
}

LedInterface::DbgInternals::DbgInternals(LedInterface* led)
    : CdebugCommand(led, "internals", 0, 0, led) {}
void LedInterface::DbgInternals::command(unsigned, char* const*, std::ostringstream& os,
                                         void* context) {
  static_cast<LedInterface*>(context)->dbgInternals(os);
}
void LedInterface::DbgInternals::help(std::ostringstream& os) {
  os << "internal:\n\tShow LED interface internals\n";
}

LedInterface::DbgSetLedOff::DbgSetLedOff(LedInterface* led)
    : CdebugCommand(led, "ledOff", 1, 1, led) {}
void LedInterface::DbgSetLedOff::command(unsigned argc, char* const* argv, std::ostringstream& os,
                                         void* context) {
  static_cast<LedInterface*>(context)->dbgLedOff(argc > 0 ? argv[0] : nullptr, os);
}
void LedInterface::DbgSetLedOff::help(std::ostringstream& os) {
  os << "ledOff <ledId>:\n\tPut LED <ledId> off\n";
}

LedInterface::DbgSetLedOn::DbgSetLedOn(LedInterface* led)
    : CdebugCommand(led, "ledOn", 1, 1, led) {}
void LedInterface::DbgSetLedOn::command(unsigned argc, char* const* argv, std::ostringstream& os,
                                        void* context) {
  static_cast<LedInterface*>(context)->dbgLedOn(argc > 0 ? argv[0] : nullptr, os);
}
void LedInterface::DbgSetLedOn::help(std::ostringstream& os) {
  os << "ledOn <ledId>:\n\tPut LED <ledId> on\n";
}

LedInterface::DbgStatus::DbgStatus(LedInterface* led) : CdebugCommand(led, "status", 0, 0, led) {}
void LedInterface::DbgStatus::command(unsigned, char* const*, std::ostringstream& os,
                                      void* context) {
  static_cast<LedInterface*>(context)->dbgStatus(os);
}
void LedInterface::DbgStatus::help(std::ostringstream& os) {
  os << "status:\n\tShow general LED interface status\n";
}
