// Message 900 of the debug front end: a command line posted to
// "/queueToMain", and the card's ready answer (an empty text) on the front
// end's queue. Little-endian like every queue message:
//
//   id u32 (900) | text, NUL-terminated
//
// The card reads the text in place in its receive buffer (Ifc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "drivermsg/mainQueue.h"

namespace dbgmsg {

constexpr const char* FDEBUG_QUEUE = "/queueToFdebug";
constexpr size_t HEADER_SIZE = 4;
constexpr size_t MAX_TEXT = static_cast<size_t>(mainqueue::MAX_MSG_SIZE) - HEADER_SIZE - 1;

// Empty when the text is longer than MAX_TEXT.
std::vector<uint8_t> encode(std::string_view text);

}  // namespace dbgmsg
