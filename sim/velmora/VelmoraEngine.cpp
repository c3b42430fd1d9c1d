#include "VelmoraEngine.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

using velmwire::Op;
using velmwire::Reply;
using velmwire::Request;

namespace velmora {

namespace {

constexpr size_t DUMP_LINE_LIMIT = 200;
constexpr const char* MASK = "*****";

std::string shownValue(const ParamDef& def, std::string_view value) {
  return velmwire::isCredentialName(def.name) ? std::string(MASK) : std::string(value);
}

std::string indexText(const ParamDef& def, int32_t i1, int32_t i2) {
  Shape s = shapeOf(def.dims);
  std::string t;
  if (s.count1)
    t += "[" + std::to_string(i1) + "]";
  if (s.count2)
    t += "[" + std::to_string(i2) + "]";
  return t;
}

bool parseInt(const std::string& s, int32_t& out) {
  if (s.empty())
    return false;
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
    return false;
  out = static_cast<int32_t>(v);
  return true;
}

}  // namespace

std::string escapeValue(std::string_view v) {
  std::string out;
  out.reserve(v.size());
  for (char c : v) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (u < 0x20 || u == 0x7f) {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

bool unescapeValue(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= text.size())
      return false;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 'x': {
        if (i + 2 >= text.size())
          return false;
        const char* first = text.data() + i + 1;
        uint8_t byte = 0;
        auto [end, error] = std::from_chars(first, first + 2, byte, 16);
        if (error != std::errc() || end != first + 2)
          return false;
        out += static_cast<char>(byte);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

Engine::Engine(std::string configPath, LogSink log)
    : m_configPath(std::move(configPath)), m_log(std::move(log)) {}

void Engine::log(const std::string& line) const {
  if (m_log)
    m_log(line);
}

bool Engine::load(Values& out, size_t& skipped) const {
  out.clear();
  skipped = 0;
  std::ifstream in(m_configPath, std::ios::binary);
  if (!in)
    return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#')
      continue;
    // name index1 index2 value (the value may hold blanks, or be empty)
    size_t p1 = line.find(' ');
    size_t p2 = p1 == std::string::npos ? p1 : line.find(' ', p1 + 1);
    size_t p3 = p2 == std::string::npos ? p2 : line.find(' ', p2 + 1);
    int32_t i1 = 0, i2 = 0;
    std::string value;
    const ParamDef* def = p1 == std::string::npos ? nullptr : findParam(line.substr(0, p1));
    if (!def || p3 == std::string::npos || !parseInt(line.substr(p1 + 1, p2 - p1 - 1), i1) ||
        !parseInt(line.substr(p2 + 1, p3 - p2 - 1), i2) || !indexesFit(*def, i1, i2) ||
        !unescapeValue(std::string_view(line).substr(p3 + 1), value)) {
      ++skipped;
      continue;
    }
    out[Key(def, i1, i2)] = std::move(value);
  }
  return true;
}

void Engine::start() {
  size_t skipped = 0;
  if (!load(m_values, skipped)) {
    log("start: no committed configuration at " + m_configPath + ", defaults in use");
    return;
  }
  log("start: " + std::to_string(m_values.size()) + " committed values loaded from " +
      m_configPath);
  if (skipped)
    log("start: " + std::to_string(skipped) + " malformed lines in " + m_configPath + " ignored");
}

Reply Engine::handle(const Request& req) {
  Reply rep;
  rep.op = req.op;
  rep.seq = req.seq;
  m_reply.clear();
  switch (req.op) {
    case Op::GET:
      rep.rc = get(req);
      break;
    case Op::SET:
      rep.rc = set(req);
      break;
    case Op::COMMIT:
      rep.rc = commit();
      break;
    case Op::RESET:
      rep.rc = reset();
      break;
    case Op::REBOOT:
      rep.rc = reboot();
      break;
    case Op::DUMP:
      rep.rc = dump(req);
      break;
  }
  rep.value = m_reply;
  return rep;
}

int32_t Engine::get(const Request& req) {
  std::string name(req.name);
  const ParamDef* def = findParam(req.name);
  int32_t rc = velmwire::RC_OK;
  if (!def) {
    rc = velmwire::RC_NO_SUCH_PARAMETER;
  } else if (!indexesFit(*def, req.index1, req.index2)) {
    rc = velmwire::RC_INVALID;
  } else {
    auto it = m_values.find(Key(def, req.index1, req.index2));
    m_reply = it == m_values.end() ? def->defaultValue : it->second;
  }
  log("get " + name + " " + std::to_string(req.index1) + " " + std::to_string(req.index2) + " -> " +
      std::to_string(rc));
  return rc;
}

int32_t Engine::set(const Request& req) {
  std::string name(req.name);
  const ParamDef* def = findParam(req.name);
  int32_t rc = velmwire::RC_OK;
  if (!def)
    rc = velmwire::RC_NO_SUCH_PARAMETER;
  else if (!indexesFit(*def, req.index1, req.index2))
    rc = velmwire::RC_INVALID;
  else
    m_values[Key(def, req.index1, req.index2)] = std::string(req.value);
  std::string shown = velmwire::isCredentialName(req.name) ? MASK : escapeValue(req.value);
  log("set " + name + " " + std::to_string(req.index1) + " " + std::to_string(req.index2) + " = " +
      shown + (rc ? " -> " + std::to_string(rc) : std::string()));
  return rc;
}

int32_t Engine::commit() {
  // A temporary file renamed over the old one: a reader never sees half a file.
  std::string tmp = m_configPath + ".tmp";
  std::ostringstream text;
  text << "# velmora configuration, " << m_values.size() << " values\n";
  for (const auto& [key, value] : m_values) {
    text << std::get<0>(key)->name << ' ' << std::get<1>(key) << ' ' << std::get<2>(key) << ' '
         << escapeValue(value) << '\n';
  }
  std::string data = text.str();
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0;
  int err = ok ? 0 : errno;
  for (size_t off = 0; ok && off < data.size();) {
    ssize_t n = ::write(fd, data.data() + off, data.size() - off);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      ok = false;
      err = errno;
      break;
    }
    off += static_cast<size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    err = errno;
  }
  if (fd >= 0)
    ::close(fd);
  if (ok && ::rename(tmp.c_str(), m_configPath.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    log("commit -> " + std::to_string(velmwire::RC_IO) + " (" + m_configPath +
        " not written: " + std::strerror(err) + ")");
    return velmwire::RC_IO;
  }
  log("commit -> 0 (" + std::to_string(m_values.size()) + " values written to " + m_configPath +
      ")");
  return velmwire::RC_OK;
}

int32_t Engine::reset() {
  size_t n = m_values.size();
  m_values.clear();
  log("reset -> 0 (" + std::to_string(n) + " values dropped, defaults restored; " + m_configPath +
      " unchanged until the next commit)");
  return velmwire::RC_OK;
}

int32_t Engine::reboot() {
  size_t skipped = 0;
  size_t dropped = m_values.size();
  bool found = load(m_values, skipped);
  log("reboot -> 0 (" + std::to_string(dropped) + " values dropped, " +
      std::to_string(m_values.size()) + " committed values reloaded" +
      (found ? "" : ", no configuration file") + ")");
  return velmwire::RC_OK;
}

std::vector<std::string> Engine::dumpLines(std::string_view filter) const {
  std::vector<std::string> lines;
  for (size_t i = 0; i < catalogueSize(); ++i) {
    const ParamDef& def = catalogue()[i];
    if (!filter.empty() && std::string_view(def.name).find(filter) == std::string_view::npos)
      continue;
    Shape s = shapeOf(def.dims);
    auto clip = [](std::string text) {
      if (text.size() > DUMP_LINE_LIMIT)
        text = text.substr(0, DUMP_LINE_LIMIT) + "...";
      return text;
    };
    if (s.count1 == 0 && s.count2 == 0) {
      auto it = m_values.find(Key(&def, -1, -1));
      std::string v = it == m_values.end() ? def.defaultValue : it->second;
      lines.push_back(clip(std::string(def.name) + " = " + shownValue(def, escapeValue(v))));
      continue;
    }
    std::string shape = "[" + std::to_string(s.count1) + "]";
    if (s.count2)
      shape += "[" + std::to_string(s.count2) + "]";
    lines.push_back(clip(std::string(def.name) + shape +
                         " default = " + shownValue(def, escapeValue(def.defaultValue))));
    for (auto it = m_values.lower_bound(Key(&def, INT32_MIN, INT32_MIN));
         it != m_values.end() && std::get<0>(it->first) == &def; ++it) {
      lines.push_back(clip(std::string(def.name) +
                           indexText(def, std::get<1>(it->first), std::get<2>(it->first)) + " = " +
                           shownValue(def, escapeValue(it->second))));
    }
  }
  return lines;
}

int32_t Engine::dump(const Request& req) {
  // index1 = first line wanted; rc = the line to ask for next, 0 at the end.
  std::vector<std::string> lines = dumpLines(req.value);
  size_t start = req.index1 > 0 ? static_cast<size_t>(req.index1) : 0;
  size_t i = start;
  for (; i < lines.size(); ++i) {
    if (m_reply.size() + lines[i].size() + 1 > velmwire::MAX_VALUE_LEN)
      break;
    m_reply += lines[i];
    m_reply += '\n';
  }
  return i < lines.size() ? static_cast<int32_t>(i) : 0;
}

}  // namespace velmora
