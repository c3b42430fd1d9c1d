#include "errMon.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "clock/WallClock.h"
#include "trace/TraceObject.h"

namespace {

// Appends one formatted line at the current end of `buffer`, never past
// `size`, and keeps the buffer terminated even when the line was cut.
template <typename... Args>
void appendLine(char* buffer, int size, const char* fmt, Args... args) {
  if (size < 1)
    return;
  size_t used = std::strlen(buffer);
  size_t room = static_cast<size_t>(size) > used ? static_cast<size_t>(size) - used : 0;
  if (room > 0)
    std::snprintf(buffer + used, room, fmt, args...);
  buffer[size - 1] = '\0';
}

const char* trueFalse(bool b) {
  return b ? "TRUE" : "FALSE";
}

}  // namespace

ErrorObject::ErrorObject(const std::string& name, unsigned level)
    : m_name(name),
      m_error_level(static_cast<int>(level)),
      m_last_modified{0, 0},
      m_nr_actives(0),
      m_active(false) {}

bool ErrorObject::setActive(bool active) {
  if (m_active == active)
    return true;
  timeval now{};
  bool timeOk = wallclock::now(now);
  if (timeOk) {
    m_last_modified = now;
  } else {
    SWERR("failed to get time : %s\n", std::strerror(errno));
  }
  m_active = active;
  if (active)
    ++m_nr_actives;
  return timeOk;
}

bool ErrorObject::getData(ErrorState* out) const {
  if (out == nullptr) {
    SWERR("NULL pointer parameter\n");
    return false;
  }
  out->name = m_name;
  out->error_level = m_error_level;
  out->active = m_active;
  return true;
}

bool ErrorObject::dump(char* buffer, int size) const {
  if (buffer == nullptr) {
    SWERR("NULL pointer parameter\n");
    return false;
  }
  if (size < 1)
    return true;
  buffer[0] = '\0';
  std::string when = wallclock::localText(m_last_modified.tv_sec);
  appendLine(buffer, size, "m_name                  : %s\n", m_name.c_str());
  appendLine(buffer, size, "m_error_level           : %d\n", m_error_level);
  appendLine(buffer, size, "m_last_modified         : %s\n", when.c_str());
  appendLine(buffer, size, "m_nr_actives            : %d\n", m_nr_actives);
  appendLine(buffer, size, "m_active                : %s\n", trueFalse(m_active));
  return true;
}

errMon::errMon() {
  resetHighwater();
}

void errMon::resetHighwater() {
  m_highwater.name.clear();
  m_highwater.error_level = 0;
  m_highwater.active = false;
}

bool errMon::addError(const std::string& name, unsigned level) {
  if (m_errors.count(name) != 0) {
    SWERR("trying to add an already existing error %s\n", name.c_str());
    return false;
  }
  if (level > MAX_ERROR_LEVEL) {
    SWERR("Illegal error level %d\n", static_cast<int>(level));
    return false;
  }
  try {
    m_errors.emplace(name, ErrorObject(name, level));
  } catch (const std::bad_alloc&) {
    SWERR("Failed to add %s\n", name.c_str());
    return false;
  }
  return true;
}

bool errMon::setState(const std::string& name, bool active) {
  auto it = m_errors.find(name);
  if (it == m_errors.end()) {
    SWERR("element not found %s\n", name.c_str());
    return false;
  }
  ErrorState state;
  it->second.getData(&state);
  if (state.active == active)
    return true;
  if (active) {
    LOG_ERROR("%s: 0 -> 1", name.c_str());
  } else {
    LOG_INFO("%s: 1 -> 0", name.c_str());
  }
  bool changed = it->second.setActive(active);
  // A lower or equal error never displaces another active highwater.
  if (m_highwater.active && m_highwater.name != name &&
      state.error_level <= m_highwater.error_level) {
    return changed;
  }
  bool updated = updateHighWater();
  return changed && updated;
}

bool errMon::updateHighWater() {
  bool ok = true;
  if (m_highwater.active) {
    auto it = m_errors.find(m_highwater.name);
    ErrorState current;
    if (it == m_errors.end()) {
      SWERR("element not found %s\n", m_highwater.name.c_str());
      resetHighwater();
      ok = false;
    } else if (!it->second.getData(&current)) {
      resetHighwater();
      ok = false;
    } else if (!current.active) {
      resetHighwater();
    }
  }
  for (const auto& entry : m_errors) {
    ErrorState state;
    if (!entry.second.getData(&state)) {
      SWERR("failed to get element data %s\n", entry.first.c_str());
      ok = false;
      continue;
    }
    if (state.active && (!m_highwater.active || state.error_level > m_highwater.error_level)) {
      m_highwater = state;
      LOG_ERROR("highwater: %s (level=%d)", state.name.c_str(), state.error_level);
    }
  }
  return ok;
}

bool errMon::getHighwater(ErrorState& out) const {
  out = m_highwater;
  return true;
}

bool errMon::isActive(const std::string& name) const {
  auto it = m_errors.find(name);
  if (it == m_errors.end())
    return false;
  ErrorState state;
  return it->second.getData(&state) && state.active;
}

bool errMon::getActive(const std::string& name, bool& active) const {
  auto it = m_errors.find(name);
  if (it == m_errors.end()) {
    SWERR("element not found %s\n", name.c_str());
    return false;
  }
  ErrorState state;
  if (!it->second.getData(&state)) {
    SWERR("cannot get element data %s\n", name.c_str());
    return false;
  }
  active = state.active;
  return true;
}

const ErrorObject* errMon::find(const std::string& name) const {
  auto it = m_errors.find(name);
  return it == m_errors.end() ? nullptr : &it->second;
}

bool errMon::dump(char* buffer, int size) const {
  if (buffer == nullptr) {
    SWERR("NULL pointer parameter\n");
    return false;
  }
  if (size < 1)
    return true;
  buffer[0] = '\0';
  appendLine(buffer, size, "m_highwater.active        : %s\n", trueFalse(m_highwater.active));
  appendLine(buffer, size, "m_highwater.name          : %s\n", m_highwater.name.c_str());
  appendLine(buffer, size, "m_highwater.error_level   : %d\n", m_highwater.error_level);
  appendLine(buffer, size, "%s", "\n");
  appendLine(buffer, size, "%s", "Error Monitor Error Objects\n");
  appendLine(buffer, size, "%s", "===========================\n\n");
  for (const auto& entry : m_errors) {
    size_t used = std::strlen(buffer);
    if (used + 1 >= static_cast<size_t>(size))
      break;
    entry.second.dump(buffer + used, size - static_cast<int>(used));
    appendLine(buffer, size, "%s", "\n");
  }
  return true;
}
