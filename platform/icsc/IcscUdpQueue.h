// Posts the engine's answers to the UDP front end over the POSIX queue
// "/queueToUdp" as message 28 (drivermsg/udpQueueMsg.h) to the sender.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "icsc/IcscProtocol.h"

class MessageQueue;

class IcscUdpQueueSink : public IcscResponseSink {
 public:
  // As deep as "/queueToMain": the answers to a full inbound queue all fit
  // while the front end is not scheduled.
  static constexpr long QUEUE_DEPTH = 30;

  explicit IcscUdpQueueSink(const char* queueName = "/queueToUdp");
  ~IcscUdpQueueSink() override;
  bool sendResponse(std::string_view senderIp, const uint8_t* data, size_t len) override;

 private:
  bool open();

  const char* m_name;
  std::unique_ptr<MessageQueue> m_queue;
  bool m_openFailLogged = false;
  std::vector<uint8_t> m_buf;
};
