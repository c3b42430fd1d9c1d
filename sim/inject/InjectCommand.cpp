#include "InjectCommand.h"

#include <array>

#include "SimCli.h"
#include "drivermsg/hwMessages.h"

namespace {

using Words = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

constexpr long long kU32Max = 0xFFFFFFFFLL;
constexpr long long kI32Min = -2147483648LL;

struct Kind {
  const char* kind;
  const char* sub;  // second word, or nullptr
  const char* args;
  const char* what;
  // Builds from the words after KIND [SUB]; false when they do not fit.
  bool (*build)(const Words& args, uint32_t param, Bytes& msg);
  uint32_t param;
  size_t minArgs, maxArgs;
};

// A 32-bit value: unsigned words take 0..2^32-1, signed values also below 0.
bool word(const std::string& s, bool isSigned, uint32_t& out) {
  return simcli::integer(s.c_str(), isSigned ? kI32Min : 0, kU32Max, out);
}

bool portLeds(const Words& a, uint32_t, Bytes& msg) {
  hwmsg::PortLedMsg m;
  if (!word(a[0], false, m.wordA) || !word(a[1], false, m.wordB) ||
      (a.size() == 3 && !word(a[2], false, m.vocalAlarm)))
    return false;
  msg = hwmsg::encodePortLed(m);
  return true;
}

bool tempSensor(const Words& a, uint32_t property, Bytes& msg) {
  uint32_t index = 0, value = 0;
  if (!simcli::integer(a[0].c_str(), 0, kU32Max, index) || !word(a[1], true, value))
    return false;
  msg = hwmsg::encodeTemp(property, index, static_cast<int32_t>(value));
  return true;
}

bool tempSelfTest(const Words& a, uint32_t, Bytes& msg) {
  uint32_t value = 0;
  if (!word(a[0], true, value))
    return false;
  msg = hwmsg::encodeTemp(hwmsg::TEMP_PROP_SELFTEST, 0, static_cast<int32_t>(value));
  return true;
}

bool tempAll(const Words& a, uint32_t, Bytes& msg) {
  std::array<hwmsg::TempRecord, hwmsg::NBR_OF_TEMP_SENSORS> records{};
  for (size_t i = 0; i < records.size(); ++i) {
    records[i].temperature = 40;
    if (!simcli::integer(a[i].c_str(), 0, 255, records[i].status))
      return false;
  }
  msg = hwmsg::encodeTempAll(records);
  return true;
}

bool adc(const Words& a, uint32_t property, Bytes& msg) {
  uint32_t value = 0;
  if (!word(a[0], true, value))
    return false;
  msg = hwmsg::encodeAdc(property, static_cast<int32_t>(value));
  return true;
}

bool pwrmon(const Words& a, uint32_t state, Bytes& msg) {
  constexpr int32_t kNominalMv[hwmsg::NBR_OF_REGULATORS] = {1500, 1100, 1100, 1800,
                                                            3300, 1800, 3300};
  hwmsg::PowerMonitorMsg m;
  if (!a.empty() && !simcli::integer(a[0].c_str(), 0, 255, m.errorFlag))
    return false;
  m.state = state;
  m.text = "inject";
  for (size_t i = 0; i < hwmsg::NBR_OF_REGULATORS; ++i) {
    m.valid[i] = 1;
    m.millivolts[i] = kNominalMv[i];
  }
  msg = hwmsg::encodePwrMon(m);
  return true;
}

bool raw(const Words& a, uint32_t, Bytes& msg) {
  std::vector<uint32_t> words(a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    if (!word(a[i], false, words[i]))
      return false;
  }
  msg = hwmsg::encodeWords(words);
  return true;
}

// Messages 0 and 26 raise "ADS1000 ADC" and "MAX6602 TempSensor", message
// 19 "MAX16046 PowerMon"; see ./dev help inject.
const Kind kKinds[] = {
    {"port-leds", nullptr, "A B [ALARM]",
     "message 29: port flag words A and B, vocal alarm word (default 0)", portLeds, 0, 2, 3},
    {"temp", "value", "IDX V", "message 26 property 0: temperature V of sensor IDX (0-4)",
     tempSensor, hwmsg::TEMP_PROP_VALUE, 2, 2},
    {"temp", "status", "IDX V",
     "message 26 property 1: status of sensor IDX, 0 failed (MAX6602 TempSensor)", tempSensor,
     hwmsg::TEMP_PROP_STATUS, 2, 2},
    {"temp", "selftest", "V",
     "message 26 property 2: self-test result, 1 passed (else MAX6602 TempSensor)", tempSelfTest, 0,
     1, 1},
    {"temp", "all", "S0 S1 S2 S3 S4", "message 26 property 3: status bytes of the five sensors",
     tempAll, 0, hwmsg::NBR_OF_TEMP_SENSORS, hwmsg::NBR_OF_TEMP_SENSORS},
    {"adc", "power", "V", "message 0 property 0: power value", adc, hwmsg::ADC_PROP_POWER, 1, 1},
    {"adc", "selftest", "V", "message 0 property 1: self-test result, 1 passed (else ADS1000 ADC)",
     adc, hwmsg::ADC_PROP_SELFTEST, 1, 1},
    {"pwrmon", "active", "[ERRFLAG]",
     "message 19, state active; ERRFLAG not 0 raises MAX16046 PowerMon", pwrmon,
     hwmsg::PWRMON_STATE_ACTIVE, 0, 1},
    {"pwrmon", "idle", "[ERRFLAG]", "message 19, state idle (raises MAX16046 PowerMon)", pwrmon,
     hwmsg::PWRMON_STATE_IDLE, 0, 1},
    {"pwrmon", "fail", "[ERRFLAG]", "message 19, state fail (raises MAX16046 PowerMon)", pwrmon,
     hwmsg::PWRMON_STATE_FAIL, 0, 1},
    {"raw", nullptr, "ID [WORD...]", "any message: its id and 32-bit words (at most 2000 bytes)",
     raw, 0, 1, 500},
};

std::string synopsis(const Kind& k) {
  std::string s = k.kind;
  if (k.sub != nullptr)
    s += std::string(" ") + k.sub;
  return s + " " + k.args;
}

}  // namespace

std::string injectUsage() {
  std::string out;
  for (const Kind& k : kKinds) {
    std::string s = synopsis(k);
    out += s + std::string(s.size() < 28 ? 28 - s.size() : 1, ' ') + k.what + "\n";
  }
  return out;
}

bool buildInjectMessage(const Words& w, Bytes& msg, std::string& error) {
  error.clear();
  if (w.empty()) {
    error = "no message kind given";
    return false;
  }
  bool kindKnown = false;
  for (const Kind& k : kKinds) {
    if (w[0] != k.kind)
      continue;
    kindKnown = true;
    size_t skip = k.sub == nullptr ? 1 : 2;
    if (k.sub != nullptr && (w.size() < 2 || w[1] != k.sub))
      continue;
    Words args(w.begin() + static_cast<long>(skip), w.end());
    if (args.size() < k.minArgs || args.size() > k.maxArgs || !k.build(args, k.param, msg)) {
      error = "usage: " + synopsis(k) + " (" + k.what + ")";
      return false;
    }
    return true;
  }
  if (!kindKnown) {
    error = "unknown message kind '" + w[0] + "'";
  } else {
    error = "'" + w[0] + "' wants one of:";
    for (const Kind& k : kKinds) {
      if (w[0] == k.kind)
        error += std::string(" ") + k.sub;
    }
  }
  return false;
}
