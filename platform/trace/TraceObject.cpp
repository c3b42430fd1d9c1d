#include "trace/TraceObject.h"

#include <syslog.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

TraceObject* g_traceObject = nullptr;

namespace {

std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}

trace::Sink& sink() {
  static trace::Sink s;
  return s;
}

bool g_stderrMirror = false;

bool isControl(char ch) {
  unsigned char c = static_cast<unsigned char>(ch);
  return c < 0x20 || c == 0x7f;
}

std::string vformat(const char* fmt, va_list ap) {
  char small[512];
  va_list copy;
  va_copy(copy, ap);
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0)
    return std::string();
  if (static_cast<size_t>(n) < sizeof small)
    return std::string(small, static_cast<size_t>(n));
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  return std::string(big.data(), static_cast<size_t>(n));
}

}  // namespace

TraceObject::TraceObject(const std::string& name, int level)
    : m_name(name), m_level(level), m_stderr(false) {
  if (const char* env = std::getenv("FXS_TRACE_LEVEL")) {
    m_level = std::atoi(env);
  }
  if (const char* env = std::getenv("FXS_TRACE_STDERR")) {
    m_stderr = std::strcmp(env, "1") == 0;
  }
  g_stderrMirror = m_stderr;
  openlog(m_name.c_str(), LOG_PID | LOG_NDELAY, LOG_USER);
}

TraceObject::~TraceObject() {
  if (g_traceObject == this)
    g_traceObject = nullptr;
}

int TraceObject::level() const {
  return __atomic_load_n(&m_level, __ATOMIC_RELAXED);
}

void TraceObject::setLevel(int level) {
  __atomic_store_n(&m_level, level, __ATOMIC_RELAXED);
}

void TraceObject::setStderrMirror(bool on) {
  m_stderr = on;
  g_stderrMirror = on;
}

namespace trace {

void setCaptureSink(Sink s) {
  std::lock_guard<std::mutex> lock(sinkMutex());
  sink() = std::move(s);
}

bool enabled(int threshold) {
  TraceObject* t = g_traceObject;
  return t != nullptr && t->level() > threshold;
}

size_t formatUtcStamp(int64_t seconds, long nanoseconds, char* out) {
  time_t t = static_cast<time_t>(seconds);
  tm parts{};
  if (gmtime_r(&t, &parts) == nullptr) {
    out[0] = '\0';
    return 0;
  }
  size_t n = std::strftime(out, UTC_STAMP_SIZE, "%Y-%m-%dT%H:%M:%S", &parts);
  long ms = nanoseconds < 0 ? 0 : nanoseconds >= 1000000000L ? 999 : nanoseconds / 1000000;
  std::snprintf(out + n, UTC_STAMP_SIZE - n, ".%03ldZ", ms);
  return std::strlen(out);
}

std::string utcStamp() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  char text[UTC_STAMP_SIZE];
  return std::string(text, formatUtcStamp(now.tv_sec, now.tv_nsec, text));
}

std::string escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (!isControl(ch)) {
      out += ch;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

void writeLine(int priority, const std::string& line) {
  std::string_view body(line);
  bool lineEnd = !body.empty() && body.back() == '\n';
  if (lineEnd)
    body.remove_suffix(1);
  bool clean = std::none_of(body.begin(), body.end(), isControl);
  const std::string text = clean ? line : escape(body) + (lineEnd ? "\n" : "");
  syslog(priority, "%s", text.c_str());
  if (g_stderrMirror)
    std::fprintf(stderr, "%s %s\n", utcStamp().c_str(), text.c_str());
  std::lock_guard<std::mutex> lock(sinkMutex());
  if (sink())
    sink()(priority, text);
}

void log(int threshold, int priority, const char* tag, const char* file, int line, const char* func,
         const char* fmt, ...) {
  if (!enabled(threshold))
    return;
  char prefix[256];
  std::snprintf(prefix, sizeof prefix, "[%s] %s:%d (%s) - ", tag, file, line, func);
  va_list ap;
  va_start(ap, fmt);
  std::string text = prefix + vformat(fmt, ap);
  va_end(ap);
  writeLine(priority, text);
}

void swerr(const char* path, int line, const char* fmt, ...) {
  char head[512];
  std::snprintf(head, sizeof head, "SWERR ERROR DETECTED: %s %d ", path, line);
  writeLine(3, head);
  va_list ap;
  va_start(ap, fmt);
  std::string detail = vformat(fmt, ap);
  va_end(ap);
  writeLine(3, detail);
}

}  // namespace trace

void logAssertFailed(const char* expr, const char* file, int line, const char* function) {
  char text[512];
  std::snprintf(text, sizeof text, "ASSERT FAILED: %s at %s:%d in %s", expr, file, line, function);
  trace::writeLine(2, text);
}
