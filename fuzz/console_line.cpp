// The debug console's line protocol: any bytes from a client give replies
// and never break the session. One group with a command that echoes its
// arguments gives the parser something to dispatch to.
#include <cstdint>
#include <sstream>
#include <string>

#include "debug/Odebug.h"

namespace {

class Echo : public Odebug::CdebugCommand {
 public:
  explicit Echo(Odebug::Cdebugable* g) : CdebugCommand(g, "echo", 0, 4, nullptr) {}
  void command(unsigned argc, char* const* argv, std::ostringstream& os, void*) override {
    for (unsigned i = 0; i < argc; ++i)
      os << argv[i] << "\n";
  }
};

struct Group : Odebug::Cdebugable {
  Group() : Cdebugable("fz"), echo(this) {}
  Echo echo;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Group group;
  Odebug::ConsoleSession session;
  std::string out;
  // Split the input in two reads so lines that straddle reads are covered.
  size_t half = size / 2;
  if (session.feed(reinterpret_cast<const char*>(data), half, out))
    session.feed(reinterpret_cast<const char*>(data) + half, size - half, out);
  return 0;
}
