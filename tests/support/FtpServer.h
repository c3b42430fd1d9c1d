// The bench's chassis FTP server (Debian's pyftpdlib, tools/dev/bench-ftpd.py)
// on loopback for the tests: one login, "chassis", below kFtpRoot.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ChildProcess.h"

namespace testsupport {

constexpr unsigned kFtpPort = 2121;
// Inline: initialized before the tables of the files that include this.
inline const std::string kFtpRoot = "/tmp/ftproot";
inline const std::string kFtpPassword = "chassis-Pw-7";

// A CA and a server certificate for 127.0.0.1 in `dir`, as the bench makes
// its own.
::testing::AssertionResult makeCertificates(const std::string& dir);

class FtpServer {
 public:
  // On `port`, each transfer held to `rate` bytes per second (0: no limit);
  // with a folder for certificates (made as the bench makes them) it offers
  // TLS.
  ::testing::AssertionResult start(unsigned port = kFtpPort, unsigned rate = 0,
                                   const std::string& tlsDir = "");
  ChildProcess m_proc;
};

}  // namespace testsupport
