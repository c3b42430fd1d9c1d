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
struct RequestLayout {
  template <typename Io, typename Request>
  void operator()(Io& io, Request& req) const {
    io.u16(req.command);
    io.u16(req.deviceId);
    io.u16(req.pinMask);
    io.u16(req.value);
    io.u16(req.replyMode);
    io.u16(req.replyMsgId);
    // The name may fill all 30 bytes without a terminator.
    io.text(req.replyQueue, REPLY_QUEUE_NAME_SIZE);
  }
};

struct ReplyLayout {
  template <typename Io, typename Reply>
  void operator()(Io& io, Reply& reply) const {
    io.u32(reply.msgId);
    io.u16(reply.command);
    io.u16(reply.deviceId);
    io.u16(reply.pinMask);
    io.u16(reply.result);
    io.u16(reply.value);
    io.unused(REPLY_UNUSED_SIZE);
  }
};

template <typename Layout, typename Bytes, typename Message>
Bytes encode(const Message& msg) {
  Bytes out{};
  wire::FieldWriter<wire::Order::LITTLE> io{{out.data(), out.size()}};
  Layout{}(io, msg);
  return out;
}

// Exactly `size` bytes, else nothing.
template <typename Layout, typename Message>
std::optional<Message> decode(const uint8_t* data, size_t len, size_t size) {
  if (data == nullptr || len != size)
    return std::nullopt;
  wire::FieldReader<wire::Order::LITTLE> io{{data, len}};
  Message msg;
  Layout{}(io, msg);
  return msg;
}

}  // namespace

RequestBytes encodeRequest(const Pca9552Request& req) {
  return encode<RequestLayout, RequestBytes>(req);
}

std::optional<Pca9552Request> decodeRequest(const uint8_t* data, size_t len) {
  return decode<RequestLayout, Pca9552Request>(data, len, REQUEST_SIZE);
}

ReplyBytes encodeReply(const Pca9552Reply& reply) {
  return encode<ReplyLayout, ReplyBytes>(reply);
}

std::optional<Pca9552Reply> decodeReply(const uint8_t* data, size_t len) {
  return decode<ReplyLayout, Pca9552Reply>(data, len, REPLY_SIZE);
}

const char* commandName(unsigned command) {
  return command < sizeof kCommandNames / sizeof kCommandNames[0] ? kCommandNames[command]
                                                                  : "UnknownCommand";
}

const char* valueName(unsigned value) {
  return value < sizeof kValueNames / sizeof kValueNames[0] ? kValueNames[value] : "UnknownValue";
}

}  // namespace pca9552
