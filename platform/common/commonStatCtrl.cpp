#include "common/commonStatCtrl.h"
#include "icsc/ICardObjects.h"

#include <cstdlib>

#include "common/CommonRecords.h"
#include "trace/TraceObject.h"

#ifndef FXS_LOADWARE_VERSION
#define FXS_LOADWARE_VERSION "unknown"
#endif

using namespace commonrec;

namespace {

unsigned instanceCount(CommonInstances kind, unsigned temps, unsigned volts, unsigned hw,
                       unsigned oper) {
  switch (kind) {
    case CI_ONE:
      return 1;
    case CI_TEMP_SENSORS:
      return temps;
    case CI_VOLTAGES:
      return volts;
    case CI_HW_ERRORS:
      return hw;
    case CI_OPER_ALARMS:
      return oper;
    case CI_EVENT_TABLE:
      break;
  }
  return 0;
}

}  // namespace

commonStatCtrl::commonStatCtrl(const std::string& name, int cardType, ICardObjects* card,
                               unsigned nTempSensors, unsigned nVoltageSensors, unsigned nHwErrors,
                               unsigned nOperErrors, CGetLogEngine* logEngine)
    : m_name(name), m_cardType(cardType), m_card(card), m_logEngine(logEngine) {
  const CommonDescriptorArray* arrays = commondesc::arrays();
  m_objects.resize(commondesc::arrayCount());
  for (size_t n = 0; n < m_objects.size(); ++n) {
    const CommonDescriptorArray& a = arrays[n];
    Object& o = m_objects[n];
    o.array = &a;
    std::vector<Cell> defaults(a.count);
    for (size_t r = 0; r < a.count; ++r)
      defaults[r] = defaultValue(a.records[r]);
    o.instances.assign(
        instanceCount(a.instances, nTempSensors, nVoltageSensors, nHwErrors, nOperErrors),
        defaults);
  }
  m_tempSeen.assign(nTempSensors, false);
  setStr(CO_CARD, 0, CARD_TYPE, std::to_string(cardType));
  setStr(CO_CARD, 0, CARD_LOADWARE, FXS_LOADWARE_VERSION);
  setNum(CO_CARD, 0, CARD_TEMP_SENSORS, nTempSensors);
  setNum(CO_CARD, 0, CARD_VOLTAGE_MONITORS, nVoltageSensors);
  setNum(CO_CARD, 0, CARD_HW_ERRORS, nHwErrors);
  setNum(CO_CARD, 0, CARD_OPER_ALARMS, nOperErrors);
  initGetLog();
}

commonStatCtrl::Cell* commonStatCtrl::cell(unsigned object, unsigned instance, unsigned record) {
  if (object >= m_objects.size())
    return nullptr;
  Object& o = m_objects[object];
  if (instance >= o.instances.size() || record >= o.instances[instance].size())
    return nullptr;
  return &o.instances[instance][record];
}

void commonStatCtrl::setNum(unsigned object, unsigned instance, unsigned record, int64_t v) {
  if (Cell* c = cell(object, instance, record))
    c->num = v;
}

void commonStatCtrl::setStr(unsigned object, unsigned instance, unsigned record,
                            const std::string& v) {
  if (Cell* c = cell(object, instance, record))
    c->str = v;
}

int64_t commonStatCtrl::num(unsigned object, unsigned instance, unsigned record) const {
  const Cell* c = const_cast<commonStatCtrl*>(this)->cell(object, instance, record);
  return c != nullptr ? c->num : 0;
}

std::string commonStatCtrl::str(unsigned object, unsigned instance, unsigned record) const {
  const Cell* c = const_cast<commonStatCtrl*>(this)->cell(object, instance, record);
  return c != nullptr ? c->str : std::string();
}

bool commonStatCtrl::registered(unsigned object, unsigned instance, unsigned nameRecord) const {
  const Cell* c = const_cast<commonStatCtrl*>(this)->cell(object, instance, nameRecord);
  return c != nullptr && !c->str.empty();
}

bool commonStatCtrl::addTemperatureSensor(unsigned index, const std::string& name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (name.empty() || cell(CO_TEMPERATURE, index, TEMP_NAME) == nullptr ||
      registered(CO_TEMPERATURE, index, TEMP_NAME)) {
    LOG_ERROR("cannot register temperature sensor %u (%s)", index, name.c_str());
    return false;
  }
  setStr(CO_TEMPERATURE, index, TEMP_NAME, name);
  return true;
}

bool commonStatCtrl::addVoltageSensor(unsigned index, const std::string& name, unsigned nominalMv) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (name.empty() || cell(CO_VOLTAGE, index, VOLT_NAME) == nullptr ||
      registered(CO_VOLTAGE, index, VOLT_NAME)) {
    LOG_ERROR("cannot register voltage sensor %u (%s)", index, name.c_str());
    return false;
  }
  setStr(CO_VOLTAGE, index, VOLT_NAME, name);
  setNum(CO_VOLTAGE, index, VOLT_NOMINAL, nominalMv);
  return true;
}

bool commonStatCtrl::addError(unsigned object, unsigned index, unsigned code,
                              const std::string& name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (name.empty() || cell(object, index, ERR_NAME) == nullptr ||
      registered(object, index, ERR_NAME)) {
    LOG_ERROR("cannot register error %u (%s)", index, name.c_str());
    return false;
  }
  setNum(object, index, ERR_ID, code);
  setStr(object, index, ERR_NAME, name);
  return true;
}

bool commonStatCtrl::setError(unsigned object, unsigned index, bool active) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!registered(object, index, ERR_NAME))
    return false;
  setNum(object, index, ERR_ACTIVE, active ? 1 : 0);
  refreshAlarmSummary();
  return true;
}

// "HW Error" and "Oper. Alarm" tell whether any error of the kind is
// active; the three clock alarms follow the operational alarms of the same
// index (DPLL CSM, DPLL port, port recovering clock).
void commonStatCtrl::refreshAlarmSummary() {
  const unsigned kinds[] = {CO_HW_ERROR, CO_OPER_ALARM};
  const unsigned summary[] = {STATUS_HW_ERROR, STATUS_OPER_ALARM};
  for (unsigned k = 0; k < 2; ++k) {
    bool any = false;
    for (const auto& inst : m_objects[kinds[k]].instances)
      any = any || inst[ERR_ACTIVE].num != 0;
    setNum(CO_STATUS, 0, summary[k], any ? 1 : 0);
  }
  for (unsigned i = 0; i < 3; ++i)
    setNum(CO_STATUS, 0, STATUS_DPLL_ACTIVE_CLK + i, num(CO_OPER_ALARM, i, ERR_ACTIVE));
}

bool commonStatCtrl::addHwError(unsigned index, unsigned code, const std::string& name) {
  return addError(CO_HW_ERROR, index, code, name);
}

bool commonStatCtrl::addOperationalError(unsigned index, unsigned code, const std::string& name) {
  return addError(CO_OPER_ALARM, index, code, name);
}

bool commonStatCtrl::setHwErrorActive(unsigned index, bool active) {
  return setError(CO_HW_ERROR, index, active);
}

bool commonStatCtrl::setOperationalErrorActive(unsigned index, bool active) {
  return setError(CO_OPER_ALARM, index, active);
}

bool commonStatCtrl::setTemp(unsigned property, unsigned index, int32_t value) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!registered(CO_TEMPERATURE, index, TEMP_NAME))
    return false;
  switch (property) {
    case 0:
      setNum(CO_TEMPERATURE, index, TEMP_VALUE, value);
      if (!m_tempSeen[index] || value < num(CO_TEMPERATURE, index, TEMP_MIN))
        setNum(CO_TEMPERATURE, index, TEMP_MIN, value);
      if (!m_tempSeen[index] || value > num(CO_TEMPERATURE, index, TEMP_MAX))
        setNum(CO_TEMPERATURE, index, TEMP_MAX, value);
      m_tempSeen[index] = true;
      return true;
    case 1:
      setNum(CO_TEMPERATURE, index, TEMP_VALID, value != 0 ? 1 : 0);
      return true;
    default:
      return false;
  }
}

bool commonStatCtrl::setVoltage(unsigned property, unsigned index, int32_t value) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!registered(CO_VOLTAGE, index, VOLT_NAME))
    return false;
  switch (property) {
    case 0:
      setNum(CO_VOLTAGE, index, VOLT_VALUE, static_cast<uint32_t>(value));
      return true;
    case 1:
      if (value != 0 && value != 1)
        return false;
      setNum(CO_VOLTAGE, index, VOLT_VALID, value);
      return true;
    default:
      return false;
  }
}

bool commonStatCtrl::setPower(int32_t value) {
  std::lock_guard<std::mutex> lock(m_mutex);
  setNum(CO_STATUS, 0, STATUS_POWER, static_cast<uint32_t>(value));
  return true;
}

bool commonStatCtrl::setVoltageMonitorStatus(const VoltageMonitorStatus& status) {
  std::lock_guard<std::mutex> lock(m_mutex);
  setNum(CO_VOLTAGE_MONITOR, 0, VMON_PRESENT, status.present ? 1 : 0);
  setNum(CO_VOLTAGE_MONITOR, 0, VMON_HW_ERROR, status.hwError ? 1 : 0);
  // The version record is a number: a numeric text gives it, any other 0.
  char* end = nullptr;
  unsigned long v = std::strtoul(status.version.c_str(), &end, 0);
  bool numeric = !status.version.empty() && end != nullptr && *end == '\0';
  setNum(CO_VOLTAGE_MONITOR, 0, VMON_VERSION, numeric ? static_cast<uint32_t>(v) : 0);
  setNum(CO_VOLTAGE_MONITOR, 0, VMON_UPDATE_FAILED, status.updateFailed != 0 ? 1 : 0);
  return true;
}

void commonStatCtrl::setSlot(unsigned slot) {
  std::lock_guard<std::mutex> lock(m_mutex);
  setNum(CO_CARD, 0, CARD_SLOT, slot);
}

void commonStatCtrl::setCardState(uint32_t state, const std::string& name) {
  std::lock_guard<std::mutex> lock(m_mutex);
  setNum(CO_CARD_STATE, 0, CARDSTATE_VALUE, state);
  setStr(CO_CARD_STATE, 0, CARDSTATE_NAME, name);
}

void commonStatCtrl::setLeds(uint32_t on, uint32_t slow, uint32_t fast) {
  std::lock_guard<std::mutex> lock(m_mutex);
  setNum(CO_CARD_STATE, 0, CARDSTATE_LEDS_ON, on);
  setNum(CO_CARD_STATE, 0, CARDSTATE_LEDS_SLOW, slow);
  setNum(CO_CARD_STATE, 0, CARDSTATE_LEDS_FAST, fast);
}

void commonStatCtrl::dump(std::ostream& os) const {
  // The clock reference as the chassis reads it: from the card, asked
  // outside the lock as readCell does.
  const bool cardClock = m_card != nullptr;
  const int64_t bpClk = cardClock ? m_card->getBpClkReference() : 0;
  std::lock_guard<std::mutex> lock(m_mutex);
  os << m_name << " (card type " << m_cardType << ")\n";
  for (size_t n = 0; n < m_objects.size(); ++n) {
    const Object& o = m_objects[n];
    if (o.array->noHardware)
      continue;
    for (size_t i = 0; i < o.instances.size(); ++i) {
      os << o.array->name;
      if (o.array->instances != CI_ONE)
        os << "[" << i << "]";
      os << ":";
      for (size_t r = 0; r < o.array->count; ++r) {
        const CommonPropertyDescriptor& rec = o.array->records[r];
        Cell v = cellValue(static_cast<unsigned>(n), static_cast<unsigned>(i), rec);
        if (cardClock && n == CO_CONTROL && rec.propertyId == commonrec::CTRL_BP_CLK_REF)
          v.num = bpClk;
        os << (r == 0 ? " " : ", ") << trimmedLabel(rec) << "=" << text(rec, v);
      }
      os << "\n";
    }
  }
}
