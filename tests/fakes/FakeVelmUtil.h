// Velm_util stand-in for unit tests: records every get/set and answers
// from a scripted parameter store.
#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "velm/Velm_util.h"

class FakeVelmUtil : public Velm_util {
 public:
  struct Call {
    std::string op;  // "get" or "set"
    std::string name;
    std::string value;  // value written, or value returned by get
    int index1;
    int index2;
  };

  int get(const char* name, std::string& value, int index1, int index2) override {
    calls.push_back({"get", name, "", index1, index2});
    if (getResult != 0)
      return getResult;
    auto it = m_values.find({name, index1, index2});
    if (it == m_values.end())
      return NO_SUCH_PARAMETER;
    value = calls.back().value = it->second;
    return OK;
  }
  int set(const char* name, const char* value, int index1, int index2) override {
    calls.push_back({"set", name, value, index1, index2});
    if (setResult != 0)
      return setResult;
    m_values[{name, index1, index2}] = value;
    return OK;
  }

  // Value that get returns for (name, index1, index2).
  void put(const std::string& name, int index1, int index2, const std::string& value) {
    m_values[{name, index1, index2}] = value;
  }
  // Value that set stored, or "" when none.
  std::string stored(const std::string& name, int index1, int index2) const {
    auto it = m_values.find({name, index1, index2});
    return it == m_values.end() ? "" : it->second;
  }

  std::vector<Call> calls;
  int getResult = 0;  // non-zero: every get fails with this code
  int setResult = 0;

 private:
  std::map<std::tuple<std::string, int, int>, std::string> m_values;
};
