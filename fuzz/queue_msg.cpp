// Messages on the card's inbound queue, decoded by message id the way the
// main loop hands them to their handlers.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Ifc.h"
#include "drivermsg/hwMessages.h"
#include "drivermsg/pca9552Wire.h"
#include "drivermsg/udpQueueMsg.h"
#include "icsc/IcscWire.h"

namespace {

constexpr size_t QUEUE_MSG_SIZE = mainqueue::MAX_MSG_SIZE;

void dbgText(const uint8_t* data, size_t size) {
  // The loop's receive buffer: the text is cut at the end of the message
  // and at the buffer's last byte.
  static char buf[QUEUE_MSG_SIZE];
  std::memcpy(buf, data, size);
  buf[size < QUEUE_MSG_SIZE ? size : QUEUE_MSG_SIZE - 1] = '\0';
  buf[QUEUE_MSG_SIZE - 1] = '\0';
  char tokens[Ifc::kDbgMaxTokens][Ifc::kDbgTokenSize];
  unsigned n = size > 4 ? Ifc::tokenizeDbgCommand(buf + 4, tokens) : 0;
  if (n > Ifc::kDbgMaxTokens)
    std::abort();
  for (unsigned i = 0; i < n; ++i)
    if (std::strlen(tokens[i]) > Ifc::kDbgTokenSize - 2)
      std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > QUEUE_MSG_SIZE)
    return 0;  // the queue never delivers more
  static std::vector<ICSCTlv> cells;
  switch (hwmsg::msgId(data, size)) {
    case MSG_ADC:
      (void)hwmsg::decodeAdc(data, size);
      break;
    case MSG_PCA9552:
      (void)pca9552::decodeReply(data, size);
      break;
    case MSG_PWRMON: {
      auto m = hwmsg::decodePwrMon(data, size);
      if (m && m->text.size() > hwmsg::PWRMON_TEXT_SIZE)
        std::abort();
      break;
    }
    case MSG_TEMP:
      (void)hwmsg::decodeTemp(data, size);
      break;
    case MSG_PORT_LED:
      (void)hwmsg::decodePortLed(data, size);
      break;
    case MSG_UDP: {
      udpmsg::UdpQueueMsg m;
      if (udpmsg::decode(data, size, m)) {
        icscwire::Header h;
        (void)icscwire::decode(m.icsc, m.icscLen, h, cells);
      }
      break;
    }
    case MSG_DBG:
      dbgText(data, size);
      break;
    default:
      break;
  }
  return 0;
}
