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

constexpr size_t REPLY_UNUSED_SIZE = 2;

// Each layout once, in wire order, for both directions.
template <typename Io, typename Request>
void requestFields(Io& io, Request& req) {
  io.u16(req.command);
  io.u16(req.deviceId);
  io.u16(req.pinMask);
  io.u16(req.value);
  io.u16(req.replyMode);
  io.u16(req.replyMsgId);
  // The name may fill all 30 bytes without a terminator.
  io.text(req.replyQueue, REPLY_QUEUE_NAME_SIZE);
}

template <typename Io, typename Reply>
void replyFields(Io& io, Reply& reply) {
  io.u32(reply.msgId);
  io.u16(reply.command);
  io.u16(reply.deviceId);
  io.u16(reply.pinMask);
  io.u16(reply.result);
  io.u16(reply.value);
  io.unused(REPLY_UNUSED_SIZE);
}

}  // namespace

RequestBytes encodeRequest(const Pca9552Request& req) {
  RequestBytes out{};
  wire::FieldWriter<wire::Order::LITTLE> io{{out.data(), out.size()}};
  requestFields(io, req);
  return out;
}

std::optional<Pca9552Request> decodeRequest(const uint8_t* data, size_t len) {
  if (data == nullptr || len != REQUEST_SIZE)
    return std::nullopt;
  wire::FieldReader<wire::Order::LITTLE> io{{data, len}};
  Pca9552Request req;
  requestFields(io, req);
  return req;
}

ReplyBytes encodeReply(const Pca9552Reply& reply) {
  ReplyBytes out{};
  wire::FieldWriter<wire::Order::LITTLE> io{{out.data(), out.size()}};
  replyFields(io, reply);
  return out;
}

std::optional<Pca9552Reply> decodeReply(const uint8_t* data, size_t len) {
  if (data == nullptr || len != REPLY_SIZE)
    return std::nullopt;
  wire::FieldReader<wire::Order::LITTLE> io{{data, len}};
  Pca9552Reply reply;
  replyFields(io, reply);
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
