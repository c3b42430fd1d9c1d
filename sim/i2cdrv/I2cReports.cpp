#include "I2cReports.h"

namespace i2cdrv {

hwmsg::PowerMonitorMsg Readings::healthyPowerMonitor() {
  constexpr int32_t kNominalMv[hwmsg::NBR_OF_REGULATORS] = {1500, 1100, 1100, 1800,
                                                            3300, 1800, 3300};
  hwmsg::PowerMonitorMsg pm;
  pm.text = "TPS217";
  pm.state = hwmsg::PWRMON_STATE_ACTIVE;
  for (unsigned i = 0; i < hwmsg::NBR_OF_REGULATORS; ++i) {
    pm.valid[i] = 1;
    pm.millivolts[i] = kNominalMv[i];
  }
  return pm;
}

std::vector<std::vector<uint8_t>> periodicReports(const Readings& r) {
  std::vector<std::vector<uint8_t>> out;
  for (unsigned i = 0; i < hwmsg::NBR_OF_TEMP_SENSORS; ++i) {
    out.push_back(hwmsg::encodeTemp(hwmsg::TEMP_PROP_VALUE, i, r.temperature[i]));
    out.push_back(hwmsg::encodeTemp(hwmsg::TEMP_PROP_STATUS, i, r.sensorStatus[i]));
  }
  out.push_back(hwmsg::encodeAdc(hwmsg::ADC_PROP_POWER, r.power));
  out.push_back(hwmsg::encodePwrMon(r.pwrmon));
  return out;
}

std::vector<uint8_t> selfTestAnswer(const Readings& r, const uint8_t* request, size_t len) {
  switch (hwmsg::classifySelfTestRequest(request, len)) {
    case hwmsg::SelfTestKind::ADC:
      return hwmsg::encodeAdc(hwmsg::ADC_PROP_SELFTEST, r.adcSelfTest);
    case hwmsg::SelfTestKind::TEMP:
      return hwmsg::encodeTemp(hwmsg::TEMP_PROP_SELFTEST, 0, r.tempSelfTest);
    case hwmsg::SelfTestKind::NONE:
      break;
  }
  return {};
}

namespace {

bool adoptTemp(Readings& r, const hwmsg::TempSensorMsg& m) {
  switch (m.property) {
    case hwmsg::TEMP_PROP_VALUE:
    case hwmsg::TEMP_PROP_STATUS:
      if (m.sensorIndex >= hwmsg::NBR_OF_TEMP_SENSORS)
        return false;
      (m.property == hwmsg::TEMP_PROP_VALUE ? r.temperature : r.sensorStatus)[m.sensorIndex] =
          m.value;
      return true;
    case hwmsg::TEMP_PROP_SELFTEST:
      r.tempSelfTest = m.value;
      return true;
    case hwmsg::TEMP_PROP_ALL:
      for (unsigned i = 0; i < hwmsg::NBR_OF_TEMP_SENSORS; ++i) {
        r.temperature[i] = m.all[i].temperature;
        r.sensorStatus[i] = m.all[i].status;
      }
      return true;
    default:
      return false;
  }
}

}  // namespace

bool adopt(Readings& r, const uint8_t* msg, size_t len) {
  switch (hwmsg::msgId(msg, len)) {
    case MSG_ADC: {
      auto m = hwmsg::decodeAdc(msg, len);
      if (!m || m->property > hwmsg::ADC_PROP_SELFTEST)
        return false;
      (m->property == hwmsg::ADC_PROP_POWER ? r.power : r.adcSelfTest) = m->value;
      return true;
    }
    case MSG_TEMP: {
      auto m = hwmsg::decodeTemp(msg, len);
      return m && adoptTemp(r, *m);
    }
    case MSG_PWRMON: {
      auto m = hwmsg::decodePwrMon(msg, len);
      if (!m)
        return false;
      r.pwrmon = *m;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace i2cdrv
