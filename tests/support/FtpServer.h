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

class FtpServer {
 public:
  // On `port`, each transfer held to `rate` bytes per second (0: no limit).
  ::testing::AssertionResult start(unsigned port = kFtpPort, unsigned rate = 0);
  ChildProcess m_proc;
};

}  // namespace testsupport
