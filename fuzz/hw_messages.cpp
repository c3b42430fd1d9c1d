// Decoders of the I2C driver's reports and the port status message: any
// bytes, any length; ASan catches a read past the end.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "drivermsg/hwMessages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size copy so that a read past `size` leaves the allocation.
  std::vector<uint8_t> copy(data, data + size);
  const uint8_t* p = copy.empty() ? nullptr : copy.data();
  size_t needed = 0;
  (void)hwmsg::msgId(p, size);
  (void)hwmsg::decodeAdc(p, size, &needed);
  (void)hwmsg::decodeTemp(p, size, &needed);
  (void)hwmsg::decodePwrMon(p, size, &needed);
  (void)hwmsg::decodePortLed(p, size, &needed);
  (void)hwmsg::decodeTick(p, size);
  (void)hwmsg::classifySelfTestRequest(p, size);
  return 0;
}
