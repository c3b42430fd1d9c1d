#include "common/FtpUpload.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

#include "process/ChildProcess.h"

namespace ftpupload {

namespace {

// The uploader's own timeouts end a dead transfer with the server's last
// answer in the reason; the kill is for an uploader that hangs anyway.
constexpr std::chrono::seconds kKillGrace{5};
constexpr size_t kErrorExcerpt = 200;

std::string without(std::string text, const std::string& secret) {
  if (secret.empty())
    return text;
  for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at))
    text.replace(at, secret.size(), "********");
  return text;
}

// The first line of what the uploader wrote on its standard error.
std::string excerpt(const std::string& errors) {
  std::string line = errors.substr(0, errors.find('\n'));
  if (line.size() > kErrorExcerpt)
    line = line.substr(0, kErrorExcerpt) + "...";
  return line.empty() ? std::string() : ": " + line;
}

}  // namespace

std::string programPath() {
  const char* chosen = std::getenv("FXS_FTPUPLOAD");
  if (chosen != nullptr && *chosen != '\0')
    return chosen;
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0)
    return std::string();
  std::string path(exe, static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return std::string();
  return path.substr(0, slash + 1) + "ftpupload";
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
  Request request{target, localFile, remoteName, static_cast<unsigned>(limit.count())};
  std::string bytes = encodeRequest(request);
  if (bytes.empty() || !decodeRequest(bytes)) {
    reason = "the upload's target or file name does not fit the uploader's request";
    return Result::FAILED;
  }
  childprocess::Bounds bounds;
  bounds.limit = limit + kKillGrace;
  bounds.separateErrors = true;
  bounds.maxOutput = MAX_MESSAGE;
  bounds.stopFd = stopFd;
  childprocess::Outcome run = childprocess::run({program}, bytes, bounds);
  std::fill(bytes.begin(), bytes.end(), '\0');
  std::string errors = excerpt(without(run.errors, target.password));
  if (!run.started) {
    reason = "cannot start the uploader " + program + ": " + run.startError;
    return Result::FAILED;
  }
  if (run.stopped) {
    reason = "the card is stopping; the uploader was killed";
    return Result::FAILED;
  }
  if (run.timedOut) {
    reason = "the uploader " + program + " did not finish within " +
             std::to_string(bounds.limit.count() / 1000) + " s and was killed";
    return Result::TIMEOUT;
  }
  if (run.signal != 0) {
    const char* name = sigabbrev_np(run.signal);
    reason = "the uploader " + program + " was ended by signal " + std::to_string(run.signal) +
             (name != nullptr ? std::string(" (SIG") + name + ")" : std::string()) + errors;
    return Result::FAILED;
  }
  std::optional<Answer> answer = decodeAnswer(run.output);
  if (!answer || exitStatusOf(answer->result) != run.exitStatus) {
    reason = "the uploader " + program + " gave no valid answer (exit status " +
             std::to_string(run.exitStatus) + ")" + errors;
    return Result::FAILED;
  }
  if (answer->result != Result::OK)
    reason = without(answer->reason, target.password);
  encrypted = answer->encrypted;
  return answer->result;
}

}  // namespace ftpupload
