// The uploader's request and the card's reading of its answer: any bytes;
// whatever decodes encodes again to the same bytes. The first byte picks
// the message.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/FtpUploadWire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    std::optional<ftpupload::Answer> answer = ftpupload::decodeAnswer(bytes);
    if (answer && ftpupload::encodeAnswer(*answer) != bytes)
      std::abort();
    return 0;
  }
  std::optional<ftpupload::Request> request = ftpupload::decodeRequest(bytes);
  if (request && ftpupload::encodeRequest(*request) != bytes)
    std::abort();
  return 0;
}
