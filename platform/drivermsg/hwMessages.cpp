#include "drivermsg/hwMessages.h"

#include <algorithm>

#include "wire/ByteOrder.h"

namespace hwmsg {

namespace {

constexpr size_t ID_SIZE = 4;
// Every report starts with the message id and a word nobody reads.
constexpr size_t REPORT_HEADER_SIZE = 8;
constexpr size_t PWRMON_UNUSED_SIZE = 4;  // offset 24
// A byte field is followed by padding up to the next 32-bit word.
constexpr size_t WORD_PAD = 3;
constexpr size_t VALID_FLAGS_PAD = 1;  // seven flags, then the voltages at 36

bool longEnough(size_t len, size_t want, size_t* needed) {
  if (needed != nullptr)
    *needed = want;
  return len >= want;
}

// Reader placed behind the report header; the caller has checked the size.
wire::LeReader reportBody(const uint8_t* data, size_t len) {
  wire::LeReader r(data, len);
  r.skip(REPORT_HEADER_SIZE);
  return r;
}

TempRecord readTempRecord(wire::LeReader& r) {
  TempRecord rec;
  rec.temperature = r.i32();
  rec.status = r.u8();
  return rec;
}

}  // namespace

uint32_t msgId(const uint8_t* data, size_t len) {
  wire::LeReader r(data, len);
  uint32_t id = r.u32();
  return r.ok() ? id : 0xFFFFFFFFu;
}

std::optional<AdcMsg> decodeAdc(const uint8_t* data, size_t len, size_t* needed) {
  if (!longEnough(len, ADC_MSG_SIZE, needed) || data == nullptr)
    return std::nullopt;
  wire::LeReader r = reportBody(data, len);
  AdcMsg m;
  m.property = r.u32();
  m.value = r.i32();
  return m;
}

std::optional<TempSensorMsg> decodeTemp(const uint8_t* data, size_t len, size_t* needed) {
  if (!longEnough(len, TEMP_PROP_END, needed) || data == nullptr)
    return std::nullopt;
  wire::LeReader r = reportBody(data, len);
  TempSensorMsg m;
  m.property = r.u32();
  if (m.property == TEMP_PROP_ALL) {
    if (!longEnough(len, TEMP_ALL_MSG_SIZE, needed))
      return std::nullopt;
    for (TempRecord& rec : m.all)
      rec = readTempRecord(r);
    return m;
  }
  if (m.property <= TEMP_PROP_SELFTEST) {
    if (!longEnough(len, TEMP_MSG_SIZE, needed))
      return std::nullopt;
    m.sensorIndex = r.u32();
    m.value = r.i32();
  }
  // Other properties carry nothing the card reads.
  return m;
}

std::optional<PowerMonitorMsg> decodePwrMon(const uint8_t* data, size_t len, size_t* needed) {
  if (!longEnough(len, PWRMON_MSG_SIZE, needed) || data == nullptr)
    return std::nullopt;
  PowerMonitorMsg m;
  wire::LeReader r(data, len);
  r.skip(ID_SIZE);
  const uint8_t* raw = r.bytes(m.raw.size());
  std::copy(raw, raw + m.raw.size(), m.raw.begin());
  // The fields are read again from the start of the copied part.
  wire::LeReader f(raw, m.raw.size());
  m.text = std::string(f.text(PWRMON_TEXT_SIZE));
  m.statusValue = f.u8();
  f.skip(WORD_PAD);
  m.state = f.u32();
  m.errorFlag = f.u8();
  f.skip(WORD_PAD + PWRMON_UNUSED_SIZE);
  for (uint8_t& v : m.valid)
    v = f.u8();
  f.skip(VALID_FLAGS_PAD);
  for (int32_t& mv : m.millivolts)
    mv = f.i32();
  return m;
}

std::optional<PortLedMsg> decodePortLed(const uint8_t* data, size_t len, size_t* needed) {
  if (!longEnough(len, PORT_LED_MSG_SIZE, needed) || data == nullptr)
    return std::nullopt;
  wire::LeReader r(data, len);
  r.skip(ID_SIZE);
  PortLedMsg m;
  m.vocalAlarm = r.u32();
  m.wordA = r.u32();
  m.wordB = r.u32();
  return m;
}

std::optional<uint32_t> decodeTick(const uint8_t* data, size_t len) {
  if (!longEnough(len, TICK_MSG_SIZE, nullptr) || data == nullptr)
    return std::nullopt;
  wire::LeReader r(data, len);
  r.skip(ID_SIZE);
  return r.u32();
}

std::vector<uint8_t> encodeWords(const std::vector<uint32_t>& words) {
  std::vector<uint8_t> out(words.size() * 4);
  wire::LeWriter w(out.data(), out.size());
  for (uint32_t word : words)
    w.u32(word);
  return out;
}

std::vector<uint8_t> encodeAdc(uint32_t property, int32_t value) {
  return encodeWords({MSG_ADC, 0, property, static_cast<uint32_t>(value)});
}

std::vector<uint8_t> encodeTemp(uint32_t property, uint32_t sensorIndex, int32_t value) {
  return encodeWords({MSG_TEMP, 0, property, sensorIndex, static_cast<uint32_t>(value)});
}

std::vector<uint8_t> encodeTempAll(const std::array<TempRecord, NBR_OF_TEMP_SENSORS>& records) {
  std::vector<uint8_t> out(TEMP_ALL_MSG_SIZE);
  wire::LeWriter w(out.data(), out.size());
  w.u32(MSG_TEMP);
  w.u32(0);
  w.u32(TEMP_PROP_ALL);
  for (const TempRecord& rec : records) {
    w.i32(rec.temperature);
    w.u8(rec.status);
  }
  return out;
}

std::vector<uint8_t> encodePwrMon(const PowerMonitorMsg& msg) {
  std::vector<uint8_t> out(PWRMON_MSG_SIZE, 0);
  wire::LeWriter w(out.data(), out.size());
  w.u32(MSG_PWRMON);
  w.text(msg.text, PWRMON_TEXT_SIZE);
  w.u8(msg.statusValue);
  w.zeros(WORD_PAD);
  w.u32(msg.state);
  w.u8(msg.errorFlag);
  w.zeros(WORD_PAD + PWRMON_UNUSED_SIZE);
  for (uint8_t v : msg.valid)
    w.u8(v);
  w.zeros(VALID_FLAGS_PAD);
  for (int32_t mv : msg.millivolts)
    w.i32(mv);
  return out;
}

std::vector<uint8_t> encodePortLed(const PortLedMsg& msg) {
  return encodeWords({MSG_PORT_LED, msg.vocalAlarm, msg.wordA, msg.wordB});
}

std::vector<uint8_t> encodeTick(uint32_t count) {
  return encodeWords({MSG_TIMER_TICK, count});
}

std::vector<uint8_t> adcSelfTestRequest() {
  return encodeWords({1, 0, 1, 0});
}

std::vector<uint8_t> tempSelfTestRequest() {
  return encodeWords({0, 0, 2, 0, 0});
}

SelfTestKind classifySelfTestRequest(const uint8_t* data, size_t len) {
  wire::LeReader r(data, len);
  r.skip(REPORT_HEADER_SIZE);
  uint32_t what = r.u32();
  if (!r.ok())
    return SelfTestKind::NONE;
  if (len == ADC_SELFTEST_REQ_SIZE && what == 1)
    return SelfTestKind::ADC;
  if (len == TEMP_SELFTEST_REQ_SIZE && what == 2)
    return SelfTestKind::TEMP;
  return SelfTestKind::NONE;
}

}  // namespace hwmsg
