// The run of each of the card's FTP transfer programs (ftpupload, loadfetch):
// the request on standard input, the answer on standard output, the exit
// status. Linked into those programs only, never into main.
#pragma once

#include <functional>
#include <string>

#include "common/FtpUploadWire.h"
#include "common/ftpclient/FtpSession.h"

namespace ftp {

// Writes `bytes` whole on standard output.
bool writeOut(const std::string& bytes);

// The wire's result for a transfer's outcome.
ftpupload::Result resultOf(Outcome outcome);

// A transfer program's whole run: "--version" prints the build's version;
// else it reads one request of operation `op` on standard input, runs
// `transfer` on it with libcurl started, writes the answer and returns the
// exit status. `role` names the program in its answers ("the uploader").
using Transfer = std::function<ftpupload::Result(const ftpupload::Request&, ftpupload::Answer&)>;
int runProgram(int argc, char** argv, ftpupload::Op op, const char* role, const Transfer& transfer);

}  // namespace ftp
