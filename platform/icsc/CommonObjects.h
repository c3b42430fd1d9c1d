// The numbers of the common objects and the ids of the records the card's
// calls fill: one list for the descriptor arrays, the server and its
// clients.
#pragma once

struct CommonObjectNumbers {
  // Index of the descriptor array; the object number in OIDs of kind 11.
  enum CommonObject : unsigned {
    CO_CARD = 4,
    CO_STATUS = 5,
    CO_CONTROL = 6,
    CO_DOWNLOAD = 7,
    CO_TEMPERATURE = 8,
    CO_VOLTAGE = 9,
    CO_LOG_TRANSFER = 10,
    CO_HW_ERROR = 11,
    CO_OPER_ALARM = 12,
    CO_VOLTAGE_MONITOR = 13,
    CO_FPGA = 14,
    CO_CLOCKS = 15,
    CO_SFP = 16,
    CO_CARD_STATE = 17,
    CO_DOWNLOAD_RESULT = 18,
    CO_COUNT = 19,
  };
};

namespace commonrec {

enum CardRecord : unsigned {
  CARD_TYPE = 0,
  CARD_LOADWARE = 2,
  CARD_BACKUP_LOADWARE = 3,
  CARD_SLOT = 4,
  CARD_TEMP_SENSORS = 5,
  CARD_VOLTAGE_MONITORS = 6,
  CARD_BOOT_VERSION = 7,
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
enum DownloadRecord : unsigned {
  DLD_FILENAME = 0,
  DLD_START,
  DLD_STOP,
  DLD_COMMIT,
  DLD_ACCEPT,
  DLD_STATE,
  DLD_PROGRESS,
  DLD_NAME,
  DLD_BSP_NAME,
  DLD_CLEAR_ERRORS,
  DLD_COMMIT_TIMER
};
enum DownloadResultRecord : unsigned {
  DLDRES_RESULT = 0,
  DLDRES_REASON,
  DLDRES_RUNNING_SLOT,
  DLDRES_TRIAL_LEFT
};

}  // namespace commonrec
