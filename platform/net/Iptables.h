// The card's firewall manager: installs and removes lists of IptableRule in
// the kernel by running "iptables-restore --noflush" with the rules on its
// standard input (never through a shell). One call is one batch: either
// every rule of the list is applied or none is.
#pragma once

#include <string>
#include <vector>

#include "net/IptableRule.h"

class Iptables {
 public:
  // `restoreProgram` is searched in PATH.
  explicit Iptables(const std::string& restoreProgram = "iptables-restore");
  virtual ~Iptables() = default;
  Iptables(const Iptables&) = delete;
  Iptables& operator=(const Iptables&) = delete;

  virtual bool addRules(std::vector<IptableRule> rules);
  virtual bool deleteRules(std::vector<IptableRule> rules);

 private:
  bool apply(const std::vector<IptableRule>& rules, bool remove);
  std::string m_restoreProgram;
};
