#include "FrontPanel.h"

#include <iomanip>
#include <sstream>

using pca9552::PORT_LED_PIN;
const PanelLed kPanel[kPanelLeds] = {
    {"FAIL", pca9552::FAIL_LED_PIN}, {"DUMMY", pca9552::DUMMY_LED_PIN}, {"P1", PORT_LED_PIN[0]},
    {"P2", PORT_LED_PIN[1]},         {"P3", PORT_LED_PIN[2]},           {"P4", PORT_LED_PIN[3]},
    {"P5", PORT_LED_PIN[4]},         {"P6", PORT_LED_PIN[5]},           {"P7", PORT_LED_PIN[6]},
    {"P8", PORT_LED_PIN[7]},
};
static_assert(kPanelLeds == 2 + pca9552::NBR_OF_PORTS);

namespace {

const char* word(uint16_t v) {
  switch (v) {
    case pca9552::ON:
      return "on";
    case pca9552::BLINK_RATE_0:
      return "slow";
    case pca9552::BLINK_RATE_1:
      return "fast";
    default:
      return "off";
  }
}

bool lit(uint16_t v, unsigned phase) {
  switch (v) {
    case pca9552::ON:
      return true;
    case pca9552::BLINK_RATE_0:
      return (phase / 4) % 2 == 0;
    case pca9552::BLINK_RATE_1:
      return phase % 2 == 0;
    default:
      return false;
  }
}

}  // namespace

FrontPanel::FrontPanel() {
  m_value.fill(pca9552::OFF);
}

bool FrontPanel::apply(const pca9552::Pca9552Request& req) {
  if (req.command != pca9552::SetOutputValueOfSelectedPinsRequest || req.value > 3)
    return false;
  bool changed = false;
  for (unsigned pin = 0; pin < 16; ++pin) {
    if ((req.pinMask & (1u << pin)) && m_value[pin] != req.value) {
      m_value[pin] = req.value;
      changed = true;
    }
  }
  return changed;
}

std::string FrontPanel::line(const std::string& cardState) const {
  std::ostringstream os;
  os << "panel: state=" << cardState;
  for (const auto& led : kPanel)
    os << " " << led.label << "=" << word(m_value[led.pin]);
  os << " alarms=";
  for (size_t i = 0; i < m_alarms.size(); ++i) {
    std::string name = m_alarms[i];
    for (char& c : name)
      c = c == ' ' ? '_' : c;
    os << (i ? "," : "") << name;
  }
  if (m_alarms.empty())
    os << "-";
  return os.str();
}

std::string FrontPanel::drawing(const std::string& cardState, unsigned phase) const {
  std::ostringstream os;
  os << "---------------- 8fxs front panel ----------------\n";
  os << " card state: " << cardState << "\n";
  os << " hardware alarms: ";
  for (size_t i = 0; i < m_alarms.size(); ++i)
    os << (i ? ", " : "") << m_alarms[i];
  os << (m_alarms.empty() ? "none\n\n" : "\n\n");
  for (const auto& led : kPanel)
    os << " " << std::left << std::setw(6) << led.label;
  os << "\n";
  for (const auto& led : kPanel) {
    bool on = lit(m_value[led.pin], phase);
    const char* colour = led.pin == pca9552::FAIL_LED_PIN ? "\033[1;31m" : "\033[1;32m";
    os << " " << (on ? colour : "") << (on ? "(*)" : "( )") << (on ? "\033[0m" : "") << "   ";
  }
  os << "\n";
  for (const auto& led : kPanel)
    os << " " << std::left << std::setw(6) << word(m_value[led.pin]);
  os << "\n--------------------------------------------------\n";
  return os.str();
}
