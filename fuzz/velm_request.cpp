// The engine stand-in's request parser: decodes or refuses; what decodes
// encodes to the same request.
#include <cstdint>
#include <cstdlib>

#include "velm/VelmWire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velmwire::Request r;
  if (velmwire::decodeRequest(data, size, r) != velmwire::Status::OK)
    return 0;
  static uint8_t buf[velmwire::MAX_REQUEST_SIZE];
  velmwire::Status st;
  size_t n = velmwire::encodeRequest(r, buf, sizeof buf, st);
  velmwire::Request back;
  if (n == 0 || velmwire::decodeRequest(buf, n, back) != velmwire::Status::OK ||
      back.name != r.name || back.value != r.value || back.index1 != r.index1 ||
      back.index2 != r.index2 || back.op != r.op)
    std::abort();
  return 0;
}
