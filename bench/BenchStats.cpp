#include "BenchStats.h"

#include <time.h>

#include <algorithm>

namespace bench {

uint64_t nowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

double Samples::quantileUs(double q) const {
  if (m_ns.empty())
    return 0;
  std::vector<uint64_t> v = m_ns;
  size_t idx = static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
  std::nth_element(v.begin(), v.begin() + static_cast<long>(idx), v.end());
  return static_cast<double>(v[idx]) / 1000.0;
}

void emit(const char* kind, const std::string& name, const std::vector<std::string>& values) {
  std::printf("%s\t%s", kind, name.c_str());
  for (const std::string& v : values)
    std::printf("\t%s", v.c_str());
  std::printf("\n");
  std::fflush(stdout);
}

std::string fmt(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

}  // namespace bench
