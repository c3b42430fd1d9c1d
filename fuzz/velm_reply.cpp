// velmora reply parser: every view it hands back lies inside the input.
#include <cstdint>
#include <cstdlib>

#include "velm/VelmWire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velmwire::Reply r;
  if (velmwire::decodeReply(data, size, r) != velmwire::Status::OK)
    return 0;
  const char* begin = reinterpret_cast<const char*>(data);
  if (!r.value.empty() &&
      (r.value.data() < begin || r.value.data() + r.value.size() > begin + size))
    std::abort();
  uint8_t buf[velmwire::MAX_REPLY_SIZE];
  velmwire::Status st;
  size_t n = velmwire::encodeReply(r, buf, sizeof buf, st);
  velmwire::Reply back;
  if (n == 0 || velmwire::decodeReply(buf, n, back) != velmwire::Status::OK || back.rc != r.rc ||
      back.seq != r.seq || back.value != r.value)
    std::abort();
  return 0;
}
