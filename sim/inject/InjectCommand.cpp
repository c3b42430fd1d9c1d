#include "InjectCommand.h"

#include <cerrno>
#include <cstdlib>

#include "drivermsg/hwMessages.h"

namespace {

bool number(const std::string& s, long long lo, long long hi, long long& out) {
  if (s.empty())
    return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || v < lo || v > hi)
    return false;
  out = v;
  return true;
}

constexpr long long kU32Max = 0xFFFFFFFFLL;
constexpr long long kI32Min = -2147483648LL;

}  // namespace

const char* injectUsage() {
  return "port-leds A B [alarm]      message 29: port flag words A, B, vocal alarm word\n"
         "temp value|status IDX V    message 26, property 0 or 1 for sensor IDX\n"
         "temp selftest V            message 26, property 2 (1 = passed)\n"
         "temp all S0 S1 S2 S3 S4    message 26, property 3: status of the five sensors\n"
         "adc power|selftest V       message 0, property 0 or 1\n"
         "pwrmon active|idle|fail [ERRFLAG]   message 19, all regulators valid\n"
         "raw ID [WORD...]           any message: id and 32-bit words\n";
}

bool buildInjectMessage(const std::vector<std::string>& w, std::vector<uint8_t>& msg,
                        std::string& error) {
  error.clear();
  long long a = 0, b = 0, c = 0;
  if (w.empty()) {
    error = "no message kind given";
    return false;
  }
  const std::string& kind = w[0];
  if (kind == "port-leds") {
    if ((w.size() != 3 && w.size() != 4) || !number(w[1], 0, kU32Max, a) ||
        !number(w[2], 0, kU32Max, b) || (w.size() == 4 && !number(w[3], 0, kU32Max, c))) {
      error = "port-leds A B [alarm]: 32-bit words";
      return false;
    }
    msg = hwmsg::encodePortLed(
        {static_cast<uint32_t>(c), static_cast<uint32_t>(a), static_cast<uint32_t>(b)});
    return true;
  }
  if (kind == "temp") {
    if (w.size() == 4 && (w[1] == "value" || w[1] == "status") && number(w[2], 0, kU32Max, a) &&
        number(w[3], kI32Min, kU32Max, b)) {
      msg = hwmsg::encodeTemp(w[1] == "value" ? hwmsg::TEMP_PROP_VALUE : hwmsg::TEMP_PROP_STATUS,
                              static_cast<uint32_t>(a), static_cast<int32_t>(b));
      return true;
    }
    if (w.size() == 3 && w[1] == "selftest" && number(w[2], kI32Min, kU32Max, b)) {
      msg = hwmsg::encodeTemp(hwmsg::TEMP_PROP_SELFTEST, 0, static_cast<int32_t>(b));
      return true;
    }
    if (w.size() == 2 + hwmsg::NBR_OF_TEMP_SENSORS && w[1] == "all") {
      std::array<hwmsg::TempRecord, hwmsg::NBR_OF_TEMP_SENSORS> recs{};
      for (size_t i = 0; i < recs.size(); ++i) {
        if (!number(w[2 + i], 0, 255, a)) {
          error = "temp all: five status bytes";
          return false;
        }
        recs[i] = {40, static_cast<uint8_t>(a)};
      }
      msg = hwmsg::encodeTempAll(recs);
      return true;
    }
    error = "temp value|status IDX V, temp selftest V or temp all S0..S4";
    return false;
  }
  if (kind == "adc") {
    if (w.size() != 3 || (w[1] != "power" && w[1] != "selftest") ||
        !number(w[2], kI32Min, kU32Max, b)) {
      error = "adc power|selftest V";
      return false;
    }
    msg = hwmsg::encodeAdc(w[1] == "power" ? hwmsg::ADC_PROP_POWER : hwmsg::ADC_PROP_SELFTEST,
                           static_cast<int32_t>(b));
    return true;
  }
  if (kind == "pwrmon") {
    if (w.size() < 2 || w.size() > 3 || (w.size() == 3 && !number(w[2], 0, 255, a))) {
      error = "pwrmon active|idle|fail [ERRFLAG]";
      return false;
    }
    hwmsg::PowerMonitorMsg pm;
    if (w[1] == "active")
      pm.state = hwmsg::PWRMON_STATE_ACTIVE;
    else if (w[1] == "idle")
      pm.state = hwmsg::PWRMON_STATE_IDLE;
    else if (w[1] == "fail")
      pm.state = hwmsg::PWRMON_STATE_FAIL;
    else {
      error = "pwrmon active|idle|fail [ERRFLAG]";
      return false;
    }
    pm.errorFlag = static_cast<uint8_t>(a);
    pm.text = "inject";
    const int32_t nominal[hwmsg::NBR_OF_REGULATORS] = {1500, 1100, 1100, 1800, 3300, 1800, 3300};
    for (size_t i = 0; i < hwmsg::NBR_OF_REGULATORS; ++i) {
      pm.valid[i] = 1;
      pm.millivolts[i] = nominal[i];
    }
    msg = hwmsg::encodePwrMon(pm);
    return true;
  }
  if (kind == "raw") {
    if (w.size() < 2 || w.size() > 1 + 500) {
      error = "raw ID [WORD...] (at most 2000 bytes)";
      return false;
    }
    std::vector<uint32_t> words;
    for (size_t i = 1; i < w.size(); ++i) {
      if (!number(w[i], 0, kU32Max, a)) {
        error = "raw: '" + w[i] + "' is not a 32-bit word";
        return false;
      }
      words.push_back(static_cast<uint32_t>(a));
    }
    msg = hwmsg::encodeWords(words);
    return true;
  }
  error = "unknown message kind '" + kind + "'";
  return false;
}
