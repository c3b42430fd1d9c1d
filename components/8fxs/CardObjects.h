// The card object registry. This part holds what the controller writes:
// the hardware status values, the two error monitors (hardware and
// operational) and the vocal alarm word; the ICSC objects join it.
#pragma once

#include <cstdint>
#include <ostream>

#include "errMon.h"

class LedInterface;

struct TemperatureRecord {
  int32_t temperature = 0;
  bool statusOk = false;
  bool statusKnown = false;
};

class CardObjects {
 public:
  static constexpr unsigned NBR_OF_TEMPERATURES = 5;

  CardObjects();
  virtual ~CardObjects();
  CardObjects(const CardObjects&) = delete;
  CardObjects& operator=(const CardObjects&) = delete;

  // True once ADC, pca9552 and temperature status are valid and a power
  // monitor report arrived; stays true from then on.
  bool allDataValid();
  // Pins 0 and 1 (dummy and fail) are off in normal operation.
  bool switchOffCardLeds(LedInterface& leds);
  void dumpMembers(std::ostream& os) const;

  // Status values, cleared at construction, written by the controller.
  bool m_all_data_valid = false;
  bool m_adcStatusValid = false;
  bool m_pca9552StatusValid = false;
  bool m_max6602StatusValid = false;
  bool m_ntrStatusValid = false;
  int32_t m_pwrmonStatusValid = 0;  // power-monitor report count
  // Records 0..3: temperatures 1..4; record 4: the sensor's own temperature.
  TemperatureRecord m_temperatures[NBR_OF_TEMPERATURES];
  bool m_tempSelfTestFailed = false;
  int32_t m_power = 0;
  bool m_adcSelfTestFailed = false;

  errMon m_hwErrMon;
  errMon m_operErrMon;
  uint32_t m_vocalAlarm = 0;
};
