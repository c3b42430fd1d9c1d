// What the card's front panel shows, rebuilt from the set-pins requests the
// LED driver stand-in receives: per pin the last output value it was told.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "drivermsg/pca9552Wire.h"

// The LEDs on the card's front: fail, dummy, then ports 1..8, each with the
// LED driver pin the card drives it on.
struct PanelLed {
  const char* label;
  unsigned pin;
};
constexpr unsigned kPanelLeds = 10;
extern const PanelLed kPanel[kPanelLeds];

class FrontPanel {
 public:
  FrontPanel();
  // Applies one request; returns true when a driven LED changed.
  bool apply(const pca9552::Pca9552Request& req);
  uint16_t value(unsigned pin) const { return m_value[pin]; }
  // Active hardware alarms of the card, as read over ICSC.
  void setAlarms(const std::vector<std::string>& alarms) { m_alarms = alarms; }
  // One line: state, then fail, dummy and ports 1..8 with on/off/slow/fast,
  // then the active alarms (names with '_' for blanks, ',' between; "-" for
  // none).
  std::string line(const std::string& cardState) const;
  // A boxed drawing for a terminal; `phase` animates the blinking LEDs.
  std::string drawing(const std::string& cardState, unsigned phase) const;

 private:
  std::array<uint16_t, 16> m_value;
  std::vector<std::string> m_alarms;
};
