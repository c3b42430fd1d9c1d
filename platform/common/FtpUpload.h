// The card's side of the log upload: the archive goes to the chassis' FTP
// server through the uploader program "ftpupload" (common/FtpProgram.h).
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
