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

bool isPlainAscii(char ch) {
  unsigned char c = static_cast<unsigned char>(ch);
  return c >= 0x20 && c < 0x7f;
}

// Length of the UTF-8 sequence that starts at text[i]; 0 when none does.
size_t utf8Length(std::string_view text, size_t i) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  size_t n = c >= 0xc2 && c <= 0xdf   ? 2
             : c >= 0xe0 && c <= 0xef ? 3
             : c >= 0xf0 && c <= 0xf4 ? 4
                                      : 0;
  if (n == 0 || i + n > text.size())
    return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80)
      return 0;
  }
  return n;
}

// A viewer may break the line at these: the C1 controls (NEL among them)
// as UTF-8 or as bare bytes, and U+2028, U+2029.
bool breaksLine(std::string_view seq) {
  auto at = [&](size_t k) { return static_cast<unsigned char>(seq[k]); };
  if (seq.size() == 1)
    return at(0) >= 0x80 && at(0) <= 0x9f;
  if (seq.size() == 2)
    return at(0) == 0xc2 && at(1) <= 0x9f;
  return seq.size() == 3 && at(0) == 0xe2 && at(1) == 0x80 && (at(2) == 0xa8 || at(2) == 0xa9);
}

void appendHex(std::string& out, std::string_view bytes) {
  for (char ch : bytes) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(ch));
    out += hex;
  }
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
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (isPlainAscii(text[i])) {
      out += text[i++];
    } else if (c == '\n' || c == '\r' || c == '\t') {
      out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
      ++i;
    } else {
      size_t n = c < 0x80 ? 1 : std::max<size_t>(utf8Length(text, i), 1);
      std::string_view seq = text.substr(i, n);
      if (c < 0x80 || breaksLine(seq))
        appendHex(out, seq);
      else
        out += seq;
      i += n;
    }
  }
  return out;
}

void writeLine(int priority, const std::string& line) {
  std::string_view body(line);
  while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
    body.remove_suffix(1);
  bool plain = std::all_of(body.begin(), body.end(), isPlainAscii);
  const std::string text = plain ? std::string(body) : escape(body);
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

void swerr(const char* file, int line, const char* fmt, ...) {
  char head[512];
  std::snprintf(head, sizeof head, "SWERR ERROR DETECTED: %s %d ", file, line);
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
