// The kernel's rtnetlink replies: any bytes split into messages, each DATA
// message through every decoder. Parts never reach past the datagram.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "net/RtnlCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> copy(data, data + size);
  const uint8_t* begin = copy.data();
  for (const rtnl::ReplyMessage& m : rtnl::splitReply(begin, size)) {
    if (m.part != rtnl::Part::DATA)
      continue;
    if (m.payload < begin || m.length > size || m.payload + m.length > begin + size)
      std::abort();
    rtnl::LinkInfo link;
    rtnl::AddrInfo addr;
    rtnl::RouteInfo route;
    if (rtnl::decodeLink(m.payload, m.length, link) && link.name.size() > m.length)
      std::abort();
    (void)rtnl::decodeAddr(m.payload, m.length, addr);
    (void)rtnl::decodeRoute(m.payload, m.length, route);
  }
  return 0;
}
