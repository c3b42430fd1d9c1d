// Posts the engine's answers to the UDP front end over the POSIX queue
// "/queueToUdp": 32-bit message id 28, the 15-byte destination address
// text, then the ICSC message (at most 2000 bytes in all).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "icsc/IcscProtocol.h"

class MessageQueue;

class IcscUdpQueueSink : public IcscResponseSink {
 public:
  static constexpr uint32_t MSG_ID = 28;
  static constexpr size_t ADDR_LEN = 15;
  static constexpr size_t MAX_MSG = 2000;
  // As deep as "/queueToMain": the answers to a full inbound queue all fit
  // while the front end is not scheduled.
  static constexpr long QUEUE_DEPTH = 30;

  explicit IcscUdpQueueSink(const char* queueName = "/queueToUdp");
  ~IcscUdpQueueSink() override;
  bool sendResponse(const char* senderIp, const uint8_t* data, size_t len) override;

 private:
  bool open();

  const char* m_name;
  std::unique_ptr<MessageQueue> m_queue;
  bool m_openFailLogged = false;
  std::vector<char> m_buf;
};
