#include "FtpServer.h"

#include <sys/stat.h>

#include "TestSupport.h"

namespace testsupport {

::testing::AssertionResult makeCertificates(const std::string& dir) {
  int st = -1;
  std::string out = runShell(
      "sh " + std::string(FXS_SOURCE_DIR) + "/tools/dev/bench-tls.sh " + dir + " 127.0.0.1 2>&1",
      &st);
  if (st != 0)
    return ::testing::AssertionFailure() << "no certificates in " << dir << ": " << out;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult FtpServer::start(unsigned port, unsigned rate,
                                            const std::string& tlsDir) {
  ::mkdir(kFtpRoot.c_str(), 0755);
  writeFile("/tmp/ftp.pass", kFtpPassword + "\n");
  std::vector<std::string> args{std::string(FXS_SOURCE_DIR) + "/tools/dev/bench-ftpd.py",
                                "--address",
                                "127.0.0.1",
                                "--port",
                                std::to_string(port),
                                "--root",
                                kFtpRoot,
                                "--user",
                                "chassis",
                                "--password-file",
                                "/tmp/ftp.pass",
                                "--rate",
                                std::to_string(rate)};
  if (!tlsDir.empty()) {
    ::testing::AssertionResult made = makeCertificates(tlsDir);
    if (!made)
      return made;
    args.insert(args.end(), {"--tls-dir", tlsDir});
  }
  m_proc.start("/usr/bin/python3", args);
  if (waitFor([this] { return m_proc.log().find("serving") != std::string::npos; },
              std::chrono::seconds(20)))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no FTP server: " << m_proc.log();
}

}  // namespace testsupport
