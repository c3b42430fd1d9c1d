// The card controller: owns every long-lived part of the process "main" and
// runs the main loop over "/queueToMain". One instance per process.
//
// Members are declared in construction order; later parts of the card join
// in their place (watchdog, timestamper, status, registry, protocol engine,
// LED client) so that teardown stays the exact reverse.
#pragma once

#include <atomic>
#include <cstdint>
#include <sstream>
#include <string>

#include "CardObjects.h"
#include "debug/Odebug.h"
#include "icsc/IcscProtocol.h"
#include "mq/MessageQueue.h"
#include "net/NetworkManagerInterface.h"
#include "watchdog/watchdogMonitor.h"

// Ids of the messages on "/queueToMain" (first 32-bit word of each).
enum MainMsgId : uint32_t {
  MSG_ADC = 0,
  MSG_PCA9552 = 7,
  MSG_PWRMON = 19,
  MSG_STOP = 23,
  MSG_TEMP = 26,
  MSG_TIMER_TICK = 27,
  MSG_UDP = 28,
  MSG_PORT_LED = 29,
  MSG_DBG = 900,
};

class Ifc : public Odebug::Cdebugable {
 public:
  static constexpr const char* kMainQueueName = "/queueToMain";
  static constexpr const char* kFdebugQueueName = "/queueToFdebug";
  static constexpr long kMaxMsgSize = 2000;
  static constexpr long kMainQueueDepth = 30;
  static constexpr unsigned kWatchdogTimeoutMs = 60000;
  static constexpr unsigned kDbgMaxTokens = 8;
  static constexpr unsigned kDbgTokenSize = 64;
  // Received length of message 28 up to the end of the sender's address.
  static constexpr int kUdpHeaderLen = 19;

  enum CardState : unsigned {
    UNINITIALIZED = 0,
    IDLE = 1,
    START_SELF_TESTS = 2,
    SELF_TESTS_BUSY = 3,
    ACTIVE_ALL_LEDS_ON = 4,
    ACTIVE = 5,
    FAIL = 6,
  };
  enum SelfTestId : unsigned {
    SELF_TEST_ADC = 0,
    SELF_TEST_TEMP = 1,
    SELF_TEST_PCA9552_DEVICE = 2,
    SELF_TEST_NBR = 3,
  };
  enum SelfTestStatus : unsigned {
    NOT_STARTED = 0,
    STARTED = 1,
    SUCCEEDED = 2,
    FAILED = 3,
  };
  static const char* stateName(unsigned state);
  static const char* selfTestName(unsigned id);
  static const char* selfTestStatusName(unsigned status);

  explicit Ifc(std::string name);
  virtual ~Ifc();
  Ifc(const Ifc&) = delete;
  Ifc& operator=(const Ifc&) = delete;

  void run();
  static void handleSignal(int signo);

  int handleUdpMsg(int len, const char* msg);
  // `msg` is the 2000-byte receive buffer; the command text is terminated
  // in place.
  int handleDbgMsg(int len, char* msg);
  void sendDbgReady();

  // Step of the main loop for one received message (id already readable):
  // the handler of its id, or the unknown-id log line.
  void dispatch(int len, char* msg);

  void setFsmState(CardState state);
  CardState state() const { return m_state; }
  SelfTestStatus selfTestStatus(SelfTestId id) const { return m_selfTestStatus[id]; }
  bool running() const { return m_running; }
  // True when run() could not create the inbound queue.
  bool startFailed() const { return m_startFailed; }
  CardObjects& card() { return m_card; }
  IcscProtocolIfc& icsc() { return m_icsc; }

  // Splits a debug command text into at most kDbgMaxTokens words of
  // letters, digits and '_', each cut to kDbgTokenSize - 2 characters.
  static unsigned tokenizeDbgCommand(const char* text, char tokens[][kDbgTokenSize]);

 private:
  struct Dispatch;

  class DbgInternals : public Odebug::CdebugCommand {
   public:
    DbgInternals(Ifc* ifc);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };

  void stopReceived();
  // Backplane and data-channel bring-up for `slot` (counted from 1); runs
  // once per process (IfcBackplane.cpp).
  void setupBackplane(int slot, NetworkManagerInterface& networkManager);
  bool setupIpRules();
  void writeInternals(std::ostringstream& os);

  watchdogMonitor m_wdmon;
  // m_timestamper joins here (timestamp thread, period 1000 ms).
  MessageQueue* m_txQueues[2] = {nullptr, nullptr};
  // m_scCommon joins here, before the registry.
  CardObjects m_card;
  // Registers the registry's objects at construction.
  IcscProtocolIfc m_icsc;
  // m_ledIfc joins here.
  // Atomic because the console's "internals" reads them from its own thread.
  std::atomic<uint32_t> m_selftestTimer{0};
  bool m_running = true;
  std::atomic<CardState> m_state{UNINITIALIZED};
  std::atomic<SelfTestStatus> m_selfTestStatus[SELF_TEST_NBR] = {NOT_STARTED, NOT_STARTED,
                                                                 NOT_STARTED};
  std::atomic<uint32_t> m_allLedsOnCntr{0};
  std::string m_name;
  DbgInternals m_dbgInternals;
  bool m_startFailed = false;
};
