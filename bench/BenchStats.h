// Latency samples and the figures the benchmarks report from them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace bench {

uint64_t nowNs();

class Samples {
 public:
  explicit Samples(size_t reserve = 0) { m_ns.reserve(reserve); }
  void add(uint64_t ns) { m_ns.push_back(ns); }
  size_t count() const { return m_ns.size(); }
  // Quantile q in [0, 1] in microseconds; 0 without samples.
  double quantileUs(double q) const;
  double medianUs() const { return quantileUs(0.5); }
  double p99Us() const { return quantileUs(0.99); }

 private:
  std::vector<uint64_t> m_ns;
};

// Runs until `count` iterations are done or `seconds` have passed; the
// body returns false to stop early (a failure it has reported).
struct Bound {
  size_t count;
  double seconds;
};

// CPU time (user and system, all threads) process `pid` has used, in ns,
// read from its CPU-time clock; -1 when it cannot be read.
int64_t cpuNs(int pid);

struct Throughput {
  double perSecond = 0;
  size_t done = 0;  // answers that came
  size_t lost = 0;  // requests that got none within a second, replaced
};
// Keeps `outstanding` requests in flight: send() posts one, receive(ms)
// waits that long for one answer. Runs until bound.count answers came or
// bound.seconds passed, then drains what is still in flight.
Throughput keepOutstanding(unsigned outstanding, const Bound& bound,
                           const std::function<void()>& send,
                           const std::function<bool(int timeoutMs)>& receive);

// One result line: "<kind>\t<name>\t<v1>\t<v2>...", read by ./dev bench-perf.
void emit(const char* kind, const std::string& name, const std::vector<std::string>& values);
std::string fmt(double v, int decimals = 1);

}  // namespace bench
