// Bench client of the velmora engine, through the card's own engine access.
//
//   velmctl get NAME [I1 [I2]] | set NAME VALUE [I1 [I2]] | dump [FILTER]
//         | commit | reset | reboot
//
// Indexes default to -1 and are read with base detection (0x.., 0..).
#include <cstdio>
#include <cstring>
#include <string>

#include "SimCli.h"
#include "velm/VelmClient.h"
#include "velm/Velm_util.h"

namespace {

const char kUsage[] =
    "usage: ./dev velmora COMMAND on the bench, where it runs velmctl COMMAND:\n"
    "  get NAME [I1 [I2]] | set NAME VALUE [I1 [I2]] | dump [FILTER] | commit | reset | reboot\n"
    "  indexes default to -1 (not used); numbers as 16, 0x10 or 020\n"
    "  the engine's socket: VELMORA_SOCKET or /tmp/velmora.sock\n";

int usage(const char* message) {
  return simcli::badUsage("velmctl", message, kUsage);
}

// Index words from argv[at] on; false when one is not a number.
bool indexes(int argc, char** argv, int at, int& i1, int& i2) {
  i1 = i2 = -1;
  return (at >= argc || simcli::integer(argv[at], -1, 0x7FFFFFFF, i1)) &&
         (at + 1 >= argc || simcli::integer(argv[at + 1], -1, 0x7FFFFFFF, i2));
}

std::string addressed(const char* name, int i1, int i2) {
  std::string t = name;
  if (i1 >= 0) {
    t += "." + std::to_string(i1);
    if (i2 >= 0)
      t += "." + std::to_string(i2);
  }
  return t;
}

int report(int rc) {
  if (rc == 0) {
    std::printf("SUCCESS\n");
    return 0;
  }
  if (rc == Velm_util::NO_SUCH_PARAMETER)
    std::printf("PARAMETER NOT EXISTING [%d]\n", rc);
  else
    std::printf("FAILED [%d]\n", rc);
  return 1;
}

int dump(const char* filter) {
  VelmClient client;
  int32_t next = 0;
  do {
    std::string text;
    int32_t rc = client.call(velmwire::Op::DUMP, "", filter, next, -1, &text);
    if (rc < 0)
      return report(rc);
    std::fputs(text.c_str(), stdout);
    if (rc != 0 && rc <= next)
      return report(velmwire::RC_PROTOCOL);  // no progress: stop rather than loop
    next = rc;
  } while (next != 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A value such as -1 after the command is an argument.
  int rc = simcli::parse("velmctl", kUsage, argc, argv, simcli::BEFORE_ARGUMENTS, {},
                         [](int, const char*) { return std::string(); });
  if (rc >= 0)
    return rc;
  argc -= optind - 1;
  argv += optind - 1;
  if (argc < 2)
    return usage("no command");
  std::string cmd = argv[1];
  Velm_util velm;
  int i1 = -1, i2 = -1;
  if (cmd == "get" && argc >= 3 && argc <= 5) {
    if (!indexes(argc, argv, 3, i1, i2))
      return usage("indexes are numbers");
    std::string value;
    int rc = velm.get(argv[2], value, i1, i2);
    if (rc != 0)
      return report(rc);
    std::printf("%s == %s\n", addressed(argv[2], i1, i2).c_str(), value.c_str());
    return 0;
  }
  if (cmd == "set" && argc >= 4 && argc <= 6) {
    if (!indexes(argc, argv, 4, i1, i2))
      return usage("indexes are numbers");
    std::printf("%s = %s\n", addressed(argv[2], i1, i2).c_str(), argv[3]);
    return report(velm.set(argv[2], argv[3], i1, i2));
  }
  if (cmd == "dump" && argc <= 3)
    return dump(argc == 3 ? argv[2] : "");
  if (cmd == "commit" && argc == 2)
    return report(velm.commit());
  if (cmd == "reset" && argc == 2)
    return report(velm.reset());
  if (cmd == "reboot" && argc == 2)
    return report(velm.reboot());
  return usage("unknown command or wrong number of arguments");
}
