// Latency samples and the figures the benchmarks report from them.
#pragma once

#include <cstdint>
#include <cstdio>
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

// One result line: "<kind>\t<name>\t<v1>\t<v2>...", read by ./dev bench-perf.
void emit(const char* kind, const std::string& name, const std::vector<std::string>& values);
std::string fmt(double v, int decimals = 1);

}  // namespace bench
