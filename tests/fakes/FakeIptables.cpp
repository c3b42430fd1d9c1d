#include "FakeIptables.h"

bool FakeIptables::next() {
  if (results.empty())
    return true;
  bool r = results.front();
  results.pop_front();
  return r;
}

bool FakeIptables::addRules(std::vector<IptableRule> rules) {
  calls.push_back({true, rules});
  return next();
}

bool FakeIptables::deleteRules(std::vector<IptableRule> rules) {
  calls.push_back({false, rules});
  return next();
}
