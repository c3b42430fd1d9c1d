// ICSC request decoder: any bytes decode or are refused; whatever decodes
// encodes again to bytes that decode to the same cells.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "icsc/IcscWire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::vector<ICSCTlv> cells, again;
  icscwire::Header h, h2;
  if (icscwire::decode(data, size, h, cells) != icscwire::Decode::OK)
    return 0;
  std::vector<uint8_t> out;
  if (!icscwire::encode(h, cells.data(), cells.size(), out))
    return 0;
  if (icscwire::decode(out.data(), out.size(), h2, again) != icscwire::Decode::OK ||
      again.size() != cells.size() || h2.requestId != h.requestId || h2.op != h.op)
    std::abort();
  for (size_t i = 0; i < cells.size(); ++i)
    if (again[i].oid != cells[i].oid || again[i].type != cells[i].type ||
        again[i].num != cells[i].num || again[i].str != cells[i].str)
      std::abort();
  return 0;
}
