#include "net/Iptables.h"

#include "process/ChildProcess.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

Iptables::Iptables(const std::string& restoreProgram) : m_restoreProgram(restoreProgram) {}

// Each call gets its own copy of the list.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
bool Iptables::addRules(std::vector<IptableRule> rules) {
  return apply(rules, false);
}

// NOLINTNEXTLINE(performance-unnecessary-value-param)
bool Iptables::deleteRules(std::vector<IptableRule> rules) {
  return apply(rules, true);
}

bool Iptables::apply(const std::vector<IptableRule>& rules, bool remove) {
  if (rules.empty())
    return true;
  std::string why;
  auto script = iptables::restoreScript(rules, remove, &why);
  if (!script) {
    LOG_ERROR_LIMITED("firewall: %zu rules not %s, nothing run: %s", rules.size(),
                      remove ? "deleted" : "added", why.c_str());
    return false;
  }
  // --noflush keeps every other rule; the batch is committed as a whole, so
  // a delete of a rule that is not there removes none of the list.
  std::string output;
  int status = childprocess::run({m_restoreProgram, "--noflush"}, *script, &output,
                                 childprocess::kCommandLimit);
  if (status != 0) {
    while (!output.empty() && output.back() == '\n')
      output.pop_back();
    LOG_ERROR_LIMITED("firewall: %s of %zu rules failed (status %d): %s", remove ? "delete" : "add",
                      rules.size(), status, output.c_str());
    return false;
  }
  return true;
}
