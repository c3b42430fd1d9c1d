#include "drivermsg/pca9552Wire.h"

#include "drivermsg/wireLe.h"

namespace pca9552 {

namespace {

// Request field offsets.
constexpr size_t REQ_COMMAND = 0;
constexpr size_t REQ_DEVICE_ID = 2;
constexpr size_t REQ_PIN_MASK = 4;
constexpr size_t REQ_VALUE = 6;
constexpr size_t REQ_REPLY_MODE = 8;
constexpr size_t REQ_REPLY_MSG_ID = 10;
constexpr size_t REQ_REPLY_QUEUE = 12;

// Reply field offsets.
constexpr size_t REP_MSG_ID = 0;
constexpr size_t REP_COMMAND = 4;
constexpr size_t REP_DEVICE_ID = 6;
constexpr size_t REP_PIN_MASK = 8;
constexpr size_t REP_RESULT = 10;
constexpr size_t REP_VALUE = 12;

constexpr const char* kCommandNames[] = {
    "SetDirectionOfAllPinsRequest",
    "SetDirectionOfAllPinsReply",
    "SetOutputValueOfSelectedPinsRequest",
    "SetOutputValueOfSelectedPinsReply",
    "GetStateOfAllPinsRequest",
    "GetStateOfAllPinsReply",
    "DoSelfTestsOnAllDevicesRequest",
    "DoSelfTestsOnAllDevicesReply",
    "EventStateOfAllPins",
};

constexpr const char* kValueNames[] = {"ON", "OFF", "BLINK_RATE_0", "BLINK_RATE_1"};

}  // namespace

RequestBytes encodeRequest(const Pca9552Request& req) {
  RequestBytes out{};
  wire::putU16(out.data(), REQ_COMMAND, req.command);
  wire::putU16(out.data(), REQ_DEVICE_ID, req.deviceId);
  wire::putU16(out.data(), REQ_PIN_MASK, req.pinMask);
  wire::putU16(out.data(), REQ_VALUE, req.value);
  wire::putU16(out.data(), REQ_REPLY_MODE, req.replyMode);
  wire::putU16(out.data(), REQ_REPLY_MSG_ID, req.replyMsgId);
  for (size_t i = 0; i < REPLY_QUEUE_NAME_SIZE && i < req.replyQueue.size(); ++i)
    out[REQ_REPLY_QUEUE + i] = static_cast<uint8_t>(req.replyQueue[i]);
  return out;
}

std::optional<Pca9552Request> decodeRequest(const uint8_t* data, size_t len) {
  if (data == nullptr || len != REQUEST_SIZE)
    return std::nullopt;
  Pca9552Request req;
  req.command = wire::getU16(data, REQ_COMMAND);
  req.deviceId = wire::getU16(data, REQ_DEVICE_ID);
  req.pinMask = wire::getU16(data, REQ_PIN_MASK);
  req.value = wire::getU16(data, REQ_VALUE);
  req.replyMode = wire::getU16(data, REQ_REPLY_MODE);
  req.replyMsgId = wire::getU16(data, REQ_REPLY_MSG_ID);
  // The name may fill all 30 bytes without a terminator.
  size_t n = 0;
  while (n < REPLY_QUEUE_NAME_SIZE && data[REQ_REPLY_QUEUE + n] != 0)
    ++n;
  req.replyQueue.assign(reinterpret_cast<const char*>(data + REQ_REPLY_QUEUE), n);
  return req;
}

ReplyBytes encodeReply(const Pca9552Reply& reply) {
  ReplyBytes out{};
  wire::putU32(out.data(), REP_MSG_ID, reply.msgId);
  wire::putU16(out.data(), REP_COMMAND, reply.command);
  wire::putU16(out.data(), REP_DEVICE_ID, reply.deviceId);
  wire::putU16(out.data(), REP_PIN_MASK, reply.pinMask);
  wire::putU16(out.data(), REP_RESULT, reply.result);
  wire::putU16(out.data(), REP_VALUE, reply.value);
  return out;
}

std::optional<Pca9552Reply> decodeReply(const uint8_t* data, size_t len) {
  if (data == nullptr || len != REPLY_SIZE)
    return std::nullopt;
  Pca9552Reply reply;
  reply.msgId = wire::getU32(data, REP_MSG_ID);
  reply.command = wire::getU16(data, REP_COMMAND);
  reply.deviceId = wire::getU16(data, REP_DEVICE_ID);
  reply.pinMask = wire::getU16(data, REP_PIN_MASK);
  reply.result = wire::getU16(data, REP_RESULT);
  reply.value = wire::getU16(data, REP_VALUE);
  return reply;
}

const char* commandName(unsigned command) {
  return command < sizeof kCommandNames / sizeof kCommandNames[0] ? kCommandNames[command]
                                                                  : "UnknownCommand";
}

const char* valueName(unsigned value) {
  return value < sizeof kValueNames / sizeof kValueNames[0] ? kValueNames[value] : "UnknownValue";
}

}  // namespace pca9552
