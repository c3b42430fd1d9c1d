// Decoders of the LED driver's request and reply: any bytes, any length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "drivermsg/pca9552Wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (auto req = pca9552::decodeRequest(data, size)) {
    auto again = pca9552::encodeRequest(*req);
    if (pca9552::decodeRequest(again.data(), again.size())->replyQueue != req->replyQueue)
      std::abort();
  }
  if (auto reply = pca9552::decodeReply(data, size)) {
    auto again = pca9552::encodeReply(*reply);
    for (size_t i = 0; i < 14; ++i) {
      if (again[i] != data[i])
        std::abort();
    }
  }
  return 0;
}
