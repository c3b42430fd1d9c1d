// The card's inbound queue, on which every peer reports to the controller:
// its name, its limits and the ids of its messages (the first 32-bit word
// of each, little-endian like every driver message).
#pragma once

#include <cstdint>

namespace mainqueue {

constexpr const char* NAME = "/queueToMain";
constexpr long MAX_MSG_SIZE = 2000;
constexpr long DEPTH = 30;

}  // namespace mainqueue

enum MainMsgId : uint32_t {
  MSG_ADC = 0,
  MSG_PCA9552 = 7,
  MSG_PWRMON = 19,
  MSG_STOP = 23,
  MSG_TEMP = 26,
  MSG_TIMER_TICK = 27,
  MSG_UDP = 28,
  MSG_PORT_LED = 29,
  MSG_DBG = 900,
};
