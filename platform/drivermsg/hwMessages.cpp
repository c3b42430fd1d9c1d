#include "drivermsg/hwMessages.h"

#include "drivermsg/wireLe.h"

namespace hwmsg {

namespace {

constexpr size_t OFF_ID = 0;
constexpr size_t OFF_PROPERTY = 8;
constexpr size_t OFF_ADC_VALUE = 12;
constexpr size_t OFF_TEMP_INDEX = 12;
constexpr size_t OFF_TEMP_VALUE = 16;
constexpr size_t OFF_TEMP_RECORDS = 12;
constexpr size_t TEMP_RECORD_SIZE = 5;
constexpr size_t OFF_PWR_RAW = 4;
constexpr size_t OFF_PWR_TEXT = 4;
constexpr size_t OFF_PWR_STATUS_VALUE = 12;
constexpr size_t OFF_PWR_STATE = 16;
constexpr size_t OFF_PWR_ERROR = 20;
constexpr size_t OFF_PWR_VALID = 28;
constexpr size_t OFF_PWR_MV = 36;
constexpr size_t OFF_PORT_ALARM = 4;
constexpr size_t OFF_PORT_A = 8;
constexpr size_t OFF_PORT_B = 12;

bool longEnough(size_t len, size_t want, size_t* needed) {
  if (needed != nullptr)
    *needed = want;
  return len >= want;
}

}  // namespace

uint32_t msgId(const uint8_t* data, size_t len) {
  return (data == nullptr || len < 4) ? 0xFFFFFFFFu : wire::getU32(data, OFF_ID);
}

std::optional<AdcMsg> decodeAdc(const uint8_t* data, size_t len, size_t* needed) {
  if (!longEnough(len, ADC_MSG_SIZE, needed) || data == nullptr)
    return std::nullopt;
  AdcMsg m;
  m.property = wire::getU32(data, OFF_PROPERTY);
  m.value = wire::getI32(data, OFF_ADC_VALUE);
  return m;
}

std::optional<TempSensorMsg> decodeTemp(const uint8_t* data, size_t len, size_t* needed) {
  if (!longEnough(len, TEMP_PROP_END, needed) || data == nullptr)
    return std::nullopt;
  TempSensorMsg m;
  m.property = wire::getU32(data, OFF_PROPERTY);
  if (m.property == TEMP_PROP_ALL) {
    if (!longEnough(len, TEMP_ALL_MSG_SIZE, needed))
      return std::nullopt;
    for (size_t i = 0; i < NBR_OF_TEMP_SENSORS; ++i) {
      size_t off = OFF_TEMP_RECORDS + TEMP_RECORD_SIZE * i;
      m.all[i].temperature = wire::getI32(data, off);
      m.all[i].status = data[off + 4];
    }
    return m;
  }
  if (m.property <= TEMP_PROP_SELFTEST) {
    if (!longEnough(len, TEMP_MSG_SIZE, needed))
      return std::nullopt;
    m.sensorIndex = wire::getU32(data, OFF_TEMP_INDEX);
    m.value = wire::getI32(data, OFF_TEMP_VALUE);
  }
  // Other properties carry nothing the card reads.
  return m;
}

std::optional<PowerMonitorMsg> decodePwrMon(const uint8_t* data, size_t len, size_t* needed) {
  if (!longEnough(len, PWRMON_MSG_SIZE, needed) || data == nullptr)
    return std::nullopt;
  PowerMonitorMsg m;
  for (size_t i = 0; i < m.raw.size(); ++i)
    m.raw[i] = data[OFF_PWR_RAW + i];
  size_t n = 0;
  while (n < PWRMON_TEXT_SIZE && data[OFF_PWR_TEXT + n] != 0)
    ++n;
  m.text.assign(reinterpret_cast<const char*>(data + OFF_PWR_TEXT), n);
  m.statusValue = data[OFF_PWR_STATUS_VALUE];
  m.state = wire::getU32(data, OFF_PWR_STATE);
  m.errorFlag = data[OFF_PWR_ERROR];
  for (size_t i = 0; i < NBR_OF_REGULATORS; ++i) {
    m.valid[i] = data[OFF_PWR_VALID + i];
    m.millivolts[i] = wire::getI32(data, OFF_PWR_MV + 4 * i);
  }
  return m;
}

std::optional<PortLedMsg> decodePortLed(const uint8_t* data, size_t len, size_t* needed) {
  if (!longEnough(len, PORT_LED_MSG_SIZE, needed) || data == nullptr)
    return std::nullopt;
  PortLedMsg m;
  m.vocalAlarm = wire::getU32(data, OFF_PORT_ALARM);
  m.wordA = wire::getU32(data, OFF_PORT_A);
  m.wordB = wire::getU32(data, OFF_PORT_B);
  return m;
}

std::vector<uint8_t> encodeWords(const std::vector<uint32_t>& words) {
  std::vector<uint8_t> out(words.size() * 4);
  for (size_t i = 0; i < words.size(); ++i)
    wire::putU32(out.data(), 4 * i, words[i]);
  return out;
}

std::vector<uint8_t> encodeAdc(uint32_t property, int32_t value) {
  return encodeWords({ADC_MSG, 0, property, static_cast<uint32_t>(value)});
}

std::vector<uint8_t> encodeTemp(uint32_t property, uint32_t sensorIndex, int32_t value) {
  return encodeWords({TEMP_MSG, 0, property, sensorIndex, static_cast<uint32_t>(value)});
}

std::vector<uint8_t> encodeTempAll(const std::array<TempRecord, NBR_OF_TEMP_SENSORS>& records) {
  std::vector<uint8_t> out = encodeWords({TEMP_MSG, 0, TEMP_PROP_ALL});
  out.resize(TEMP_ALL_MSG_SIZE);
  for (size_t i = 0; i < NBR_OF_TEMP_SENSORS; ++i) {
    size_t off = OFF_TEMP_RECORDS + TEMP_RECORD_SIZE * i;
    wire::putU32(out.data(), off, static_cast<uint32_t>(records[i].temperature));
    out[off + 4] = records[i].status;
  }
  return out;
}

std::vector<uint8_t> encodePwrMon(const PowerMonitorMsg& msg) {
  std::vector<uint8_t> out(PWRMON_MSG_SIZE, 0);
  wire::putU32(out.data(), OFF_ID, PWRMON_MSG);
  for (size_t i = 0; i < PWRMON_TEXT_SIZE && i < msg.text.size(); ++i)
    out[OFF_PWR_TEXT + i] = static_cast<uint8_t>(msg.text[i]);
  out[OFF_PWR_STATUS_VALUE] = msg.statusValue;
  wire::putU32(out.data(), OFF_PWR_STATE, msg.state);
  out[OFF_PWR_ERROR] = msg.errorFlag;
  for (size_t i = 0; i < NBR_OF_REGULATORS; ++i) {
    out[OFF_PWR_VALID + i] = msg.valid[i];
    wire::putU32(out.data(), OFF_PWR_MV + 4 * i, static_cast<uint32_t>(msg.millivolts[i]));
  }
  return out;
}

std::vector<uint8_t> encodePortLed(const PortLedMsg& msg) {
  return encodeWords({PORT_LED_MSG, msg.vocalAlarm, msg.wordA, msg.wordB});
}

std::vector<uint8_t> encodeTick(uint32_t count) {
  return encodeWords({TICK_MSG, count});
}

std::vector<uint8_t> adcSelfTestRequest() {
  return encodeWords({1, 0, 1, 0});
}

std::vector<uint8_t> tempSelfTestRequest() {
  return encodeWords({0, 0, 2, 0, 0});
}

SelfTestKind classifySelfTestRequest(const uint8_t* data, size_t len) {
  if (data == nullptr || len < OFF_PROPERTY + 4)
    return SelfTestKind::NONE;
  uint32_t what = wire::getU32(data, OFF_PROPERTY);
  if (len == ADC_SELFTEST_REQ_SIZE && what == 1)
    return SelfTestKind::ADC;
  if (len == TEMP_SELFTEST_REQ_SIZE && what == 2)
    return SelfTestKind::TEMP;
  return SelfTestKind::NONE;
}

}  // namespace hwmsg
