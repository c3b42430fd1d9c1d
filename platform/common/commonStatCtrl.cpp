#include "common/commonStatCtrl.h"

#include "trace/TraceObject.h"

commonStatCtrl::commonStatCtrl(const std::string& name, int cardType, ICardObjects* card,
                               unsigned nTempSensors, unsigned nVoltageSensors, unsigned nHwErrors,
                               unsigned nOperErrors, CGetLogEngine* logEngine)
    : m_name(name), m_cardType(cardType), m_card(card), m_logEngine(logEngine) {
  m_values.temps.resize(nTempSensors);
  m_values.voltages.resize(nVoltageSensors);
  m_values.hwErrors.resize(nHwErrors);
  m_values.operErrors.resize(nOperErrors);
  initGetLog();
}

bool commonStatCtrl::addTemperatureSensor(unsigned index, const std::string& name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (index >= m_values.temps.size() || m_values.temps[index].registered) {
    LOG_ERROR("cannot register temperature sensor %u (%s)", index, name.c_str());
    return false;
  }
  m_values.temps[index] = TempSensor{true, name, 0, 0};
  return true;
}

bool commonStatCtrl::addVoltageSensor(unsigned index, const std::string& name, unsigned nominalMv) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (index >= m_values.voltages.size() || m_values.voltages[index].registered) {
    LOG_ERROR("cannot register voltage sensor %u (%s)", index, name.c_str());
    return false;
  }
  m_values.voltages[index] = VoltageSensor{true, name, nominalMv, 0, false};
  return true;
}

bool commonStatCtrl::addError(std::vector<ErrorEntry>& table, unsigned index, unsigned code,
                              const std::string& name) {
  if (index >= table.size() || table[index].registered) {
    LOG_ERROR("cannot register error %u (%s)", index, name.c_str());
    return false;
  }
  table[index] = ErrorEntry{true, code, name, false};
  return true;
}

bool commonStatCtrl::setError(std::vector<ErrorEntry>& table, unsigned index, bool active) {
  if (index >= table.size() || !table[index].registered)
    return false;
  table[index].active = active;
  return true;
}

bool commonStatCtrl::addHwError(unsigned index, unsigned code, const std::string& name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return addError(m_values.hwErrors, index, code, name);
}

bool commonStatCtrl::addOperationalError(unsigned index, unsigned code, const std::string& name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return addError(m_values.operErrors, index, code, name);
}

bool commonStatCtrl::setTemp(unsigned property, unsigned index, int32_t value) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (index >= m_values.temps.size() || !m_values.temps[index].registered)
    return false;
  switch (property) {
    case 0:
      m_values.temps[index].value = value;
      return true;
    case 1:
      m_values.temps[index].status = value;
      return true;
    default:
      return false;
  }
}

bool commonStatCtrl::setVoltage(unsigned property, unsigned index, int32_t value) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (index >= m_values.voltages.size() || !m_values.voltages[index].registered)
    return false;
  switch (property) {
    case 0:
      m_values.voltages[index].valueMv = value;
      return true;
    case 1:
      if (value != 0 && value != 1)
        return false;
      m_values.voltages[index].valid = value == 1;
      return true;
    default:
      return false;
  }
}

bool commonStatCtrl::setPower(int32_t value) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_values.power = value;
  return true;
}

bool commonStatCtrl::setHwErrorActive(unsigned index, bool active) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return setError(m_values.hwErrors, index, active);
}

bool commonStatCtrl::setOperationalErrorActive(unsigned index, bool active) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return setError(m_values.operErrors, index, active);
}

bool commonStatCtrl::setVoltageMonitorStatus(const VoltageMonitorStatus& status) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_values.voltageMonitor = status;
  return true;
}

commonStatCtrl::Snapshot commonStatCtrl::snapshot() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_values;
}

void commonStatCtrl::dump(std::ostream& os) const {
  Snapshot s = snapshot();
  os << m_name << " (card type " << m_cardType << ")\n";
  os << "power = " << s.power << "\n";
  os << "temperatures:\n";
  for (size_t i = 0; i < s.temps.size(); ++i) {
    if (s.temps[i].registered)
      os << "  [" << i << "] " << s.temps[i].name << " = " << s.temps[i].value
         << " status=" << s.temps[i].status << "\n";
  }
  os << "voltages:\n";
  for (size_t i = 0; i < s.voltages.size(); ++i) {
    const auto& v = s.voltages[i];
    if (v.registered)
      os << "  [" << i << "] " << v.name << " = " << v.valueMv << " mV (nominal " << v.nominalMv
         << " mV) " << (v.valid ? "valid" : "invalid") << "\n";
  }
  os << "hardware errors:\n";
  for (size_t i = 0; i < s.hwErrors.size(); ++i) {
    const auto& e = s.hwErrors[i];
    if (e.registered)
      os << "  [" << i << "] " << e.code << " " << e.name << " " << (e.active ? "ACTIVE" : "-")
         << "\n";
  }
  os << "operational errors:\n";
  for (size_t i = 0; i < s.operErrors.size(); ++i) {
    const auto& e = s.operErrors[i];
    if (e.registered)
      os << "  [" << i << "] " << e.code << " " << e.name << " " << (e.active ? "ACTIVE" : "-")
         << "\n";
  }
  os << "voltage monitor: present=" << s.voltageMonitor.present
     << " hwError=" << s.voltageMonitor.hwError << " version=\"" << s.voltageMonitor.version
     << "\" updateFailed=" << static_cast<unsigned>(s.voltageMonitor.updateFailed) << "\n";
}
