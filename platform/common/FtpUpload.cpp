#include "common/FtpUpload.h"

#include <algorithm>

#include "common/FtpProgram.h"
#include "process/ChildProcess.h"

namespace ftpupload {

std::string programPath() {
  return programPath("ftpupload", "FXS_FTPUPLOAD");
}

Result upload(const Target& target, const std::string& localFile, const std::string& remoteName,
              std::chrono::seconds limit, std::string& reason, bool& encrypted, int stopFd) {
  reason.clear();
  encrypted = false;
  std::string program = programPath();
  if (program.empty()) {
    reason = "cannot tell where the uploader is (no /proc/self/exe)";
    return Result::FAILED;
  }
  Request request;
  request.target = target;
  request.localFile = localFile;
  request.remoteName = remoteName;
  request.limitSeconds = static_cast<unsigned>(limit.count());
  std::string bytes = requestBytes(request, reason);
  if (bytes.empty())
    return Result::FAILED;
  childprocess::Bounds bounds = boundsFor(limit, stopFd);
  childprocess::Outcome run = childprocess::run({program}, bytes, bounds);
  std::fill(bytes.begin(), bytes.end(), '\0');
  return judge(run, bounds, "the uploader", program, run.output, target.password, reason,
               &encrypted);
}

}  // namespace ftpupload
