// What the I2C driver stand-in reports to the card: its sensor readings and
// the results it answers self-test requests with. The fault switches set
// them at start; a report handed to the stand-in at run time (./dev inject)
// replaces the matching part, so the periodic reports that follow say the
// same as the injected one.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "drivermsg/hwMessages.h"

namespace i2cdrv {

// Where the running stand-in takes reports to adopt (Unix datagrams).
constexpr const char* kControlSocket = "/tmp/sim_i2cdrv.ctl";

struct Readings {
  std::array<int32_t, hwmsg::NBR_OF_TEMP_SENSORS> temperature{38, 39, 40, 41, 42};
  std::array<int32_t, hwmsg::NBR_OF_TEMP_SENSORS> sensorStatus{1, 1, 1, 1, 1};  // 0: failed
  int32_t power = 2700;
  int32_t adcSelfTest = 1;  // 1 passed, anything else failed
  int32_t tempSelfTest = 1;
  hwmsg::PowerMonitorMsg pwrmon = healthyPowerMonitor();

  static hwmsg::PowerMonitorMsg healthyPowerMonitor();
};

// One period's reports, in sending order: each sensor's temperature and
// status (properties 0 and 1), the ADC power, the power monitor.
std::vector<std::vector<uint8_t>> periodicReports(const Readings& r);

// The answer to a self-test request; empty for a request that is none.
std::vector<uint8_t> selfTestAnswer(const Readings& r, const uint8_t* request, size_t len);

// Takes over what a report of this driver says; false, with nothing
// changed, for anything else (another message, a short one, a sensor that
// does not exist).
bool adopt(Readings& r, const uint8_t* msg, size_t len);

}  // namespace i2cdrv
