// A card queue written as a driver on the card writes it: a message that
// finds the queue full waits a bounded time for room before it is lost.
// Waits and losses are logged when a run of them starts and ends, not per
// message; so is a queue the card has not created yet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mq/MessageQueue.h"

namespace simqueue {

class CardQueueSender {
 public:
  static constexpr unsigned kRoomWaitMs = 2000;

  // `who` starts its log lines.
  explicit CardQueueSender(std::string who, unsigned roomWaitMs = kRoomWaitMs);
  // Opens `queue` (created by the card, never here) unless it is the one
  // open; false when the message is lost.
  bool send(const std::string& queue, const uint8_t* msg, size_t len);
  bool send(const std::string& queue, const std::vector<uint8_t>& msg) {
    return send(queue, msg.data(), msg.size());
  }

 private:
  std::string m_who;
  unsigned m_roomWaitMs;
  std::optional<MessageQueue> m_queue;
  bool m_unopened = false;
  bool m_waiting = false;
  bool m_losing = false;
};

}  // namespace simqueue
