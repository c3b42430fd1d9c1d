// Hardware reports of the I2C and pca9552 drivers: sensor and error
// registration, status values, hardware errors and self-test results.
#include <cstring>

#include "Ifc.h"
#include "drivermsg/hwMessages.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

namespace {

struct VoltageSensorDesc {
  const char* name;
  unsigned nominalMv;
  const char* output;  // regulator output, descriptive
  const char* rails;   // descriptive
};

struct ErrorDesc {
  unsigned code;
  const char* name;
  unsigned level;
};

constexpr const char* kTempSensors[] = {"common.1", "common.2", "common.3", "common.4", "local"};

constexpr VoltageSensorDesc kVoltageSensors[] = {
    {"1V5_DCDC1", 1500, "VDCDC1", "vdds_dpr"}, {"1V1_DCDC2", 1100, "VDCDC2", "vdd_mpu"},
    {"1V1_DCDC3", 1100, "VDCDC3", "vdd_core"}, {"1V8_LDO1", 1800, "VLDO1", "vio,vrtc,vdds"},
    {"3V3_LDO2", 3300, "VLDO2", "vdd_3v3aux"}, {"1V8_LDO3", 1800, "LDO3", "vdd_1v8"},
    {"3V3_LDO4", 3300, "LDO4", "vdd_3v3a"},
};

// Index in the table = index registered with commonStatCtrl.
constexpr ErrorDesc kHwErrors[] = {
    {0, "MAX16046 PowerMon", 0},  {1, "ds13407 DPLL", 1},     {2, "ADS1000 ADC", 0},
    {3, "MAX6602 TempSensor", 0}, {4, "PCA9552BS Driver", 0}, {5, "mv88e1111_cc Ethernet", 2},
};
constexpr unsigned HW_ERR_PWRMON = 0;
constexpr unsigned HW_ERR_ADC = 2;
constexpr unsigned HW_ERR_TEMP = 3;

constexpr ErrorDesc kOperErrors[] = {
    {256, "DPLL_CSM_LossOfLock", 1},
    {257, "DPLL_Port_LossOfLock", 1},
    {258, "PortRecoveringClkError", 1},
};

static_assert(sizeof kTempSensors / sizeof kTempSensors[0] == Ifc::kNbrTempSensors);
static_assert(sizeof kVoltageSensors / sizeof kVoltageSensors[0] == Ifc::kNbrVoltageSensors);
static_assert(sizeof kHwErrors / sizeof kHwErrors[0] == Ifc::kNbrHwErrors);
static_assert(sizeof kOperErrors / sizeof kOperErrors[0] == Ifc::kNbrOperErrors);

const uint8_t* bytes(const char* msg) {
  return reinterpret_cast<const uint8_t*>(msg);
}

size_t length(int len) {
  return len > 0 ? static_cast<size_t>(len) : 0;
}

}  // namespace

void Ifc::registerHardware() {
  for (unsigned i = 0; i < kNbrTempSensors; ++i)
    m_scCommon.addTemperatureSensor(i, kTempSensors[i]);
  for (unsigned i = 0; i < kNbrVoltageSensors; ++i)
    m_scCommon.addVoltageSensor(i, kVoltageSensors[i].name, kVoltageSensors[i].nominalMv);
  for (unsigned i = 0; i < kNbrHwErrors; ++i) {
    m_scCommon.addHwError(i, kHwErrors[i].code, kHwErrors[i].name);
    m_card.m_hwErrMon.addError(kHwErrors[i].name, kHwErrors[i].level);
  }
  for (unsigned i = 0; i < kNbrOperErrors; ++i) {
    m_scCommon.addOperationalError(i, kOperErrors[i].code, kOperErrors[i].name);
    m_card.m_operErrMon.addError(kOperErrors[i].name, kOperErrors[i].level);
  }
}

bool Ifc::setHwError(unsigned index, bool active) {
  if (index >= kNbrHwErrors)
    return false;
  m_scCommon.setHwErrorActive(index, active);
  return m_card.m_hwErrMon.setState(kHwErrors[index].name, active);
}

void Ifc::handleAdcMsg(int len, const char* msg) {
  size_t needed = 0;
  auto m = hwmsg::decodeAdc(bytes(msg), length(len), &needed);
  if (!m) {
    LOG_ERROR_LIMITED("ADC message of %d bytes is shorter than %zu, dropped", len, needed);
    return;
  }
  LOG_DEBUG2("prop=%x val=%d", m->property, m->value);
  switch (m->property) {
    case hwmsg::ADC_PROP_POWER:
      m_scCommon.setPower(m->value);
      m_card.m_power = m->value;
      LOG_DEBUG2("power=%d", m->value);
      break;
    case hwmsg::ADC_PROP_SELFTEST: {
      bool failed = m->value != 1;
      m_card.m_adcSelfTestFailed = failed;
      setHwError(HW_ERR_ADC, failed);
      setSelfTestStatus(SELF_TEST_ADC, failed ? FAILED : SUCCEEDED);
      break;
    }
    default:
      LOG_ERROR_LIMITED("invalid prop %d", static_cast<int>(m->property));
      break;
  }
  m_card.m_adcStatusValid = true;
}

void Ifc::reevaluateTempError() {
  bool wasActive = m_card.m_hwErrMon.isActive(kHwErrors[HW_ERR_TEMP].name);
  bool active = m_card.m_tempSelfTestFailed;
  if (active && !wasActive)
    LOG_ERROR("Activating HwError bcoz of selftest fail");
  for (unsigned i = 0; i < CardObjects::NBR_OF_TEMPERATURES; ++i) {
    const TemperatureRecord& r = m_card.m_temperatures[i];
    if (r.statusKnown && !r.statusOk) {
      active = true;
      if (!wasActive)
        LOG_ERROR("Activating HwError bcoz of temp sensor %d", static_cast<int>(i));
    }
  }
  setHwError(HW_ERR_TEMP, active);
}

bool Ifc::handleTempMsg(int len, const char* msg) {
  size_t needed = 0;
  auto m = hwmsg::decodeTemp(bytes(msg), length(len), &needed);
  if (!m) {
    LOG_ERROR_LIMITED("temperature message of %d bytes is shorter than %zu, dropped", len, needed);
    return false;
  }
  LOG_DEBUG2("I2c Temp msg received prop=%d", static_cast<int>(m->property));
  bool handled = true;
  switch (m->property) {
    case hwmsg::TEMP_PROP_VALUE:
    case hwmsg::TEMP_PROP_STATUS:
      if (m->sensorIndex >= CardObjects::NBR_OF_TEMPERATURES) {
        LOG_ERROR_LIMITED("invalid temp sensor %d", static_cast<int>(m->sensorIndex));
        handled = false;
      } else if (m->property == hwmsg::TEMP_PROP_VALUE) {
        m_scCommon.setTemp(0, m->sensorIndex, m->value);
        m_card.m_temperatures[m->sensorIndex].temperature = m->value;
      } else {
        m_scCommon.setTemp(1, m->sensorIndex, m->value);
        m_card.m_temperatures[m->sensorIndex].statusKnown = true;
        m_card.m_temperatures[m->sensorIndex].statusOk = m->value != 0;
      }
      break;
    case hwmsg::TEMP_PROP_SELFTEST: {
      bool failed = m->value != 1;
      m_card.m_tempSelfTestFailed = failed;
      setSelfTestStatus(SELF_TEST_TEMP, failed ? FAILED : SUCCEEDED);
      break;
    }
    case hwmsg::TEMP_PROP_ALL:
      for (unsigned i = 0; i < CardObjects::NBR_OF_TEMPERATURES; ++i) {
        m_scCommon.setTemp(0, i, m->all[i].temperature);
        m_scCommon.setTemp(1, i, m->all[i].status);
        m_card.m_temperatures[i].temperature = m->all[i].temperature;
        m_card.m_temperatures[i].statusOk = m->all[i].status != 0;
      }
      break;
    default:
      LOG_ERROR_LIMITED("invalid prop %d", static_cast<int>(m->property));
      handled = false;
      break;
  }
  reevaluateTempError();
  if (handled)
    m_card.m_max6602StatusValid = true;
  return handled;
}

bool Ifc::handlePwrMon(int len, const char* msg) {
  size_t needed = 0;
  auto m = hwmsg::decodePwrMon(bytes(msg), length(len), &needed);
  if (!m) {
    LOG_ERROR_LIMITED("power monitor message of %d bytes is shorter than %zu, dropped", len,
                      needed);
    return false;
  }
  ++m_card.m_pwrmonStatusValid;
  bool hwError = m->state == hwmsg::PWRMON_STATE_ACTIVE ? m->errorFlag != 0 : true;
  LOG_DEBUG2("hwError=%i", hwError ? 1 : 0);
  setHwError(HW_ERR_PWRMON, hwError);
  for (unsigned i = 0; i < kNbrVoltageSensors; ++i) {
    if (hwError || m->valid[i] == 0) {
      if (!m_scCommon.setVoltage(1, i, 0))
        LOG_ERROR("Cannot invalidate voltage[%d]", static_cast<int>(i));
      continue;
    }
    LOG_DEBUG2("Set voltage[%d] to %imV", static_cast<int>(i), m->millivolts[i]);
    if (!m_scCommon.setVoltage(0, i, m->millivolts[i]))
      LOG_ERROR("Cannot set voltage[%d]", static_cast<int>(i));
    if (!m_scCommon.setVoltage(1, i, 1))
      LOG_ERROR("Cannot validate voltage[%d]", static_cast<int>(i));
  }
  m_scCommon.setVoltageMonitorStatus({true, hwError, m->text, m->statusValue});
  return true;
}

void Ifc::handlePca9552Msg(int len, const char* msg) {
  auto r = pca9552::decodeReply(bytes(msg), length(len));
  if (!r) {
    LOG_ERROR_LIMITED("Unexpected msg size: nBytesReceived [%d] != nBytesExpected [%d]", len,
                      static_cast<int>(pca9552::REPLY_SIZE));
    return;
  }
  LOG_DEBUG2("command=%s [=%d], deviceId=%d, bitmaskPins=0x%x, value=%d, result=%d",
             pca9552::commandName(r->command), r->command, r->deviceId, r->pinMask, r->value,
             r->result);
  switch (r->command) {
    case pca9552::SetOutputValueOfSelectedPinsReply:
      // Failed pins are not re-sent: the next full push covers them.
      if (r->result == 0)
        LOG_DEBUG2("Succeeded in setting pins=0x%x to %s [=%d]", r->pinMask,
                   pca9552::valueName(r->value), r->value);
      else
        LOG_ERROR_LIMITED("Failed to set pins=0x%x to %s [=%d]", r->pinMask,
                          pca9552::valueName(r->value), r->value);
      break;
    case pca9552::DoSelfTestsOnAllDevicesReply:
      setSelfTestStatus(SELF_TEST_PCA9552_DEVICE, r->result != 0 ? FAILED : SUCCEEDED);
      m_card.m_pca9552StatusValid = true;
      break;
    default:
      LOG_ERROR_LIMITED("Message received with invalid command value [%d]", r->command);
      break;
  }
}

Ifc::DbgHwStatus::DbgHwStatus(Ifc* ifc) : CdebugCommand(ifc, "hwstatus", 0, 0, ifc) {}

void Ifc::DbgHwStatus::command(unsigned, char* const*, std::ostringstream& os, void* context) {
  Ifc* ifc = static_cast<Ifc*>(context);
  ifc->m_scCommon.dump(os);
  char buf[4096];
  os << "\nhardware error monitor:\n";
  ifc->m_card.m_hwErrMon.dump(buf, sizeof buf);
  os << buf << "operational error monitor:\n";
  ifc->m_card.m_operErrMon.dump(buf, sizeof buf);
  os << buf;
}

void Ifc::DbgHwStatus::help(std::ostringstream& os) {
  os << "hwstatus:\n"
     << "\tshows sensors, voltages, hardware errors and error monitors\n";
}
