// Named errors with a severity level and an active flag, plus the
// "highwater": the active error of the highest level. The card registry owns
// two monitors (hardware and operational); no lock, main thread only.
#pragma once

#include <sys/time.h>

#include <map>
#include <string>

struct ErrorState {
  std::string name;
  int error_level = 0;
  bool active = false;
};

class ErrorObject {
 public:
  ErrorObject(const std::string& name, unsigned level);

  bool setActive(bool active);
  bool getData(ErrorState* out) const;
  bool dump(char* buffer, int size) const;

  int nrActives() const { return m_nr_actives; }
  const timeval& lastModified() const { return m_last_modified; }

 private:
  std::string m_name;
  int m_error_level;
  timeval m_last_modified;
  int m_nr_actives;
  bool m_active;
};

class errMon {
 public:
  static constexpr unsigned MAX_ERROR_LEVEL = 2;

  errMon();

  bool addError(const std::string& name, unsigned level);
  bool setState(const std::string& name, bool active);
  bool updateHighWater();
  bool getHighwater(ErrorState& out) const;
  bool isActive(const std::string& name) const;
  bool getActive(const std::string& name, bool& active) const;
  bool dump(char* buffer, int size) const;

  // Read-only view for tests and dumps.
  const ErrorObject* find(const std::string& name) const;

 private:
  void resetHighwater();

  std::map<std::string, ErrorObject> m_errors;
  ErrorState m_highwater;
};
