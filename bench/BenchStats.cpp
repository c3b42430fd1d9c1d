#include "BenchStats.h"

#include <time.h>

#include <algorithm>
#include <cmath>

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
  size_t idx = static_cast<size_t>(std::llround(q * static_cast<double>(v.size() - 1)));
  std::nth_element(v.begin(), v.begin() + static_cast<long>(idx), v.end());
  return static_cast<double>(v[idx]) / 1000.0;
}

int64_t cpuNs(int pid) {
  clockid_t clock;
  timespec ts{};
  if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &ts) != 0)
    return -1;
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

Throughput keepOutstanding(unsigned outstanding, const Bound& bound,
                           const std::function<void()>& send,
                           const std::function<bool(int timeoutMs)>& receive) {
  Throughput t;
  size_t sent = 0;
  uint64_t t0 = nowNs();
  uint64_t end = t0 + static_cast<uint64_t>(bound.seconds * 1e9);
  for (; sent < outstanding && sent < bound.count; ++sent)
    send();
  while (t.done < bound.count && nowNs() < end) {
    if (!receive(1000)) {
      // Lost: keep the window full.
      ++t.lost;
      send();
      continue;
    }
    ++t.done;
    if (sent < bound.count) {
      send();
      ++sent;
    }
  }
  t.perSecond = double(t.done) / (double(nowNs() - t0) / 1e9);
  // What is still in flight must not reach the next phase.
  while (receive(200)) {
  }
  return t;
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
