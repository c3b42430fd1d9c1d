#include "CardObjects.h"

#include "ledInterface.h"
#include "trace/TraceObject.h"

CardObjects::CardObjects() = default;

CardObjects::~CardObjects() = default;

bool CardObjects::allDataValid() {
  if (m_all_data_valid)
    return true;
  m_all_data_valid =
      m_max6602StatusValid && m_adcStatusValid && m_pca9552StatusValid && m_pwrmonStatusValid > 0;
  return m_all_data_valid;
}

bool CardObjects::switchOffCardLeds(LedInterface& leds) {
  leds.ledOff(0);
  leds.ledOff(1);
  return true;
}

void CardObjects::dumpMembers(std::ostream& os) const {
  os << std::boolalpha;
  os << "g_traceObject      = " << static_cast<const void*>(g_traceObject) << "\n";
  os << "m_all_data_valid   = " << m_all_data_valid << "\n";
  os << "  m_max6602StatusValid        = " << m_max6602StatusValid << "\n";
  os << "  m_adcStatusValid            = " << m_adcStatusValid << "\n";
  os << "  m_ntrStatusValid            = " << m_ntrStatusValid << "\n";
  os << "  m_pca9552StatusValid        = " << m_pca9552StatusValid << "\n";
  os << "  m_pwrmonStatusValid         = " << (m_pwrmonStatusValid > 0) << "\n";
  os << std::noboolalpha;
}
