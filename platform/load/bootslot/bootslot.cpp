// bootslot: the card's slot chooser, run by its init in place of main. Reads
// the state record below the slots' root (/flash/load), counts a boot of a
// load on trial, rolls a trial back once its boots are used up, and execs
// the chosen slot's main with the arguments it was given. The record is
// replaced atomically; the slots' files are never touched.
//
//   bootslot [--root DIR] [--] [ARGS...]
//
// Exit status (only when nothing could be booted): 1 no slot holds a load,
// 3 bad usage.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BuildVersion.h"
#include "load/SlotState.h"

namespace {

const char kUsage[] =
    "usage: bootslot [--root DIR] [--] [ARGS...]\n"
    "  boots main of the slot the state record below DIR (default /flash/load)\n"
    "  names, counting the boots of a load on trial; ARGS go to main\n"
    "exit status (nothing booted): 1 no slot holds a load, 3 bad usage\n";

}  // namespace

int main(int argc, char** argv) {
  std::string root = load::DEFAULT_ROOT;
  int first = 1;
  for (; first < argc; ++first) {
    std::string a = argv[first];
    if (a == "--root" && first + 1 < argc) {
      root = argv[++first];
    } else if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a == "--version") {
      std::puts(FXS_BUILD_VERSION);
      return 0;
    } else if (a == "--") {
      ++first;
      break;
    } else if (a.rfind("--", 0) == 0) {
      std::fprintf(stderr, "bootslot: unknown option %s\n%s", a.c_str(), kUsage);
      return 3;
    } else {
      break;
    }
  }
  load::SlotStore store(root);
  std::string why;
  std::optional<load::SlotRecord> record = store.read(&why);
  if (!record)
    std::fprintf(stderr, "bootslot: %s\n", why.c_str());
  const bool hasMain[2] = {store.hasMain('a'), store.hasMain('b')};
  load::BootChoice c = load::chooseBoot(record, hasMain);
  std::fprintf(stderr, "bootslot: %s\n", c.message.c_str());
  if (c.slot == 0)
    return 1;
  if (c.rewrite && !store.write(c.record, &why)) {
    std::fprintf(stderr, "bootslot: %s\n", why.c_str());
    // A trial whose boots cannot be counted must not run: it could never
    // be rolled back.
    if (c.trial && record && hasMain[record->defaultSlot - 'a']) {
      c.slot = record->defaultSlot;
      std::fprintf(stderr, "bootslot: booting the default slot %c instead\n", c.slot);
    }
  }
  std::string program = store.slotDir(c.slot) + "/" + load::MAIN_NAME;
  std::vector<char*> args;
  args.push_back(program.data());
  for (int i = first; i < argc; ++i)
    args.push_back(argv[i]);
  args.push_back(nullptr);
  std::fflush(stderr);
  execv(program.c_str(), args.data());
  std::fprintf(stderr, "bootslot: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
  return 1;
}
