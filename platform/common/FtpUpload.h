// Upload of one file to an FTP server (libcurl).
#pragma once

#include <string>

namespace ftpupload {

struct Target {
  std::string host;
  unsigned port = 21;
  std::string user;
  std::string password;
  std::string directory;  // relative to the login's home; created when missing
};

enum class Result { OK, CONNECT_FAILED, LOGIN_REFUSED, UPLOAD_REFUSED, TIMEOUT, FAILED };

// Sends `localFile` as `remoteName` into the target's directory. On failure
// `reason` tells why (the library's text and the server's last answer
// code); it never holds the password.
Result upload(const Target& target, const std::string& localFile, const std::string& remoteName,
              std::string& reason);

// ftp://host:port/directory/name, without credentials.
std::string url(const Target& target, const std::string& remoteName);

}  // namespace ftpupload
