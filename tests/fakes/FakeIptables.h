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
  bool addRules(std::vector<IptableRule> rules) override;
  bool deleteRules(std::vector<IptableRule> rules) override;

  std::vector<Call> calls;
  std::deque<bool> results;

 private:
  bool next();
};
