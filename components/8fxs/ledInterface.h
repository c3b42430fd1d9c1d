// Client of the pca9552 LED driver process. Keeps the wanted LED state in
// three pin sets (steady, slow blink, fast blink) and pushes the whole model
// in four set-pins requests. Replies arrive as message 7 on "/queueToMain".
// Also the "led" console group.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <ostream>

#include "debug/Odebug.h"
#include "drivermsg/mainQueue.h"
#include "drivermsg/pca9552Wire.h"
#include "led/LedDriverLink.h"

class LedInterface : public Odebug::Cdebugable {
 public:
  static constexpr unsigned NBR_OF_LEDS = 16;
  // Only the fail/dummy LEDs and the eight port LEDs are ever driven; the
  // slot-number pins 2..5 are inputs.
  static constexpr uint16_t LED_PIN_MASK = 0xFF03;
  static constexpr const char* OWN_SOCKET_PATH = pca9552::CARD_SOCKET_PATH;
  static constexpr const char* DRIVER_SOCKET_PATH = pca9552::DRIVER_SOCKET_PATH;

  explicit LedInterface(int msgId);
  // Uses `link` (not owned) instead of the real socket when it is not null.
  LedInterface(int msgId, LedDriverLink* link);
  ~LedInterface() override;
  LedInterface(const LedInterface&) = delete;
  LedInterface& operator=(const LedInterface&) = delete;

  bool initLedInterface();
  bool canExecuteRequests(bool loud);

  void ledOn(unsigned ledId, bool blinking, bool fast);
  void ledOff(unsigned ledId);
  void allLedsOn(bool blinking);
  void allLedsOff();

  bool setPca9552Leds(unsigned pins, unsigned value);
  bool updateLeds();
  bool doSelfTests();

  static const char* displayName(unsigned ledId);

  // Console command bodies of the "led" group.
  void dbgStatus(std::ostream& os) const;
  void dbgLedOn(const char* arg, std::ostream& os);
  void dbgLedOff(const char* arg, std::ostream& os);
  void dbgInternals(std::ostream& os) const;

  uint16_t steadyLeds() const { return static_cast<uint16_t>(m_leds.to_ulong()); }
  uint16_t slowLeds() const { return static_cast<uint16_t>(m_blinkingLeds_slow.to_ulong()); }
  uint16_t fastLeds() const { return static_cast<uint16_t>(m_blinkingLeds_fast.to_ulong()); }
  bool initialized() const { return m_bInitialized; }

 private:
  class DbgInternals : public Odebug::CdebugCommand {
   public:
    explicit DbgInternals(LedInterface* led);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };
  class DbgSetLedOff : public Odebug::CdebugCommand {
   public:
    explicit DbgSetLedOff(LedInterface* led);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };
  class DbgSetLedOn : public Odebug::CdebugCommand {
   public:
    explicit DbgSetLedOn(LedInterface* led);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };
  class DbgStatus : public Odebug::CdebugCommand {
   public:
    explicit DbgStatus(LedInterface* led);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };

  bool sendRequest(uint16_t command, uint16_t pins, uint16_t value, std::string& error);

  int m_msgId;
  int m_sockfd;
  bool m_bInitialized;
  std::unique_ptr<LedDriverLink> m_ownLink;
  LedDriverLink* m_link;
  std::bitset<NBR_OF_LEDS> m_leds;
  std::bitset<NBR_OF_LEDS> m_blinkingLeds_slow;
  std::bitset<NBR_OF_LEDS> m_blinkingLeds_fast;
  DbgInternals m_dbgInternals;
  DbgSetLedOff m_dbgSetLedOff;
  DbgSetLedOn m_dbgSetLedOn;
  DbgStatus m_dbgStatus;
};
