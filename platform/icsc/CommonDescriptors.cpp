// The descriptor arrays of the common card objects, with this card's two
// value checks.
#include <cctype>
#include <iterator>
#include <string>

#include "icsc/CommonObjects.h"
#include "icsc/CommonPropertyDescriptor.h"

namespace commondesc {

int lengthIs1(uint32_t len) {
  return len == 1 ? 0 : 1;
}
int lengthIs4(uint32_t len) {
  return len == 4 ? 0 : 1;
}
int lengthIs8(uint32_t len) {
  return len == 8 ? 0 : 1;
}
int lengthAtMost31(uint32_t len) {
  return len <= 31 ? 0 : 1;
}
int lengthAtMost127(uint32_t len) {
  return len <= 127 ? 0 : 1;
}
int lengthIs36(uint32_t len) {
  return len == 36 ? 0 : 1;
}
int anyLength(uint32_t) {
  return 0;
}

int checkBpClkRef(const boost::any& value) {
  uint32_t v;
  try {
    v = boost::any_cast<uint32_t>(value);
  } catch (const boost::bad_any_cast&) {
    try {
      v = boost::any_cast<uint8_t>(value);
    } catch (const boost::bad_any_cast&) {
      return 1;
    }
  }
  return (v <= 3 || v == 128) ? 0 : 1;
}

int checkGuid(const boost::any& value) {
  const std::string* s = boost::any_cast<std::string>(&value);
  if (s == nullptr || s->size() != 36)
    return 1;
  for (char c : *s) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
      return 1;
  }
  return 0;
}

namespace {

struct LengthRule {
  int (*check)(uint32_t);
  const char* text;
};
constexpr LengthRule kLengthRules[] = {
    {lengthIs1, "1 byte"},
    {lengthIs4, "4 bytes"},
    {lengthIs8, "8 bytes"},
    {lengthAtMost31, "at most 31 bytes"},
    {lengthAtMost127, "at most 127 bytes"},
    {lengthIs36, "exactly 36 bytes"},
};
struct ValueRule {
  int (*check)(const boost::any&);
  const char* text;
};
constexpr ValueRule kValueRules[] = {
    {checkBpClkRef, "0, 1, 2, 3 or 128"},
    {checkGuid, "36 letters, digits or '-'"},
};

}  // namespace

std::string lengthRule(const CommonPropertyDescriptor& rec) {
  for (const LengthRule& r : kLengthRules) {
    if (r.check == rec.lengthCheck)
      return r.text;
  }
  return "";
}

std::string valueRule(const CommonPropertyDescriptor& rec) {
  for (const ValueRule& r : kValueRules) {
    if (r.check == rec.valueCheck)
      return r.text;
  }
  return "";
}

namespace {

using S = std::string;
using namespace commonrec;
constexpr uint32_t RO = 1, RW = 0;

#define REC_U64(id, label, ro) \
  { id, label, CPT_U64, ro, uint64_t{0}, lengthIs8, nullptr, 0, 0 }
#define REC_U32(id, label, ro) \
  { id, label, CPT_U32, ro, uint32_t{0}, lengthIs4, nullptr, 0, 0 }
#define REC_U8(id, label, ro) \
  { id, label, CPT_U8, ro, uint8_t{0}, lengthIs1, nullptr, 0, 0 }
#define REC_I32(id, label, ro) \
  { id, label, CPT_I32, ro, int32_t{0}, lengthIs4, nullptr, 0, 0 }
#define REC_BOOL(id, label, ro) \
  { id, label, CPT_BOOL, ro, false, lengthIs1, nullptr, 0, 0 }
#define REC_STR(id, label, ro, len, def) \
  { id, label, CPT_STRING, ro, S(def), len, nullptr, 0, 0 }

// clang-format off
const CommonPropertyDescriptor kEvent0[] = {
  REC_BOOL(0, "HK Init", RW),
};
const CommonPropertyDescriptor kEvent1[] = {
  REC_I32(0, "TempSensor temperature", RO), REC_I32(1, "temperature 1", RO),
  REC_I32(2, "temperature 2", RO), REC_I32(3, "temperature 3", RO), REC_I32(4, "temperature 4", RO),
  REC_BOOL(5, "TempSensor HW alarm", RO), REC_BOOL(6, "TempSensor temperature alarm", RO),
  REC_BOOL(7, "temperature 1 alarm", RO), REC_BOOL(8, "temperature 2 alarm", RO),
  REC_BOOL(9, "temperature 3 alarm", RO), REC_BOOL(10, "temperature 4 alarm", RO),
};
const CommonPropertyDescriptor kEvent2[] = {
  REC_I32(0, "DPLL freq offset1", RO), REC_BOOL(1, "DPLL in1 good", RO),
  REC_I32(2, "DPLL freq offset2", RO), REC_BOOL(3, "DPLL in2 good", RO),
  REC_I32(4, "DPLL selected input", RO), REC_BOOL(5, "DPLL HW alarm", RO),
  REC_BOOL(6, "DPLL out of lock alarm", RO),
};
const CommonPropertyDescriptor kEvent3[] = {
  REC_BOOL(0, "LED driver HW alarm", RO),
};
const CommonPropertyDescriptor kCard[] = {
  REC_STR(CARD_TYPE, "Card Type       ", RO, lengthAtMost31, "xxx"),
  REC_STR(1, "Hardware Version", RO, lengthAtMost31, ""),
  REC_STR(CARD_LOADWARE, "Loadware        ", RO, lengthAtMost31, ""),
  REC_STR(CARD_BACKUP_LOADWARE, "Backup loadware ", RO, lengthAtMost31, ""),
  REC_U32(CARD_SLOT, "Ifc Slot        ", RO), REC_U32(CARD_TEMP_SENSORS, "Temp Sensors    ", RO),
  REC_U32(CARD_VOLTAGE_MONITORS, "Voltage monitors", RO), REC_STR(CARD_BOOT_VERSION, "Boot version    ", RO, lengthAtMost31, ""),
  REC_U32(CARD_HW_ERRORS, "HW errors       ", RO), REC_U32(CARD_OPER_ALARMS, "Oper. alarms    ", RO),
  REC_U32(10, "SW Interface    ", RO), REC_U32(11, "Card Capability ", RO),
};
const CommonPropertyDescriptor kStatus[] = {
  REC_U32(STATUS_POWER, "Power                     ", RO), REC_BOOL(STATUS_HW_ERROR, "HW Error                  ", RO),
  REC_BOOL(STATUS_OPER_ALARM, "Oper. Alarm               ", RO), REC_BOOL(STATUS_DPLL_ACTIVE_CLK, "DPLL Active CTRL CLK Alarm", RO),
  REC_BOOL(4, "DPLL Recovered CLK Alarm  ", RO), REC_BOOL(5, "Port recovering CLK Alarm", RO),
};
const CommonPropertyDescriptor kControl[] = {
  REC_BOOL(CTRL_REBOOT, "Reboot", RW), REC_U64(CTRL_UTC_TIME, "UtcTime", RW),
  {CTRL_BP_CLK_REF, "BpClkRef", CPT_U8, RW, uint8_t{0}, lengthIs1, checkBpClkRef, 0, 0},
  {3, "GUID", CPT_STRING, RW, S(""), lengthIs36, checkGuid, 0, 0},
};
const CommonPropertyDescriptor kDownload[] = {
  REC_STR(DLD_FILENAME, "Dld Filename      ", RW, anyLength, ""), REC_BOOL(DLD_START, "Dld Start Download", RW),
  REC_BOOL(DLD_STOP, "Dld Stop Download ", RW), REC_BOOL(DLD_COMMIT, "Dld commit load   ", RW),
  REC_BOOL(DLD_ACCEPT, "Dld accept load   ", RW), REC_U32(DLD_STATE, "Dld state         ", RO),
  REC_U32(DLD_PROGRESS, "Dld progress      ", RO), REC_STR(DLD_NAME, "Dld name          ", RO, lengthAtMost31, "brd"),
  REC_STR(DLD_BSP_NAME, "Dld BSP name      ", RO, lengthAtMost31, "BSP"), REC_BOOL(DLD_CLEAR_ERRORS, "Dld Clear Errors  ", RW),
  REC_U32(DLD_COMMIT_TIMER, "Dld Set Commit timer  ", RW),
};
const CommonPropertyDescriptor kTemp[] = {
  REC_STR(TEMP_NAME, "Temp Name       ", RO, lengthAtMost31, ""), REC_I32(TEMP_VALUE, "Temp Value      ", RO),
  REC_BOOL(TEMP_VALID, "Temp Valid      ", RO), REC_I32(TEMP_MIN, "Min Sensor Value", RO),
  REC_I32(TEMP_MAX, "Max Sensor Value", RO),
};
const CommonPropertyDescriptor kVoltage[] = {
  REC_STR(VOLT_NAME, "Voltage Name    ", RO, lengthAtMost31, ""), REC_U32(VOLT_VALUE, "Voltage Value   ", RO),
  REC_U32(VOLT_NOMINAL, "Voltage Nominal ", RO), REC_BOOL(VOLT_VALID, "Voltage Valid   ", RO),
};
const CommonPropertyDescriptor kLogTransfer[] = {
  REC_STR(LOG_SERVER, "FTP Server   ", RW, lengthAtMost127, ""), REC_U32(LOG_PORT, "FTP Port     ", RW),
  REC_STR(LOG_USER, "FTP User     ", RW, lengthAtMost31, ""), REC_STR(LOG_PASSWORD, "FTP Password ", RW, lengthAtMost31, ""),
  REC_STR(LOG_DIRECTORY, "GETLOG directory ", RW, anyLength, ""), REC_U32(LOG_RESULT, "GETLOG result    ", RO),
  REC_U32(LOG_STATE, "GETLOG state     ", RO),
};
const CommonPropertyDescriptor kHwError[] = {
  REC_U32(ERR_ID, "HW error ID      ", RO), REC_STR(ERR_NAME, "HW error name    ", RO, lengthAtMost31, ""),
  REC_BOOL(ERR_ACTIVE, "HW error active  ", RO),
};
const CommonPropertyDescriptor kOperAlarm[] = {
  REC_U32(ERR_ID, "Oper. alarm ID    ", RO), REC_STR(ERR_NAME, "Oper. alarm name  ", RO, lengthAtMost31, ""),
  REC_BOOL(ERR_ACTIVE, "Oper. alarm active", RO),
};
const CommonPropertyDescriptor kVoltageMonitor[] = {
  REC_BOOL(VMON_PRESENT, "VoltageMonitorPresent", RO), REC_BOOL(VMON_HW_ERROR, "VoltageMonitorHwError", RO),
  REC_U32(VMON_VERSION, "VoltageMonitorVersion", RO), REC_BOOL(VMON_UPDATE_FAILED, "VoltageMonitorUpdateFailed", RO),
};
const CommonPropertyDescriptor kFpga[] = {
  REC_U32(0, "FpgaVersion", RO),
};
const CommonPropertyDescriptor kClocks[] = {
  REC_BOOL(0, "ClkFromCSM1Good             ", RO), REC_I32(1, "ClkFromCSM1FreqOffset       ", RO),
  REC_BOOL(2, "ClkFromCSM2Good             ", RO), REC_I32(3, "ClkFromCSM2FreqOffset       ", RO),
  REC_BOOL(4, "DPLLForCSMClkOutOfLock      ", RO), REC_I32(5, "DPLLForCSMClkSelectedInput  ", RO),
  REC_BOOL(6, "RecoveredClkGood            ", RO), REC_I32(7, "RecoveredClkFreqOffset      ", RO),
  REC_BOOL(8, "DPLLForRecoveredClkOutOfLock", RO),
};
const CommonPropertyDescriptor kSfp[] = {
  REC_STR(0, "SFP Name", RO, lengthAtMost31, ""), REC_STR(1, "SFP Revision", RO, lengthAtMost31, ""),
  REC_STR(2, "SFP Serial", RO, lengthAtMost31, ""), REC_STR(3, "SFP Date", RO, lengthAtMost31, ""),
  REC_U32(4, "SFP Wavelength", RO), REC_U32(5, "SFP Range", RO), REC_BOOL(6, "SFP LOS", RO),
  REC_BOOL(7, "SFP HW Alarm", RO), REC_BOOL(8, "SFP TX Fault", RO), REC_I32(9, "SFP Temperature", RO),
  REC_U32(10, "SFP Bias", RO), REC_U32(11, "SFP TX power", RO), REC_U32(12, "SFP RX power", RO),
  REC_U32(13, "SFP Range ID", RO), REC_U32(14, "SFP ID", RO), REC_BOOL(15, "SFP Present", RO),
};

// The card process's own state (the state machine's value and name) and
// the LEDs it drives (one bit per driver pin: lit, blinking slowly, blinking
// fast), for the chassis and the front panel.
const CommonPropertyDescriptor kCardState[] = {
  REC_U32(CARDSTATE_VALUE, "State", RO), REC_STR(CARDSTATE_NAME, "State Name", RO, lengthAtMost31, "UNINITIALIZED"),
  REC_U32(CARDSTATE_LEDS_ON, "LEDs On", RO), REC_U32(CARDSTATE_LEDS_SLOW, "LEDs Slow Blink", RO),
  REC_U32(CARDSTATE_LEDS_FAST, "LEDs Fast Blink", RO),
};
// How the last download or trial ended and why, the slot the card runs
// from and the seconds a trial load has left to be accepted (this card's
// addition to the download records).
const CommonPropertyDescriptor kDownloadResult[] = {
  REC_U32(DLDRES_RESULT, "Dld Result", RO), REC_STR(DLDRES_REASON, "Dld Reason", RO, anyLength, ""),
  REC_STR(DLDRES_RUNNING_SLOT, "Dld Running Slot", RO, lengthAtMost31, ""), REC_U32(DLDRES_TRIAL_LEFT, "Dld Trial Seconds Left", RO),
};
// clang-format on

#define ARRAY(name, a, inst, noHw) \
  { name, a, sizeof(a) / sizeof((a)[0]), inst, noHw }
// Appended only: the index is the common object number on the wire.
constexpr CommonDescriptorArray kArrays[] = {
    ARRAY("event table 0", kEvent0, CI_EVENT_TABLE, false),
    ARRAY("event table 1", kEvent1, CI_EVENT_TABLE, false),
    ARRAY("event table 2", kEvent2, CI_EVENT_TABLE, false),
    ARRAY("event table 3", kEvent3, CI_EVENT_TABLE, false),
    ARRAY("card", kCard, CI_ONE, false),
    ARRAY("status", kStatus, CI_ONE, false),
    ARRAY("control", kControl, CI_ONE, false),
    ARRAY("download", kDownload, CI_ONE, false),
    ARRAY("temperature", kTemp, CI_TEMP_SENSORS, false),
    ARRAY("voltage", kVoltage, CI_VOLTAGES, false),
    ARRAY("log transfer", kLogTransfer, CI_ONE, false),
    ARRAY("HW error", kHwError, CI_HW_ERRORS, false),
    ARRAY("oper. alarm", kOperAlarm, CI_OPER_ALARMS, false),
    ARRAY("voltage monitor", kVoltageMonitor, CI_ONE, false),
    ARRAY("fpga", kFpga, CI_ONE, true),
    ARRAY("clocks", kClocks, CI_ONE, true),
    ARRAY("SFP", kSfp, CI_ONE, true),
    ARRAY("card state", kCardState, CI_ONE, false),
    ARRAY("download result", kDownloadResult, CI_ONE, false),
};

using CO = CommonObjectNumbers;
constexpr bool arrayAt(unsigned number, const CommonPropertyDescriptor* records) {
  return kArrays[number].records == records;
}
static_assert(std::size(kArrays) == CO::CO_COUNT);
static_assert(arrayAt(CO::CO_CARD, kCard) && arrayAt(CO::CO_STATUS, kStatus) &&
              arrayAt(CO::CO_CONTROL, kControl) && arrayAt(CO::CO_DOWNLOAD, kDownload) &&
              arrayAt(CO::CO_TEMPERATURE, kTemp) && arrayAt(CO::CO_VOLTAGE, kVoltage) &&
              arrayAt(CO::CO_LOG_TRANSFER, kLogTransfer) && arrayAt(CO::CO_HW_ERROR, kHwError) &&
              arrayAt(CO::CO_OPER_ALARM, kOperAlarm) &&
              arrayAt(CO::CO_VOLTAGE_MONITOR, kVoltageMonitor) && arrayAt(CO::CO_FPGA, kFpga) &&
              arrayAt(CO::CO_CLOCKS, kClocks) && arrayAt(CO::CO_SFP, kSfp) &&
              arrayAt(CO::CO_CARD_STATE, kCardState) &&
              arrayAt(CO::CO_DOWNLOAD_RESULT, kDownloadResult));

}  // namespace

const CommonDescriptorArray* arrays() {
  return kArrays;
}

size_t arrayCount() {
  return sizeof(kArrays) / sizeof(kArrays[0]);
}

const CommonDescriptorArray& eventTable(unsigned index) {
  return kArrays[index < 4 ? index : 0];
}

}  // namespace commondesc
