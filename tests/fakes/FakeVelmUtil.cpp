#include "FakeVelmUtil.h"

int FakeVelmUtil::get(const char* name, std::string& value, int index1, int index2) {
  calls.push_back({"get", name, "", index1, index2});
  if (getResult != 0)
    return getResult;
  auto it = m_values.find({name, index1, index2});
  if (it == m_values.end())
    return NO_SUCH_PARAMETER;
  value = it->second;
  calls.back().value = value;
  return OK;
}

int FakeVelmUtil::set(const char* name, const char* value, int index1, int index2) {
  calls.push_back({"set", name, value, index1, index2});
  if (setResult != 0)
    return setResult;
  m_values[{name, index1, index2}] = value;
  return OK;
}

void FakeVelmUtil::put(const std::string& name, int index1, int index2, const std::string& value) {
  m_values[{name, index1, index2}] = value;
}

std::string FakeVelmUtil::stored(const std::string& name, int index1, int index2) const {
  auto it = m_values.find({name, index1, index2});
  return it == m_values.end() ? "" : it->second;
}
