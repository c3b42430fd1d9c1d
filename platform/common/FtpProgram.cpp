#include "common/FtpProgram.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace ftpupload {

namespace {

constexpr size_t kErrorExcerpt = 200;

std::string without(std::string text, const std::string& secret) {
  if (secret.empty())
    return text;
  for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at))
    text.replace(at, secret.size(), "********");
  return text;
}

// The first line of what the program wrote on its standard error.
std::string excerpt(const std::string& errors) {
  std::string line = errors.substr(0, errors.find('\n'));
  if (line.size() > kErrorExcerpt)
    line = line.substr(0, kErrorExcerpt) + "...";
  return line.empty() ? std::string() : ": " + line;
}

}  // namespace

std::string programPath(const char* name, const char* envVar) {
  const char* chosen = std::getenv(envVar);
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
  return path.substr(0, slash + 1) + name;
}

std::string requestBytes(const Request& request, std::string& reason) {
  std::string bytes = encodeRequest(request);
  if (bytes.empty() || !decodeRequest(bytes)) {
    reason = "the transfer's target or file name does not fit the program's request";
    return std::string();
  }
  return bytes;
}

childprocess::Bounds boundsFor(std::chrono::seconds limit, int stopFd) {
  childprocess::Bounds bounds;
  bounds.limit = limit + KILL_GRACE;
  bounds.separateErrors = true;
  bounds.maxOutput = MAX_MESSAGE;
  bounds.stopFd = stopFd;
  return bounds;
}

Result judge(const childprocess::Outcome& run, const childprocess::Bounds& bounds,
             const std::string& role, const std::string& program, const std::string& answer,
             const std::string& secret, std::string& reason, bool* encrypted) {
  reason.clear();
  std::string errors = excerpt(without(run.errors, secret));
  if (!run.started) {
    reason = "cannot start " + role + " " + program + ": " + run.startError;
    return Result::FAILED;
  }
  if (run.stopped) {
    reason = "the card is stopping; " + role + " was killed";
    return Result::FAILED;
  }
  if (run.timedOut) {
    reason = role + " " + program + " did not finish within " +
             std::to_string(bounds.limit.count() / 1000) + " s and was killed";
    return Result::TIMEOUT;
  }
  if (run.signal != 0) {
    const char* name = sigabbrev_np(run.signal);
    reason = role + " " + program + " was ended by signal " + std::to_string(run.signal) +
             (name != nullptr ? std::string(" (SIG") + name + ")" : std::string()) + errors;
    return Result::FAILED;
  }
  std::optional<Answer> a = decodeAnswer(answer);
  if (!a || exitStatusOf(a->result) != run.exitStatus) {
    reason = role + " " + program + " gave no valid answer (exit status " +
             std::to_string(run.exitStatus) + ")" + errors;
    return Result::FAILED;
  }
  if (a->result != Result::OK)
    reason = without(a->reason, secret);
  if (encrypted != nullptr)
    *encrypted = a->encrypted;
  return a->result;
}

}  // namespace ftpupload
