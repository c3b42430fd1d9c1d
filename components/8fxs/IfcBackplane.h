// Backplane (eth0) and data-channel (eth1) bring-up with the management
// policy routing. Ifc runs it once, when the board driver first gives the
// slot; the steps are free functions over the platform calls they make so
// that their order and stop-at-first-failure are tested with fakes.
#pragma once

#include <functional>
#include <string>

#include "net/NetworkManagerInterface.h"

namespace backplane {

// The calls the bring-up makes besides the network manager.
struct Commands {
  std::function<bool(const std::string&)> execute;   // otn::executeCommand, failure logged
  std::function<bool(const std::string&)> runQuiet;  // the same, failure the caller's to log
  std::function<const char*(const char*)> getenv;    // "ethaddr"
};
Commands realCommands();

// Policy routing of table 9 "rt_mgmt", in the order they must run.
extern const char* const kIpRuleCommands[];
extern const unsigned kIpRuleCommandCount;

std::string backplaneAddress(int slot);  // slot counted from 1
std::string backplaneMac(int slot);

// Runs kIpRuleCommands in order; false at the first that fails.
bool setupIpRules(const Commands& commands);
// The whole bring-up for `slot` (counted from 1); true when the marker was
// written.
bool bringUp(int slot, NetworkManagerInterface& networkManager, const Commands& commands);

}  // namespace backplane
