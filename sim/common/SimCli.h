// Option values of the stand-ins and bench tools, parsed after getopt_long:
// a value is taken whole or refused, never cut at the first bad character.
#pragma once

#include <getopt.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

namespace simcli {

// A whole integer in [lo, hi]; base 0 (0x.. hexadecimal, 0.. octal) as
// the card's console reads numbers.
bool integer(const char* text, long long lo, long long hi, long long& out);
template <typename T>
bool integer(const char* text, long long lo, long long hi, T& out) {
  long long v = 0;
  if (!integer(text, lo, hi, v))
    return false;
  out = static_cast<T>(v);
  return true;
}
// A decimal number in [lo, hi] (seconds and the like).
bool decimal(const char* text, double lo, double hi, double& out);

// The exit scheme of the chassis-side tools (icscctl, dldctl): served,
// refused by the card, no answer, bad usage.
enum ClientExit { SERVED = 0, REFUSED = 1, NO_ANSWER = 2, USAGE = 3 };

// "PROG: MESSAGE" and "usage: ..." on stderr; returns the exit status of
// bad usage, 2.
int badUsage(const char* prog, const std::string& message, const char* usage);

// Takes one option (its `val`) and its argument; returns "" when taken,
// else what is wrong with it.
using Take = std::function<std::string(int opt, const char* arg)>;
enum Order {
  ANYWHERE,          // options may follow the other words
  BEFORE_ARGUMENTS,  // options end at the first word that is none ('+')
};
// getopt_long over argv with `options` and --help (usage on stdout).
// Returns -1 to go on (the other words start at optind), else the exit
// status: 0 after --help, 2 on bad usage (said on stderr).
int parse(const char* prog, const char* usage, int argc, char** argv, Order order,
          std::initializer_list<option> options, const Take& take);

}  // namespace simcli
