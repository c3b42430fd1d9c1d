// Runs one of the card's fixed command texts through "/bin/sh -c". Only for
// texts written in the code; values from outside never go through here.
#pragma once

#include <string>

namespace otn {

// True when the command exited with status 0. `wait` false is not
// supported: the card's commands are always waited for. `output` receives
// standard output and error, `exitStatus` the status; both may be null.
// `logFailure` writes one line naming the command and its output on failure.
bool executeCommand(const std::string& command, bool wait, std::string* output, int* exitStatus,
                    bool logFailure);

}  // namespace otn
