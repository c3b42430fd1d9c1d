#include "drivermsg/pca9552Wire.h"

#include "wire/ByteOrder.h"

namespace pca9552 {

namespace {

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
  wire::LeWriter w(out.data(), out.size());
  w.u16(req.command);
  w.u16(req.deviceId);
  w.u16(req.pinMask);
  w.u16(req.value);
  w.u16(req.replyMode);
  w.u16(req.replyMsgId);
  w.text(req.replyQueue, REPLY_QUEUE_NAME_SIZE);
  return out;
}

std::optional<Pca9552Request> decodeRequest(const uint8_t* data, size_t len) {
  if (data == nullptr || len != REQUEST_SIZE)
    return std::nullopt;
  wire::LeReader r(data, len);
  Pca9552Request req;
  req.command = r.u16();
  req.deviceId = r.u16();
  req.pinMask = r.u16();
  req.value = r.u16();
  req.replyMode = r.u16();
  req.replyMsgId = r.u16();
  // The name may fill all 30 bytes without a terminator.
  req.replyQueue = std::string(r.text(REPLY_QUEUE_NAME_SIZE));
  return req;
}

ReplyBytes encodeReply(const Pca9552Reply& reply) {
  ReplyBytes out{};
  wire::LeWriter w(out.data(), out.size());
  w.u32(reply.msgId);
  w.u16(reply.command);
  w.u16(reply.deviceId);
  w.u16(reply.pinMask);
  w.u16(reply.result);
  w.u16(reply.value);
  return out;
}

std::optional<Pca9552Reply> decodeReply(const uint8_t* data, size_t len) {
  if (data == nullptr || len != REPLY_SIZE)
    return std::nullopt;
  wire::LeReader r(data, len);
  Pca9552Reply reply;
  reply.msgId = r.u32();
  reply.command = r.u16();
  reply.deviceId = r.u16();
  reply.pinMask = r.u16();
  reply.result = r.u16();
  reply.value = r.u16();
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
