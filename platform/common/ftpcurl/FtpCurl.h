// What the card's FTP transfer programs (ftpupload, loadfetch) share: the
// request on standard input, the answer on standard output, and a libcurl
// handle set up for the request's server, limits and credentials. Linked
// into those programs only, never into main.
#pragma once

#include <curl/curl.h>

#include <functional>
#include <string>

#include "common/FtpUploadWire.h"

namespace ftpcurl {

constexpr long CONNECT_TIMEOUT_S = 10;
constexpr long DEFAULT_STALL_S = 30;  // less than 1 byte/s for this long

// Writes `bytes` whole on standard output.
bool writeOut(const std::string& bytes);

// A transfer program's whole run: "--version" prints the build's version;
// else it reads one request of operation `op` on standard input, runs
// `transfer` on it with libcurl started, writes the answer and returns the
// exit status. `role` names the program in its answers ("the uploader").
using Transfer = std::function<ftpupload::Result(const ftpupload::Request&, std::string& reason)>;
int runProgram(int argc, char** argv, ftpupload::Op op, const char* role, const Transfer& transfer);

// URL, protocol, credentials, timeouts, no signals; `error` (of
// CURL_ERROR_SIZE bytes) receives libcurl's message.
void setUp(CURL* c, const ftpupload::Request& req, const std::string& url, char* error);
ftpupload::Result classify(CURLcode rc);
// libcurl's message and the server's last answer code.
std::string describe(CURL* c, CURLcode rc, const char* error);

}  // namespace ftpcurl
