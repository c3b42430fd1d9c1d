#include "FtpServer.h"

#include <sys/stat.h>

#include "TestSupport.h"

namespace testsupport {

::testing::AssertionResult FtpServer::start(unsigned port, unsigned rate) {
  ::mkdir(kFtpRoot.c_str(), 0755);
  writeFile("/tmp/ftp.pass", kFtpPassword + "\n");
  m_proc.start("/usr/bin/python3",
               {std::string(FXS_SOURCE_DIR) + "/tools/dev/bench-ftpd.py", "--address", "127.0.0.1",
                "--port", std::to_string(port), "--root", kFtpRoot, "--user", "chassis",
                "--password-file", "/tmp/ftp.pass", "--rate", std::to_string(rate)});
  if (waitFor([this] { return m_proc.log().find("serving") != std::string::npos; },
              std::chrono::seconds(20)))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no FTP server: " << m_proc.log();
}

}  // namespace testsupport
