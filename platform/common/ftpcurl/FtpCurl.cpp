#include "common/ftpcurl/FtpCurl.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "BuildVersion.h"

namespace ftpcurl {

using ftpupload::Result;

namespace {

std::string readRequest() {
  std::string in;
  char buf[4096];
  while (in.size() <= ftpupload::MAX_MESSAGE) {
    ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    in.append(buf, static_cast<size_t>(n));
  }
  return in;
}

}  // namespace

bool writeOut(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

int runProgram(int argc, char** argv, ftpupload::Op op, const char* role,
               const Transfer& transfer) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts(FXS_BUILD_VERSION);
    return 0;
  }
  // Never outlives the card that waits for it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  std::string in = readRequest();
  std::optional<ftpupload::Request> req = ftpupload::decodeRequest(in);
  std::fill(in.begin(), in.end(), '\0');
  ftpupload::Answer a;
  if (!req || req->op != op) {
    a.result = Result::FAILED;
    a.reason =
        std::string(role) + " got a malformed request (" + std::to_string(in.size()) + " bytes)";
  } else if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    a.result = Result::FAILED;
    a.reason = "the FTP client library did not start";
  } else {
    a.result = transfer(*req, a.reason);
    curl_global_cleanup();
    std::fill(req->target.password.begin(), req->target.password.end(), '\0');
  }
  if (a.reason.size() > ftpupload::MAX_TEXT)
    a.reason.resize(ftpupload::MAX_TEXT);
  if (!writeOut(ftpupload::encodeAnswer(a)))
    return ftpupload::exitStatusOf(Result::FAILED);
  return ftpupload::exitStatusOf(a.result);
}

void setUp(CURL* c, const ftpupload::Request& req, const std::string& url, char* error) {
  long limit = static_cast<long>(req.limitSeconds);
  long stall = req.stallSeconds != 0 ? static_cast<long>(req.stallSeconds) : DEFAULT_STALL_S;
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(c, CURLOPT_USERNAME, req.target.user.c_str());
  curl_easy_setopt(c, CURLOPT_PASSWORD, req.target.password.c_str());
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, std::min(CONNECT_TIMEOUT_S, limit));
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, std::min(stall, limit));
  curl_easy_setopt(c, CURLOPT_TIMEOUT, limit);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
}

Result classify(CURLcode rc) {
  switch (rc) {
    case CURLE_OK:
      return Result::OK;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_WEIRD_SERVER_REPLY:
      return Result::CONNECT_FAILED;
    case CURLE_LOGIN_DENIED:
      return Result::LOGIN_REFUSED;
    case CURLE_UPLOAD_FAILED:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_QUOTE_ERROR:
    case CURLE_REMOTE_DISK_FULL:
      return Result::UPLOAD_REFUSED;
    case CURLE_REMOTE_FILE_NOT_FOUND:
      return Result::NOT_FOUND;
    case CURLE_OPERATION_TIMEDOUT:
      return Result::TIMEOUT;
    default:
      return Result::FAILED;
  }
}

std::string describe(CURL* c, CURLcode rc, const char* error) {
  long code = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
  std::string reason = error[0] != '\0' ? error : curl_easy_strerror(rc);
  if (code != 0)
    reason += " (server answered " + std::to_string(code) + ")";
  return reason;
}

}  // namespace ftpcurl
