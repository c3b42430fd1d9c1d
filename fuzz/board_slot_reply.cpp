// The board driver's slot answer: any bytes; a slot it accepts is one the
// card can use, and the driver's own answer for it decodes the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "board/boardUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy so that a read past `size` leaves the allocation.
  std::vector<char> copy(data, data + size);
  int slot = -1;
  if (!boardUtils::parseSlotReply(copy.empty() ? nullptr : copy.data(), size, slot))
    return 0;
  if (slot < 0 || slot > 63)
    std::abort();
  std::string again = boardUtils::slotReply(slot);
  int back = -1;
  if (!boardUtils::parseSlotReply(again.data(), again.size(), back) || back != slot)
    std::abort();
  return 0;
}
