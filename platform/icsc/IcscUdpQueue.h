// Posts the engine's answers to the UDP front end over the POSIX queue
// "/queueToUdp" as message 28 (drivermsg/udpQueueMsg.h) to the sender.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "drivermsg/udpQueueMsg.h"
#include "icsc/IcscProtocol.h"

class MessageQueue;

class IcscUdpQueueSink : public IcscResponseSink {
 public:
  explicit IcscUdpQueueSink(const char* queueName = udpmsg::UDP_QUEUE);
  ~IcscUdpQueueSink() override;
  bool sendResponse(std::string_view senderIp, const uint8_t* data, size_t len) override;

 private:
  bool open();

  const char* m_name;
  std::unique_ptr<MessageQueue> m_queue;
  bool m_openFailLogged = false;
  std::vector<uint8_t> m_buf;
};
