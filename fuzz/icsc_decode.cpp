// Fuzzes the ICSC decoder and the protocol engine behind it, the common
// card objects' server included: any input must decode or be rejected
// without reading past its end, and whatever decodes must encode back to the
// same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "CardObjects.h"
#include "Ifc.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscProtocol.h"
#include "icsc/IcscWire.h"

namespace {

class CountingSink : public IcscResponseSink {
 public:
  bool sendResponse(std::string_view, const uint8_t* data, size_t len) override {
    icscwire::Header h;
    std::vector<ICSCTlv> cells;
    // The engine's own answers always decode.
    if (icscwire::decode(data, len, h, cells) != icscwire::Decode::OK)
      std::abort();
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> exact(data, data + size);
  icscwire::Header h;
  std::vector<ICSCTlv> cells;
  if (icscwire::decode(exact.data(), exact.size(), h, cells) == icscwire::Decode::OK) {
    std::vector<uint8_t> again;
    if (!icscwire::encode(h, cells.data(), cells.size(), again) || again != exact)
      std::abort();
  }
  // The engine on objects with stored values only (no engine process).
  static CardObjects* card = new CardObjects();
  static CountingSink sink;
  // No log engine: a GETLOG start is refused instead of packing files.
  static commonStatCtrl* common =
      new commonStatCtrl("commonStatCtrl", Ifc::kCardType, card, Ifc::kNbrTempSensors,
                         Ifc::kNbrVoltageSensors, Ifc::kNbrHwErrors, Ifc::kNbrOperErrors, nullptr);
  static IcscProtocolIfc* engine = new IcscProtocolIfc(common, card, &sink);
  engine->handleIcscMsg(static_cast<int>(exact.size()), reinterpret_cast<const char*>(exact.data()),
                        "127.0.0.1");
  return 0;
}
