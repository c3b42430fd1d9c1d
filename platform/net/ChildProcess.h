// Runs a program as a child process from an argument vector (no shell),
// feeding it `input` on standard input and collecting standard output and
// error together.
#pragma once

#include <string>
#include <vector>

namespace childprocess {

// Exit status of the child, or -1 when it could not be started or was killed
// by a signal. The program is searched in PATH.
int run(const std::vector<std::string>& argv, const std::string& input, std::string* output);

}  // namespace childprocess
