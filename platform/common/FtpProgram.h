// The card's side of its FTP transfer programs (ftpupload, loadfetch): the
// FTP client library and what it brings (TLS, LDAP, Kerberos) stay out of
// the card's process. A program runs beside main as a child process, gets
// its request on standard input (never the password on its command line or
// in its environment) and is killed, with what it started, when it overruns
// its time or the card stops.
#pragma once

#include <chrono>
#include <string>

#include "common/FtpUploadWire.h"
#include "process/ChildProcess.h"

namespace ftpupload {

// The uploader's own timeouts end a dead transfer with the server's last
// answer in the reason; the kill is for a program that hangs anyway.
constexpr std::chrono::seconds KILL_GRACE{5};

// The program `name`: $`envVar` when set, else `name` in the directory of
// the card's own executable. Empty when that cannot be told.
std::string programPath(const char* name, const char* envVar);

// The request's bytes for the program; empty (and `reason` set) when it
// does not encode.
std::string requestBytes(const Request& request, std::string& reason);

// The bounds a transfer program runs under for a request's limit.
childprocess::Bounds boundsFor(std::chrono::seconds limit, int stopFd);

// What a finished run came to: the program's answer (its bytes in `answer`)
// or why there is none, naming the program by its `role` ("the uploader")
// and path. `reason` never holds `secret`. `encrypted`, when given, says
// whether the program's transfer went over TLS.
Result judge(const childprocess::Outcome& run, const childprocess::Bounds& bounds,
             const std::string& role, const std::string& program, const std::string& answer,
             const std::string& secret, std::string& reason, bool* encrypted = nullptr);

}  // namespace ftpupload
