// Wire layouts between the card and the pca9552 LED driver, little-endian:
//
//   request (42 bytes): command u16 | device id u16 | pin mask u16 |
//     value u16 | reply mode u16 | reply message id u16 | reply queue [30]
//   reply, message 7 (16 bytes): message id u32 | command u16 |
//     device id u16 | pin mask u16 | result u16 | value u16 | unused [2]
//
// The reply queue name is NUL-padded and may fill its 30 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pca9552 {

enum Command : uint16_t {
  SetDirectionOfAllPinsRequest = 0,
  SetDirectionOfAllPinsReply = 1,
  SetOutputValueOfSelectedPinsRequest = 2,
  SetOutputValueOfSelectedPinsReply = 3,
  GetStateOfAllPinsRequest = 4,
  GetStateOfAllPinsReply = 5,
  DoSelfTestsOnAllDevicesRequest = 6,
  DoSelfTestsOnAllDevicesReply = 7,
  EventStateOfAllPins = 8,
};

enum OutputValue : uint16_t {
  ON = 0,  // pin driven low: LED lit
  OFF = 1,
  BLINK_RATE_0 = 2,  // slow
  BLINK_RATE_1 = 3,  // fast
};

// Where the driver listens, and where the card binds to hear it.
constexpr const char* DRIVER_SOCKET_PATH = "/tmp/pca9552DriverServer";
constexpr const char* CARD_SOCKET_PATH = "/tmp/mainToPca9552Driver";

// The pins of the front panel: fail, dummy, then ports 1..8.
constexpr unsigned FAIL_LED_PIN = 1;
constexpr unsigned DUMMY_LED_PIN = 0;
constexpr unsigned NBR_OF_PORTS = 8;
constexpr unsigned PORT_LED_PIN[NBR_OF_PORTS] = {8, 10, 12, 14, 9, 11, 13, 15};

constexpr size_t REQUEST_SIZE = 42;
constexpr size_t REPLY_SIZE = 16;
constexpr size_t REPLY_QUEUE_NAME_SIZE = 30;
constexpr uint16_t REPLY_MODE = 1;

struct Pca9552Request {
  uint16_t command = 0;
  uint16_t deviceId = 0;
  uint16_t pinMask = 0;
  uint16_t value = 0;
  uint16_t replyMode = REPLY_MODE;
  uint16_t replyMsgId = 0;
  std::string replyQueue;  // at most 30 characters go on the wire
};

struct Pca9552Reply {
  uint32_t msgId = 0;
  uint16_t command = 0;
  uint16_t deviceId = 0;
  uint16_t pinMask = 0;
  uint16_t result = 0;  // 0 = success
  uint16_t value = 0;
};

using RequestBytes = std::array<uint8_t, REQUEST_SIZE>;
using ReplyBytes = std::array<uint8_t, REPLY_SIZE>;

RequestBytes encodeRequest(const Pca9552Request& req);
// Exactly REQUEST_SIZE bytes, else nothing.
std::optional<Pca9552Request> decodeRequest(const uint8_t* data, size_t len);
ReplyBytes encodeReply(const Pca9552Reply& reply);
// Exactly REPLY_SIZE bytes, else nothing.
std::optional<Pca9552Reply> decodeReply(const uint8_t* data, size_t len);

const char* commandName(unsigned command);  // "UnknownCommand" above 8
const char* valueName(unsigned value);      // "UnknownValue" above 3

}  // namespace pca9552
