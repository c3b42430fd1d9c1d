// Record ids of the common objects that the card's calls fill, and the
// conversions between descriptor records and ICSC cells shared by the
// server and its clients.
#pragma once

#include <cstdint>
#include <string>

#include "icsc/CommonPropertyDescriptor.h"
#include "icsc/IcscTypes.h"

namespace commonrec {

enum CardRecord : unsigned {
  CARD_TYPE = 0,
  CARD_LOADWARE = 2,
  CARD_SLOT = 4,
  CARD_TEMP_SENSORS = 5,
  CARD_VOLTAGE_MONITORS = 6,
  CARD_HW_ERRORS = 8,
  CARD_OPER_ALARMS = 9,
};
enum StatusRecord : unsigned {
  STATUS_POWER = 0,
  STATUS_HW_ERROR = 1,
  STATUS_OPER_ALARM = 2,
  STATUS_DPLL_ACTIVE_CLK = 3,  // then the recovered and the port recovering clock alarms
};
enum ControlRecord : unsigned { CTRL_REBOOT = 0, CTRL_UTC_TIME = 1, CTRL_BP_CLK_REF = 2 };
enum TempRecord : unsigned { TEMP_NAME = 0, TEMP_VALUE, TEMP_VALID, TEMP_MIN, TEMP_MAX };
enum VoltRecord : unsigned { VOLT_NAME = 0, VOLT_VALUE, VOLT_NOMINAL, VOLT_VALID };
enum LogRecord : unsigned {
  LOG_SERVER = 0,
  LOG_PORT,
  LOG_USER,
  LOG_PASSWORD,
  LOG_DIRECTORY,
  LOG_RESULT,
  LOG_STATE
};
enum ErrRecord : unsigned { ERR_ID = 0, ERR_NAME, ERR_ACTIVE };
enum VmonRecord : unsigned { VMON_PRESENT = 0, VMON_HW_ERROR, VMON_VERSION, VMON_UPDATE_FAILED };
enum CardStateRecord : unsigned {
  CARDSTATE_VALUE = 0,
  CARDSTATE_NAME,
  CARDSTATE_LEDS_ON,
  CARDSTATE_LEDS_SLOW,
  CARDSTATE_LEDS_FAST
};

// One record's value: numbers (bool 0/1, u64 bit for bit) or text.
struct Value {
  int64_t num = 0;
  std::string str;
};

// The wire type of a record's type code; NONE for an unknown code.
IcscType wireType(const CommonPropertyDescriptor& rec);
// The label without its padding blanks.
std::string trimmedLabel(const CommonPropertyDescriptor& rec);
// The record's default value.
Value defaultValue(const CommonPropertyDescriptor& rec);
// The value as text ("true"/"false" for bool).
std::string text(const CommonPropertyDescriptor& rec, const Value& v);

}  // namespace commonrec
