// Firewall manager that records each list it is given and answers from a
// script of results (true once the script is used up).
#pragma once

#include <deque>
#include <vector>

#include "net/Iptables.h"

class FakeIptables : public Iptables {
 public:
  struct Call {
    bool add;
    std::vector<IptableRule> rules;
  };

  FakeIptables() : Iptables("/nonexistent/iptables-restore") {}
  bool addRules(std::vector<IptableRule> rules) override { return record(true, rules); }
  bool deleteRules(std::vector<IptableRule> rules) override { return record(false, rules); }

  std::vector<Call> calls;
  std::deque<bool> results;

 private:
  bool record(bool add, const std::vector<IptableRule>& rules) {
    calls.push_back({add, rules});
    if (results.empty())
      return true;
    bool r = results.front();
    results.pop_front();
    return r;
  }
};
