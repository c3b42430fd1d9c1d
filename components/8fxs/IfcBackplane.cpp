#include "IfcBackplane.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Ifc.h"
#include "process/executeCommand.h"
#include "trace/TraceObject.h"

using netlink_route::Address;

namespace backplane {

const char* const kIpRuleCommands[] = {
    "vconfig set_name_type DEV_PLUS_VID_NO_PAD",
    "echo \"9 rt_mgmt\" >> /etc/iproute2/rt_tables",
    "ip rule add oif eth0 table rt_mgmt",
    "ip rule add iif eth0 table rt_mgmt",
    "ip rule add to 172.30.30.0/24 iif lo lookup rt_mgmt",
    "ip rule add from 172.30.30.0/24 iif lo lookup rt_mgmt",
    "ip route add 172.30.30.0/24 dev eth0 table rt_mgmt",
    "ip rule add to 172.30.20.0/24 iif lo lookup rt_mgmt",
    "ip rule add from 172.30.20.0/24 iif lo lookup rt_mgmt",
    "ip route add default via 172.30.30.100 dev eth0 table rt_mgmt",
    "ip route del 172.30.30.0/24 dev eth0 table main",
};
const unsigned kIpRuleCommandCount = sizeof kIpRuleCommands / sizeof kIpRuleCommands[0];

Commands realCommands() {
  Commands c;
  c.execute = [](const std::string& command) {
    return otn::executeCommand(command, true, nullptr, nullptr, true);
  };
  c.runQuiet = [](const std::string& command) {
    return otn::executeCommand(command, true, nullptr, nullptr, false);
  };
  c.getenv = [](const char* name) -> const char* { return std::getenv(name); };
  return c;
}

std::string backplaneAddress(int slot) {
  return "172.30.30." + std::to_string(slot) + "/24";
}

std::string backplaneMac(int slot) {
  char last[16];
  std::snprintf(last, sizeof last, "%02d", slot);
  return std::string("02:a5:3c:00:50:") + last;
}

bool setupIpRules(const Commands& commands) {
  for (unsigned i = 0; i < kIpRuleCommandCount; ++i) {
    if (!commands.execute(kIpRuleCommands[i]))
      return false;
  }
  return true;
}

bool bringUp(int slot, NetworkManagerInterface& networkManager, const Commands& commands) {
  std::string address = backplaneAddress(slot);
  LOG_INFO("setting ip of backplane to %s", address.c_str());
  std::string mac = backplaneMac(slot);

  netlink_route::Interface eth0("eth0");
  eth0.addIp(Address(address, Address::TYPE_IPV4_PREFIX), false);
  eth0.setMac(Address(mac, Address::TYPE_MAC));
  eth0.setUp();
  // The backplane result is not acted on: the rule setup below fails on its
  // own when eth0 is unusable.
  (void)networkManager.update_interface(eth0, false);

  LOG_INFO("eth1 for zandor data, making");
  netlink_route::Interface eth1("eth1");
  const char* ethaddr = commands.getenv("ethaddr");
  bool envMac = ethaddr != nullptr && std::strcmp(ethaddr, "None") != 0;
  if (envMac) {
    LOG_INFO("mac found in env, setting '%s'", ethaddr);
    eth1.setMac(Address(ethaddr, Address::TYPE_MAC));
  }
  eth1.setUp();
  if (!networkManager.update_interface(eth1, false))
    LOG_ERROR("added eth1 data channel failed");
  else
    LOG_INFO("added eth1 data channel succes with mac %s", envMac ? ethaddr : "default Ti");

  if (!setupIpRules(commands)) {
    LOG_ERROR("failed to set up ip rules and routes, card may be unreachable!");
    return false;
  }
  LOG_INFO("notifying healthmonitor card is up and running");
  if (!commands.runQuiet("touch /tmp/card_up_and_running"))
    LOG_ERROR("could not create /tmp/card_up_and_running");
  return true;
}

}  // namespace backplane

bool Ifc::setupIpRules() {
  return backplane::setupIpRules(backplane::realCommands());
}

void Ifc::setupBackplane(int slot, NetworkManagerInterface& networkManager) {
  backplane::bringUp(slot, networkManager, backplane::realCommands());
}
