// Message 28 between the front end and the card: any bytes. The views lie
// inside the input, and what decodes encodes back to the same fields.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "drivermsg/udpQueueMsg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > udpmsg::MAX_SIZE)
    return 0;  // the queue never delivers more
  std::vector<uint8_t> copy(data, data + size);
  const uint8_t* begin = copy.data();
  const char* text = reinterpret_cast<const char*>(begin);
  udpmsg::UdpQueueMsg m;
  bool complete = udpmsg::decode(begin, size, m);
  if (m.sender.size() > udpmsg::ADDR_SIZE ||
      (!m.sender.empty() && (m.sender.data() < text || m.sender.end() > text + size)))
    std::abort();
  if (!complete)
    return 0;
  if (m.icscLen == 0 || m.icsc + m.icscLen != begin + size)
    std::abort();
  std::vector<uint8_t> again(udpmsg::MAX_SIZE);
  size_t n = udpmsg::encode(m.id, m.sender, m.icsc, m.icscLen, again.data(), again.size());
  udpmsg::UdpQueueMsg back;
  if (n != size || !udpmsg::decode(again.data(), n, back) || back.id != m.id ||
      back.sender != m.sender || back.icscLen != m.icscLen ||
      std::memcmp(back.icsc, m.icsc, m.icscLen) != 0)
    std::abort();
  return 0;
}
