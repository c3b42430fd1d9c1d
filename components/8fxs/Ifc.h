// The card controller: owns every long-lived part of the process "main" and
// runs the main loop over "/queueToMain". One instance per process.
//
// Members are declared in construction order (watchdog, timestamper,
// status, registry, protocol engine, LED client) so that teardown is the
// exact reverse.
#pragma once

#include <atomic>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "CardObjects.h"
#include "common/commonStatCtrl.h"
#include "debug/Odebug.h"
#include "drivermsg/mainQueue.h"
#include "icsc/IcscProtocol.h"
#include "ledInterface.h"
#include "mq/MessageQueue.h"
#include "net/NetworkManagerInterface.h"
#include "timestamper.h"
#include "watchdog/watchdogMonitor.h"

class Ifc : public Odebug::Cdebugable {
 public:
  static constexpr unsigned kWatchdogTimeoutMs = 60000;
  static constexpr unsigned kTickPeriodMs = 1000;
  static constexpr int kCardType = 15;
  static constexpr unsigned kNbrTempSensors = 5;
  static constexpr unsigned kNbrVoltageSensors = 7;
  static constexpr unsigned kNbrHwErrors = 6;
  static constexpr unsigned kNbrOperErrors = 3;
  static constexpr unsigned kDbgMaxTokens = 8;
  static constexpr unsigned kDbgTokenSize = 64;

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
  ~Ifc() override;
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
  IcscProtocolIfc& icsc() { return m_icsc; }

  // Card state machine and self tests, driven by the one-second tick.
  void setSelfTestStatus(SelfTestId id, SelfTestStatus status);
  bool startSelfTests();
  void handleSelfTests();
  bool updateLeds();
  // What the LEDs show, for the chassis (common object "card state").
  void publishLeds();
  void handleTimerTick(int len, const char* msg);
  void handlePortLedMsg(int len, const char* msg);
  static unsigned ledForPort(unsigned port);
  bool checkForHwFail();
  bool checkForOperFail();

  // Hardware reports from the I2C and pca9552 drivers.
  bool setHwError(unsigned index, bool active);
  void handleAdcMsg(int len, const char* msg);
  bool handleTempMsg(int len, const char* msg);
  bool handlePwrMon(int len, const char* msg);
  void handlePca9552Msg(int len, const char* msg);

  uint32_t selftestTimer() const { return m_selftestTimer; }
  uint32_t allLedsOnCntr() const { return m_allLedsOnCntr; }
  CardObjects& card() { return m_card; }
  commonStatCtrl& common() { return m_scCommon; }
  LedInterface& leds() { return m_ledIfc; }

  // Splits a debug command text into at most kDbgMaxTokens words of
  // letters, digits and '_', each cut to kDbgTokenSize - 2 characters.
  static unsigned tokenizeDbgCommand(const char* text, char tokens[][kDbgTokenSize]);

 protected:
  // Tests drive the LED client through `ledLink` (not owned) instead of
  // the real socket.
  Ifc(std::string name, LedDriverLink* ledLink);
  // Self-test requests to the I2C driver ("/queueToI2cDrv").
  virtual bool sendToI2cDrv(const std::vector<uint8_t>& msg);

 private:
  struct Dispatch;

  class DbgHwStatus : public Odebug::CdebugCommand {
   public:
    DbgHwStatus(Ifc* ifc);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };

  void registerHardware();
  void reevaluateTempError();

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
  CTimestamper m_timestamper;
  MessageQueue* m_txQueues[2] = {nullptr, nullptr};
  commonStatCtrl m_scCommon;
  CardObjects m_card;
  // Registers the registry's objects at construction.
  IcscProtocolIfc m_icsc;
  LedInterface m_ledIfc;
  // Atomic because the console's "internals" reads them from its own thread.
  std::atomic<uint32_t> m_selftestTimer{0};
  bool m_running = true;
  std::atomic<CardState> m_state{UNINITIALIZED};
  std::atomic<SelfTestStatus> m_selfTestStatus[SELF_TEST_NBR] = {NOT_STARTED, NOT_STARTED,
                                                                 NOT_STARTED};
  std::atomic<uint32_t> m_allLedsOnCntr{0};
  std::string m_name;
  DbgInternals m_dbgInternals;
  DbgHwStatus m_dbgHwStatus;
  bool m_startFailed = false;
};
