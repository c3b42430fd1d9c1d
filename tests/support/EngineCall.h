// The card's protocol engine called in-process, as the front end's queue
// message would: one request encoded, handled, and its answer decoded.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "icsc/IcscProtocol.h"
#include "icsc/IcscWire.h"

namespace testsupport {

// Keeps the engine's last answer.
class LastAnswerSink : public IcscResponseSink {
 public:
  bool sendResponse(std::string_view, const uint8_t* data, size_t len) override {
    last.assign(data, data + len);
    return true;
  }
  std::vector<uint8_t> last;
};

// The answer's one cell; status 0xFF when no single-cell answer to `id` came.
inline ICSCTlv engineCall(IcscProtocolBase& engine, LastAnswerSink& sink, uint8_t op,
                          const ICSCTlv& cell, uint32_t id) {
  icscwire::Header h;
  h.op = op;
  h.requestId = id;
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(icscwire::encode(h, &cell, 1, bytes));
  sink.last.clear();
  engine.handleIcscMsg(static_cast<int>(bytes.size()), reinterpret_cast<const char*>(bytes.data()),
                       "127.0.0.1");
  icscwire::Header rh;
  std::vector<ICSCTlv> cells;
  ICSCTlv none;
  none.status = 0xFF;
  if (icscwire::decode(sink.last.data(), sink.last.size(), rh, cells) != icscwire::Decode::OK ||
      cells.size() != 1 || rh.requestId != id)
    return none;
  return cells[0];
}

}  // namespace testsupport
