// Helpers shared by the tests: log capture and paths of built binaries.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "icsc/ICSCTlv.h"
#include "trace/TraceObject.h"

class commonStatCtrl;

// A suite run over the table `cases`, each case named by its `name`.
#define INSTANTIATE_NAMED(prefix, suite, cases)                       \
  INSTANTIATE_TEST_SUITE_P(prefix, suite, ::testing::ValuesIn(cases), \
                           [](const auto& i) { return std::string(i.param.name); })

namespace testsupport {

// Under ThreadSanitizer the code runs many times slower: the bounds of
// time-bound checks stretch, the order of events is still checked.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif

// Installs a trace object (if none) at `level` and captures every line
// written while it lives. Construction and clear() also reset the limits of
// the rate-limited log lines.
class LogCapture {
 public:
  explicit LogCapture(int level = 9);
  ~LogCapture();
  std::vector<std::string> lines() const;
  bool contains(const std::string& text) const { return count(text) > 0; }
  size_t count(const std::string& text) const;
  void clear();

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_lines;
  std::unique_ptr<TraceObject> m_owned;
  int m_oldLevel;
};

// The log limits' clock stopped for a test, which moves it on itself; the
// real clock again once it goes.
class LimitClock {
 public:
  LimitClock();
  ~LimitClock();
  LimitClock(const LimitClock&) = delete;
  LimitClock& operator=(const LimitClock&) = delete;
  void advance(int64_t ms);
  int64_t now() const;
};

// Absolute path of a binary built by this tree, and the command prefix
// (qemu for the armhf build) needed to run it.
std::string binPath(const std::string& name);
std::string execPrefix();

// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& path);
// Replaces the content of a file.
void writeFile(const std::string& path, const std::string& content);
bool exists(const std::string& path);

// A stand-in for iptables-restore that takes its input and only leaves the
// file `marker` behind, so a test sees whether it was ever started; the
// marker is removed first. Returns the program's path.
std::string markingRestoreProgram(const std::string& marker);

// How often `needle` occurs in `haystack`, overlaps included.
size_t countOf(const std::string& haystack, const std::string& needle);

// A request or answer cell.
ICSCTlv cellOf(uint32_t oid, IcscType type = IcscType::NONE, int64_t num = 0,
               const std::string& str = "");

// One GET of a common object's cell, as the chassis sends it.
ICSCTlv readCommon(commonStatCtrl& common, unsigned object, unsigned record, unsigned instance = 0);
// One SET; the answer cell (status, value read back).
ICSCTlv writeCommon(commonStatCtrl& common, unsigned object, unsigned record, unsigned instance,
                    const ICSCTlv& value);

}  // namespace testsupport
