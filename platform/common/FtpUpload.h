// The card's side of the log upload. The FTP client library and what it
// brings (TLS, LDAP, Kerberos) stay out of the card's process: the upload
// runs in the uploader program "ftpupload" as a child process, which is
// given the target and the file on its standard input and killed when it
// overruns its time.
#pragma once

#include <chrono>
#include <string>

#include "common/FtpUploadWire.h"

namespace ftpupload {

// The whole transfer's time when nothing else is said.
constexpr std::chrono::seconds DEFAULT_LIMIT{300};

// The uploader: $FXS_FTPUPLOAD when set, else "ftpupload" in the directory
// of the card's own executable. Empty when that cannot be told.
std::string programPath();

// Sends `localFile` as `remoteName` into the target's directory. The
// uploader gives up after `limit` itself and is killed a few seconds later
// (TIMEOUT). On failure `reason` says why; it never holds the password. On
// success `encrypted` says whether the file went over TLS. Once `stopFd`
// is readable the uploader is killed at once (FAILED).
Result upload(const Target& target, const std::string& localFile, const std::string& remoteName,
              std::chrono::seconds limit, std::string& reason, bool& encrypted, int stopFd = -1);

}  // namespace ftpupload
