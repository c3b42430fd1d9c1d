#include "SimCli.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace simcli {

bool integer(const char* text, long long lo, long long hi, long long& out) {
  if (text == nullptr || *text == '\0')
    return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 0);
  if (errno != 0 || *end != '\0' || v < lo || v > hi)
    return false;
  out = v;
  return true;
}

bool decimal(const char* text, double lo, double hi, double& out) {
  if (text == nullptr || *text == '\0')
    return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < lo || v > hi)
    return false;
  out = v;
  return true;
}

int badUsage(const char* prog, const std::string& message, const char* usage) {
  std::fprintf(stderr, "%s: %s\n%s", prog, message.c_str(), usage);
  return 2;
}

int parse(const char* prog, const char* usage, int argc, char** argv, Order order,
          std::initializer_list<option> options, const Take& take) {
  constexpr int kHelp = 0x100;
  std::vector<option> all(options);
  all.push_back({"help", no_argument, nullptr, kHelp});
  all.push_back({nullptr, 0, nullptr, 0});
  optind = 0;  // a fresh scan, whatever ran before
  const char* shortOpts = order == BEFORE_ARGUMENTS ? "+h" : "h";
  for (int c; (c = getopt_long(argc, argv, shortOpts, all.data(), nullptr)) != -1;) {
    if (c == 'h' || c == kHelp) {
      std::fputs(usage, stdout);
      return 0;
    }
    // getopt_long has said what it did not know.
    std::string wrong = c == '?' ? "bad option" : take(c, optarg);
    if (!wrong.empty())
      return badUsage(prog, wrong, usage);
  }
  return -1;
}

}  // namespace simcli
