// Where the card's FTP transfers go (the log upload, the software
// download): server, login and directory, the URL they make, and the check
// that a server value can become part of that URL. Pure code, shared by
// main (which refuses a bad value at the write) and the libcurl programs.
#pragma once

#include <string>

namespace ftp {

struct Target {
  std::string host;
  unsigned port = 21;
  std::string user;
  std::string password;
  std::string directory;  // relative to the login's home; created when missing
};

// A host name (letters, digits and '-' in dot-separated labels), an IPv4
// address, or an IPv6 address in brackets ("[2001:db8::1]"). Refused: a
// port in the value ("host:port"), a bare IPv6 address, a URL, user@host.
bool validHost(const std::string& host);

// ftp://host:port/directory/name, without credentials.
std::string url(const Target& target, const std::string& remoteName);

}  // namespace ftp
