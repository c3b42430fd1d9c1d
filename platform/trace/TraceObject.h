// Process-wide trace object and the card's logging macros.
//
// Every line reads "[LEVEL] file:line (function) - message" and goes to
// syslog; a line is written only while g_traceObject exists and its level is
// above the line's threshold. SWERR reports bypass the level. Every call
// site but the DEBUG ones has a flood limit of its own (trace/LogLimit.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "trace/LogLimit.h"

class TraceObject {
 public:
  // FXS_TRACE_LEVEL in the environment overrides `level` (bench use);
  // FXS_TRACE_STDERR=1 mirrors every line to stderr, behind its UTC time
  // (syslog stamps its own copy).
  TraceObject(const std::string& name, int level);
  ~TraceObject();
  TraceObject(const TraceObject&) = delete;
  TraceObject& operator=(const TraceObject&) = delete;

  int level() const;
  void setLevel(int level);
  const std::string& name() const { return m_name; }
  void setStderrMirror(bool on);

 private:
  std::string m_name;
  int m_level;
  bool m_stderr;
  friend void traceWrite(int, const std::string&);
};

extern TraceObject* g_traceObject;

namespace trace {

// Tests install a sink to see every line written (syslog priority, text).
using Sink = std::function<void(int priority, const std::string& line)>;
void setCaptureSink(Sink sink);

// Level thresholds: a line of this kind is written when level > threshold.
enum Threshold : int {
  CRITICAL_ABOVE = 1,
  ERROR_ABOVE = 2,
  WARNING_ABOVE = 3,
  INFO_ABOVE = 5,
  DEBUG_ABOVE = 6,
  DEBUG2_ABOVE = 7,
  DEBUG3_ABOVE = 8,
};

bool enabled(int threshold);
void log(int threshold, int priority, const char* tag, const char* file, int line, const char* func,
         const char* fmt, ...) __attribute__((format(printf, 7, 8)));
// Two priority-3 lines whatever the level: the location, then the detail.
void swerr(const char* file, int line, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
// Writes one already formatted line. Line ends at its end are dropped
// (syslog ends each line itself); anything else that could break the line
// is written escaped, so text from outside can never start a line of its own.
void writeLine(int priority, const std::string& line);
// Bytes below 0x20 and 0x7f as \n, \r, \t or \xNN, the line breaks of
// Unicode (U+2028, U+2029, NEL as UTF-8 0xc2 0x85) and a bare 0x85 as
// \xNN too; everything else as is.
std::string escape(std::string_view text);

// "YYYY-MM-DDTHH:MM:SS.mmmZ" (UTC, milliseconds truncated) into `out`,
// which must hold UTC_STAMP_SIZE bytes; returns the length written.
constexpr size_t UTC_STAMP_SIZE = 25;
size_t formatUtcStamp(int64_t seconds, long nanoseconds, char* out);
// The current time in that form.
std::string utcStamp();

constexpr const char* baseName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '/')
      base = p + 1;
  }
  return base;
}

}  // namespace trace

void logAssertFailed(const char* expr, const char* file, int line, const char* function);

#define FXS_LOG_(thr, prio, tag, ...)                                                             \
  do {                                                                                            \
    if (::trace::enabled(thr))                                                                    \
      ::trace::log(thr, prio, tag, ::trace::baseName(__FILE__), __LINE__, __func__, __VA_ARGS__); \
  } while (0)

// A line written as the site file:line (func), under the limit of the
// macro's own place.
#define FXS_LOG_AT_(thr, prio, tag, file, line, func, ...)                    \
  do {                                                                        \
    if (::trace::enabled(thr)) {                                              \
      static ::trace::RateLimit fxsLimit_(                                    \
          {thr, prio, tag, ::trace::baseName(__FILE__), __LINE__, __func__}); \
      if (fxsLimit_.admit(::trace::monotonicMs()))                            \
        ::trace::log(thr, prio, tag, file, line, func, __VA_ARGS__);          \
    }                                                                         \
  } while (0)
#define FXS_LOG_LIMITED_(thr, prio, tag, ...) \
  FXS_LOG_AT_(thr, prio, tag, ::trace::baseName(__FILE__), __LINE__, __func__, __VA_ARGS__)

#define LOG_CRITICAL(...) FXS_LOG_LIMITED_(::trace::CRITICAL_ABOVE, 2, "CRITICAL", __VA_ARGS__)
#define LOG_ERROR(...) FXS_LOG_LIMITED_(::trace::ERROR_ABOVE, 3, "ERROR", __VA_ARGS__)
#define LOG_WARNING(...) FXS_LOG_LIMITED_(::trace::WARNING_ABOVE, 4, "WARNING", __VA_ARGS__)
#define LOG_INFO(...) FXS_LOG_LIMITED_(::trace::INFO_ABOVE, 6, "INFO", __VA_ARGS__)
#define LOG_DEBUG(...) FXS_LOG_(::trace::DEBUG_ABOVE, 7, "DEBUG", __VA_ARGS__)
#define LOG_DEBUG1(...) FXS_LOG_(::trace::DEBUG_ABOVE, 7, "DEBUG1", __VA_ARGS__)
#define LOG_DEBUG2(...) FXS_LOG_(::trace::DEBUG2_ABOVE, 7, "DEBUG2", __VA_ARGS__)
#define LOG_DEBUG3(...) FXS_LOG_(::trace::DEBUG3_ABOVE, 7, "DEBUG3", __VA_ARGS__)

#define SWERR(...)                                                          \
  do {                                                                      \
    static ::trace::RateLimit fxsLimit_(                                    \
        {-1, 3, "ERROR", ::trace::baseName(__FILE__), __LINE__, __func__}); \
    if (fxsLimit_.admit(::trace::monotonicMs()))                            \
      ::trace::swerr(::trace::baseName(__FILE__), __LINE__, __VA_ARGS__);   \
  } while (0)

#define FXS_ASSERT(expr, signature)                                               \
  do {                                                                            \
    if (!(expr)) {                                                                \
      static ::trace::RateLimit fxsLimit_(                                        \
          {-1, 2, "CRITICAL", ::trace::baseName(__FILE__), __LINE__, __func__});  \
      if (fxsLimit_.admit(::trace::monotonicMs()))                                \
        logAssertFailed(#expr, ::trace::baseName(__FILE__), __LINE__, signature); \
    }                                                                             \
  } while (0)
