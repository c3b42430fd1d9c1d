// The loads' text records, the manifest of a bundle and the slot state
// record on the flash: any bytes; whatever parses formats to a text that
// parses to the same again. The first byte picks the record.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "load/Manifest.h"
#include "load/SlotState.h"

namespace {

template <typename Parse, typename Format>
void roundTrip(const std::string& text, Parse parse, Format format) {
  auto first = parse(text, nullptr);
  if (!first)
    return;
  std::string once = format(*first);
  auto second = parse(once, nullptr);
  if (!second || format(*second) != once)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1)
    roundTrip(text, load::parseRecord, load::formatRecord);
  else
    roundTrip(text, load::parseManifest, load::formatManifest);
  return 0;
}
