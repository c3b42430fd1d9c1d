#include "drivermsg/dbgMsg.h"

#include "wire/ByteOrder.h"

namespace dbgmsg {

std::vector<uint8_t> encode(std::string_view text) {
  if (text.size() > MAX_TEXT)
    return {};
  std::vector<uint8_t> out(HEADER_SIZE + text.size() + 1);
  wire::LeWriter w(out.data(), out.size());
  w.u32(MSG_DBG);
  w.text(text, text.size() + 1);
  return out;
}

}  // namespace dbgmsg
