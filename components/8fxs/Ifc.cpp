#include "Ifc.h"

#include <pthread.h>

#include <csignal>
#include <cstring>
#include <iterator>

#include "board/boardUtils.h"
#include "drivermsg/dbgMsg.h"
#include "drivermsg/hwMessages.h"
#include "drivermsg/udpQueueMsg.h"
#include "fxsCGetLogEngine.h"
#include "process/executeCommand.h"
#include "signal/StopSignal.h"
#include "thread/Guard.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

namespace {

// Held while one message and the all-data-valid check after it are handled.
pthread_mutex_t s_mainMutex = PTHREAD_MUTEX_INITIALIZER;

// The queues main sends on, created with their receivers' size and depth:
// whichever side starts first, the queue is the same.
struct TxQueue {
  const char* name;
  long msgSize;
  long depth;
};
const TxQueue kTxQueues[] = {
    {udpmsg::UDP_QUEUE, static_cast<long>(udpmsg::MAX_SIZE), udpmsg::UDP_QUEUE_DEPTH},
    {hwmsg::I2C_QUEUE, hwmsg::I2C_QUEUE_MSG_SIZE, hwmsg::I2C_QUEUE_DEPTH},
};

constexpr const char* kStateNames[] = {
    "UNINITIALIZED", "IDLE", "START_SELF_TESTS", "SELF_TESTS_BUSY", "ACTIVE_ALL_LEDS_ON",
    "ACTIVE",        "FAIL",
};
constexpr const char* kSelfTestNames[] = {"SELF_TEST_ADC", "SELF_TEST_TEMP",
                                          "SELF_TEST_PCA9552_DEVICE"};
constexpr const char* kSelfTestStatusNames[] = {"NOT_STARTED", "STARTED", "SUCCEEDED", "FAILED"};
static_assert(std::size(kStateNames) == Ifc::FAIL + 1, "a name per card state");
static_assert(std::size(kSelfTestNames) == Ifc::SELF_TEST_NBR, "a name per self test");
static_assert(std::size(kSelfTestStatusNames) == Ifc::FAILED + 1, "a name per self-test status");

template <size_t N>
const char* nameOf(const char* const (&names)[N], unsigned value, const char* unknown) {
  return value < N ? names[value] : unknown;
}

bool isDbgTokenChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

const uint8_t* bytes(const char* msg) {
  return reinterpret_cast<const uint8_t*>(msg);
}

size_t length(int len) {
  return len > 0 ? static_cast<size_t>(len) : 0;
}

}  // namespace

// The message ids of "/queueToMain" and their handlers.
struct Ifc::Dispatch {
  struct Route {
    uint32_t id;
    void (*handle)(Ifc& ifc, int len, char* msg);
  };
  static constexpr Route kRoutes[] = {
      {MSG_ADC, [](Ifc& ifc, int len, char* msg) { ifc.handleAdcMsg(len, msg); }},
      {MSG_PCA9552, [](Ifc& ifc, int len, char* msg) { ifc.handlePca9552Msg(len, msg); }},
      {MSG_PWRMON, [](Ifc& ifc, int len, char* msg) { ifc.handlePwrMon(len, msg); }},
      {MSG_STOP, [](Ifc& ifc, int, char*) { ifc.stopReceived(); }},
      {MSG_TEMP, [](Ifc& ifc, int len, char* msg) { ifc.handleTempMsg(len, msg); }},
      {MSG_TIMER_TICK, [](Ifc& ifc, int len, char* msg) { ifc.handleTimerTick(len, msg); }},
      {MSG_PORT_LED, [](Ifc& ifc, int len, char* msg) { ifc.handlePortLedMsg(len, msg); }},
      {MSG_UDP, [](Ifc& ifc, int len, char* msg) { ifc.handleUdpMsg(len, msg); }},
      {MSG_DBG, [](Ifc& ifc, int len, char* msg) { ifc.handleDbgMsg(len, msg); }},
  };

  static const Route* find(uint32_t id) {
    for (const Route& r : kRoutes) {
      if (r.id == id)
        return &r;
    }
    return nullptr;
  }
};

const char* Ifc::stateName(unsigned state) {
  return nameOf(kStateNames, state, "UNKNOWN");
}

const char* Ifc::selfTestName(unsigned id) {
  return nameOf(kSelfTestNames, id, "UnknownSelfTest");
}

const char* Ifc::selfTestStatusName(unsigned status) {
  return nameOf(kSelfTestStatusNames, status, "UnknownSelfTestStatus");
}

Ifc::Ifc(std::string name) : Ifc(std::move(name), nullptr) {}

Ifc::Ifc(std::string name, LedDriverLink* ledLink)
    : Odebug::Cdebugable(name),
      m_wdmon(name.c_str()),
      m_timestamper(kTickPeriodMs),
      // commonStatCtrl only stores both pointers, so handing over the
      // registry before it is built is safe. The log engine is handed over:
      // commonStatCtrl keeps it for its lifetime.
      m_scCommon("commonStatCtrl", kCardType, &m_card, kNbrTempSensors, kNbrVoltageSensors,
                 kNbrHwErrors, kNbrOperErrors, new fxsCGetLogEngine()),
      m_icsc(&m_scCommon, &m_card),
      m_ledIfc(MSG_PCA9552, ledLink),
      m_name(std::move(name)),
      m_dbgInternals(this),
      m_dbgHwStatus(this) {
  if (g_traceObject == nullptr)
    g_traceObject = new TraceObject(m_name, 6);
  if (!stopsignal::install(SIGTERM, Ifc::handleSignal))
    LOG_ERROR("Failed to install signal handler");
  m_ledIfc.initLedInterface();
  for (unsigned i = 0; i < 2; ++i) {
    m_txQueues[i] = new MessageQueue(kTxQueues[i].name, kTxQueues[i].msgSize, kTxQueues[i].depth);
    m_txQueues[i]->blocking(false);
  }
  registerHardware();
  for (auto& s : m_selfTestStatus)
    s = NOT_STARTED;
  setFsmState(IDLE);
}

Ifc::~Ifc() {
  LOG_ERROR("Now deleting Ifc\n");
  for (MessageQueue*& q : m_txQueues) {
    delete q;
    q = nullptr;
  }
  if (g_traceObject != nullptr) {
    delete g_traceObject;
    g_traceObject = nullptr;
  }
}

void Ifc::setFsmState(CardState state) {
  CardState old = m_state.exchange(state);
  // The chassis and the front panel read the state over ICSC.
  m_scCommon.setCardState(state, stateName(state));
  if (old != state)
    LOG_INFO("%s -> %s", stateName(old), stateName(state));
}

void Ifc::run() {
  if (m_state != IDLE)
    return;
  MessageQueue inbound(mainqueue::NAME, mainqueue::MAX_MSG_SIZE, mainqueue::DEPTH);
  if (!inbound.isOpen() || inbound.msgSize() > mainqueue::MAX_MSG_SIZE) {
    // A silent failure here would leave a card that never answers anything.
    LOG_CRITICAL("cannot use %s (%s): the card cannot run, stopping", mainqueue::NAME,
                 inbound.isOpen() ? "its messages are larger than 2000 bytes"
                                  : std::strerror(inbound.openError()));
    m_startFailed = true;
    return;
  }
  // The stop message: its id, then zeros to the full message size.
  std::vector<uint8_t> stop = hwmsg::encodeWords({MSG_STOP});
  stop.resize(mainqueue::MAX_MSG_SIZE, 0);
  if (!stopsignal::arm(mainqueue::NAME, stop.data(), stop.size()))
    LOG_ERROR("cannot open %s for the stop signal: SIGTERM stops after the next message",
              mainqueue::NAME);
  if (stopsignal::requested()) {
    // SIGTERM came before the loop: nothing is started, nothing to stop.
    stopReceived();
    stopsignal::disarm();
    return;
  }
  setFsmState(START_SELF_TESTS);
  m_selftestTimer = 0;
  if (!otn::executeCommand("touch /tmp/main.ini", true, nullptr, nullptr, false))
    LOG_ERROR("could not create /tmp/main.ini");
  LOG_INFO("Card is ready");
  m_wdmon.wdm_start(kWatchdogTimeoutMs);
  m_timestamper.start();

  boardUtils board;
  int slot = -1;
  bool allDataValidSeen = false;
  char buffer[mainqueue::MAX_MSG_SIZE];
  for (;;) {
    // Set when the stop message found the queue full.
    if (m_running && stopsignal::requested())
      stopReceived();
    if (!m_running) {
      stopsignal::disarm();
      m_timestamper.stop();
      setFsmState(IDLE);
      return;
    }
    if (allDataValidSeen && slot == -1) {
      int reported = -1;
      if (!board.getSlotNum(reported)) {
        slot = -1;
        // Once per received message: a peer's traffic must not fill the log.
        LOG_ERROR_LIMITED("could not receive slotnumber, wait for driver!");
      } else {
        slot = reported + 1;
        m_scCommon.setSlot(static_cast<unsigned>(slot));
        setupBackplane(slot, *m_card.getNetworkManager());
      }
    }
    m_wdmon.wdm_notify(0);
    ssize_t n = inbound.receive(buffer, sizeof buffer, 0);
    if (n < 1)
      continue;
    if (n < static_cast<ssize_t>(sizeof(uint32_t))) {
      LOG_ERROR_LIMITED("message of %zd bytes on %s has no complete id, dropped", n,
                        mainqueue::NAME);
      continue;
    }
    LOG_DEBUG3("Received %i msg",
               static_cast<int>(hwmsg::msgId(bytes(buffer), static_cast<size_t>(n))));
    Guard guard(s_mainMutex);
    dispatch(static_cast<int>(n), buffer);
    checkForHwFail();
    checkForOperFail();
    if (!allDataValidSeen && m_card.allDataValid()) {
      LOG_INFO("All data valid");
      allDataValidSeen = true;
    }
    trace::flushSuppressed();
  }
}

void Ifc::dispatch(int len, char* msg) {
  uint32_t id = hwmsg::msgId(bytes(msg), length(len));
  if (const Dispatch::Route* r = Dispatch::find(id))
    r->handle(*this, len, msg);
  else
    LOG_ERROR_LIMITED("Unknown msgid %d received\n", static_cast<int>(id));
}

void Ifc::stopReceived() {
  if (int signo = stopsignal::signalNumber())
    LOG_DEBUG("signo=%d => stop running", signo);
  LOG_INFO("stop received");
  m_running = false;
}

int Ifc::handleUdpMsg(int len, const char* msg) {
  udpmsg::UdpQueueMsg m;
  bool complete = udpmsg::decode(bytes(msg), length(len), m);
  LOG_DEBUG3("IP Address received from queue : %.*s Message Length:%d\n",
             static_cast<int>(m.sender.size()), m.sender.data(), len);
  if (!complete) {
    // Nothing is left for the protocol engine: drop it here.
    LOG_ERROR_LIMITED("Message received is too short, Message Length:%d\n", len);
    return 0;
  }
  int result = m_icsc.handleIcscMsg(static_cast<int>(m.icscLen),
                                    reinterpret_cast<const char*>(m.icsc), m.sender.data());
  if (result == 0)
    LOG_ERROR_LIMITED("no need to send response or response send failed!");
  return result;
}

unsigned Ifc::tokenizeDbgCommand(const char* text, char tokens[][kDbgTokenSize]) {
  unsigned count = 0;
  const char* p = text;
  while (*p != '\0' && count < kDbgMaxTokens) {
    if (!isDbgTokenChar(*p)) {
      ++p;
      continue;
    }
    unsigned n = 0;
    for (; isDbgTokenChar(*p); ++p) {
      if (n < kDbgTokenSize - 2)
        tokens[count][n++] = *p;
    }
    tokens[count][n] = '\0';
    ++count;
  }
  return count;
}

int Ifc::handleDbgMsg(int len, char* msg) {
  if (len < 0)
    len = 0;
  if (len < mainqueue::MAX_MSG_SIZE)
    msg[len] = '\0';
  msg[mainqueue::MAX_MSG_SIZE - 1] = '\0';
  char tokens[kDbgMaxTokens][kDbgTokenSize];
  unsigned count = len > 4 ? tokenizeDbgCommand(msg + 4, tokens) : 0;
  char* argv[kDbgMaxTokens];
  for (unsigned i = 0; i < count; ++i) {
    LOG_DEBUG3("Argument %d = %s", static_cast<int>(i), tokens[i]);
    argv[i] = tokens[i];
  }
  if (count > 0)
    dbgFind(count, argv, nullptr, 0);
  sendDbgReady();
  return 0;
}

void Ifc::sendDbgReady() {
  MessageQueue q(dbgmsg::FDEBUG_QUEUE);
  q.blocking(false);
  std::vector<uint8_t> ready = dbgmsg::encode("");
  if (q.send(ready.data(), ready.size(), 0))
    LOG_DEBUG1("Send to %s len %zd", dbgmsg::FDEBUG_QUEUE, ready.size());
}

// Signal context: nothing but the async-signal-safe post of the stop message
// that run() prepared.
void Ifc::handleSignal(int signo) {
  stopsignal::post(signo);
}

Ifc::DbgInternals::DbgInternals(Ifc* ifc) : CdebugCommand(ifc, "internals", 0, 0, ifc) {}

void Ifc::DbgInternals::command(unsigned, char* const*, std::ostringstream& os, void* context) {
  static_cast<Ifc*>(context)->writeInternals(os);
}

void Ifc::DbgInternals::help(std::ostringstream& os) {
  os << "internals:\n"
     << "\tshows general main info\n";
}

void Ifc::writeInternals(std::ostringstream& os) {
  os << "m_state            = " << stateName(m_state) << "\n";
  os << "m_wdmon            = " << static_cast<const void*>(&m_wdmon) << "\n";
  os << "m_scCommon         = " << static_cast<const void*>(&m_scCommon) << "\n";
  os << "m_card             = " << static_cast<const void*>(&m_card) << "\n";
  os << "m_icsc             = " << static_cast<const void*>(&m_icsc) << "\n";
  os << "\n";
  os << "m_selftestTimer    = " << m_selftestTimer << "\n";
  os << "m_allLedsOnCntr    = " << m_allLedsOnCntr << "\n";
  os << "\n";
  for (unsigned i = 0; i < SELF_TEST_NBR; ++i)
    os << selfTestName(i) << ": " << selfTestStatusName(m_selfTestStatus[i]) << "\n";
  os << "\n";
  for (MessageQueue* q : m_txQueues) {
    if (q != nullptr)
      q->dbgInfo(os);
  }
  os << "\n";
  char wd[4096];
  wd[0] = '\0';
  m_wdmon.wdm_dbg(wd, 4095);
  os << wd << "\n\n";
  m_card.dumpMembers(os);
}
