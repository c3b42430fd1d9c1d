// Layouts of the I2C driver's reports on "/queueToMain" (ADC 0, power
// monitor 19, temperature 26), the port status message 29, the tick 27 and
// the self-test requests on "/queueToI2cDrv". 32-bit little-endian words;
// every decoder checks the length before it reads a field and ignores bytes
// past the layout.
//
//   ADC:         id | unused | property | value
//   temperature: id | unused | property | sensor index | value   (0 .. 2)
//                id | unused | 3 | 5 x {temperature i32, status u8}
//   power:       id | text [8] | status value u8, pad [3] | state |
//                error flag u8, pad [3] | unused [4] | 7 valid flags u8,
//                pad [1] | 7 voltages i32 (mV)
//   port status: id | vocal alarm | word A | word B
//   tick:        id | tick count
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drivermsg/mainQueue.h"

namespace hwmsg {

// Self-test requests to the I2C driver: room for the 16- and 20-byte
// requests.
constexpr const char* I2C_QUEUE = "/queueToI2cDrv";
constexpr long I2C_QUEUE_MSG_SIZE = 64;
constexpr long I2C_QUEUE_DEPTH = 10;

constexpr unsigned NBR_OF_TEMP_SENSORS = 5;
constexpr unsigned NBR_OF_REGULATORS = 7;

// ADC properties.
constexpr uint32_t ADC_PROP_POWER = 0;
constexpr uint32_t ADC_PROP_SELFTEST = 1;
// Temperature properties.
constexpr uint32_t TEMP_PROP_VALUE = 0;
constexpr uint32_t TEMP_PROP_STATUS = 1;
constexpr uint32_t TEMP_PROP_SELFTEST = 2;
constexpr uint32_t TEMP_PROP_ALL = 3;
// Power-monitor states.
constexpr uint32_t PWRMON_STATE_IDLE = 0;
constexpr uint32_t PWRMON_STATE_ACTIVE = 1;
constexpr uint32_t PWRMON_STATE_FAIL = 2;

constexpr size_t ADC_MSG_SIZE = 16;
constexpr size_t TEMP_MSG_SIZE = 20;           // properties 0 .. 2
constexpr size_t TEMP_ALL_MSG_SIZE = 12 + 25;  // property 3: five 5-byte records
constexpr size_t TEMP_PROP_END = 12;           // enough to know the property
constexpr size_t PWRMON_MSG_SIZE = 64;
constexpr size_t PWRMON_TEXT_SIZE = 8;
constexpr size_t PORT_LED_MSG_SIZE = 16;
constexpr size_t TICK_MSG_SIZE = 8;
constexpr size_t ADC_SELFTEST_REQ_SIZE = 16;
constexpr size_t TEMP_SELFTEST_REQ_SIZE = 20;

struct AdcMsg {
  uint32_t property = 0;
  int32_t value = 0;
};

struct TempRecord {
  int32_t temperature = 0;
  uint8_t status = 0;
};

struct TempSensorMsg {
  uint32_t property = 0;
  uint32_t sensorIndex = 0;                           // properties 0 .. 2
  int32_t value = 0;                                  // properties 0 .. 2
  std::array<TempRecord, NBR_OF_TEMP_SENSORS> all{};  // property 3
};

struct PowerMonitorMsg {
  std::array<uint8_t, 60> raw{};  // bytes 4 .. 63, kept as received
  std::string text;               // offset 4, at most 8 characters
  uint8_t statusValue = 0;        // offset 12
  uint32_t state = 0;             // offset 16
  uint8_t errorFlag = 0;          // offset 20
  std::array<uint8_t, NBR_OF_REGULATORS> valid{};
  std::array<int32_t, NBR_OF_REGULATORS> millivolts{};
};

struct PortLedMsg {
  uint32_t vocalAlarm = 0;
  uint32_t wordA = 0;
  uint32_t wordB = 0;
};

uint32_t msgId(const uint8_t* data, size_t len);  // 0xFFFFFFFF when shorter than 4

// Each returns nothing when `len` is below the layout's size; `needed` (if
// given) receives the size that was required.
std::optional<AdcMsg> decodeAdc(const uint8_t* data, size_t len, size_t* needed = nullptr);
std::optional<TempSensorMsg> decodeTemp(const uint8_t* data, size_t len, size_t* needed = nullptr);
std::optional<PowerMonitorMsg> decodePwrMon(const uint8_t* data, size_t len,
                                            size_t* needed = nullptr);
std::optional<PortLedMsg> decodePortLed(const uint8_t* data, size_t len, size_t* needed = nullptr);
std::optional<uint32_t> decodeTick(const uint8_t* data, size_t len);  // the tick count

// Encoders, used by the driver stand-ins, tests and the bench injector.
std::vector<uint8_t> encodeAdc(uint32_t property, int32_t value);
std::vector<uint8_t> encodeTemp(uint32_t property, uint32_t sensorIndex, int32_t value);
std::vector<uint8_t> encodeTempAll(const std::array<TempRecord, NBR_OF_TEMP_SENSORS>& records);
std::vector<uint8_t> encodePwrMon(const PowerMonitorMsg& msg);
std::vector<uint8_t> encodePortLed(const PortLedMsg& msg);
std::vector<uint8_t> encodeTick(uint32_t count);
std::vector<uint8_t> encodeWords(const std::vector<uint32_t>& words);

// Self-test requests to the I2C driver.
std::vector<uint8_t> adcSelfTestRequest();   // words 1, 0, 1, 0
std::vector<uint8_t> tempSelfTestRequest();  // words 0, 0, 2, 0, 0
enum class SelfTestKind { NONE, ADC, TEMP };
SelfTestKind classifySelfTestRequest(const uint8_t* data, size_t len);

}  // namespace hwmsg
