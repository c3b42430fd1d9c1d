#include "TestSupport.h"

#include "common/commonStatCtrl.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>

#include "trace/LogLimit.h"

namespace testsupport {

LogCapture::LogCapture(int level) : m_oldLevel(level) {
  if (g_traceObject == nullptr) {
    m_owned = std::make_unique<TraceObject>("test", level);
    g_traceObject = m_owned.get();
  }
  m_oldLevel = g_traceObject->level();
  g_traceObject->setLevel(level);
  // Every capture sees the lines of a fresh start, not what earlier tests
  // left in the limits.
  trace::resetRateLimits();
  trace::setCaptureSink([this](int, const std::string& line) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_lines.push_back(line);
  });
}

LogCapture::~LogCapture() {
  trace::setCaptureSink(nullptr);
  if (m_owned) {
    if (g_traceObject == m_owned.get())
      g_traceObject = nullptr;
  } else if (g_traceObject != nullptr) {
    g_traceObject->setLevel(m_oldLevel);
  }
}

std::vector<std::string> LogCapture::lines() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lines;
}

size_t LogCapture::count(const std::string& text) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<size_t>(std::count_if(m_lines.begin(), m_lines.end(), [&](const auto& l) {
    return l.find(text) != std::string::npos;
  }));
}

void LogCapture::clear() {
  trace::resetRateLimits();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_lines.clear();
}

namespace {
std::atomic<int64_t> s_limitNow{0};
int64_t limitNow() {
  return s_limitNow.load();
}
}  // namespace

LimitClock::LimitClock() {
  s_limitNow = 1000000;
  trace::setClock(&limitNow);
}

LimitClock::~LimitClock() {
  trace::setClock(nullptr);
}

void LimitClock::advance(int64_t ms) {
  s_limitNow += ms;
}

int64_t LimitClock::now() const {
  return s_limitNow.load();
}

std::string binPath(const std::string& name) {
  return std::string(FXS_BIN_DIR) + "/" + name;
}

std::string execPrefix() {
  return FXS_EXEC_PREFIX;
}

size_t countOf(const std::string& haystack, const std::string& needle) {
  size_t n = 0;
  for (size_t p = haystack.find(needle); p != std::string::npos; p = haystack.find(needle, p + 1))
    ++n;
  return n;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::string markingRestoreProgram(const std::string& marker) {
  std::string program = "/tmp/fake-iptables-restore";
  writeFile(program, "#!/bin/sh\ntouch " + marker + "\ncat >/dev/null\n");
  ::chmod(program.c_str(), 0755);
  ::unlink(marker.c_str());
  return program;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

ICSCTlv cellOf(uint32_t oid, IcscType type, int64_t num, const std::string& str) {
  ICSCTlv c;
  c.oid = oid;
  c.type = type;
  c.num = num;
  c.str = str;
  return c;
}

ICSCTlv readCommon(commonStatCtrl& common, unsigned object, unsigned record, unsigned instance) {
  ICSCTlv req, resp;
  req.oid = icscoid::common(object, record, instance);
  common.serve(icscwire::GET, req, resp);
  return resp;
}

ICSCTlv writeCommon(commonStatCtrl& common, unsigned object, unsigned record, unsigned instance,
                    const ICSCTlv& value) {
  ICSCTlv req = value, resp;
  req.oid = icscoid::common(object, record, instance);
  common.serve(icscwire::SET, req, resp);
  return resp;
}

}  // namespace testsupport
