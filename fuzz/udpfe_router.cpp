// The UDP front end's router: any bytes as a client datagram and as a card
// answer. A forwarded request whose answer comes back unchanged reaches
// the client that sent it with the client's own bytes.
#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "UdpRouter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  UdpRouter router;
  sockaddr_in client{};
  client.sin_family = AF_INET;
  client.sin_port = htons(40000);
  client.sin_addr.s_addr = htonl(0x7F000001);

  std::vector<uint8_t> dgram(data, data + size);
  std::vector<uint8_t> msg(UdpRouter::QUEUE_MSG_MAX);
  size_t msgLen = 0;
  UdpRouter::Result r = router.toCard(dgram.data(), size, client, 0, msg.data(), msgLen);
  if (r == UdpRouter::Result::OK) {
    std::vector<uint8_t> answer(msg.begin(), msg.begin() + static_cast<long>(msgLen));
    sockaddr_in to{};
    uint8_t* payload = nullptr;
    size_t payloadLen = 0;
    bool tracked = router.pending() == 1;
    UdpRouter::Result back = router.fromCard(answer.data(), answer.size(), to, payload, payloadLen);
    if (tracked != (back == UdpRouter::Result::OK))
      std::abort();
    if (back == UdpRouter::Result::OK &&
        (to.sin_port != client.sin_port || payloadLen != size ||
         std::memcmp(payload, data, size) != 0 || router.pending() != 0))
      std::abort();
  } else if (r != UdpRouter::Result::TOO_LONG || size <= udpmsg::MAX_ICSC_SIZE) {
    std::abort();
  }

  // The same bytes as an answer the router never asked for.
  std::vector<uint8_t> stray(data, data + size);
  sockaddr_in to{};
  uint8_t* payload = nullptr;
  size_t payloadLen = 0;
  if (router.fromCard(stray.data(), stray.size(), to, payload, payloadLen) ==
          UdpRouter::Result::OK &&
      (payload < stray.data() || payload + payloadLen != stray.data() + stray.size()))
    std::abort();
  return 0;
}
