// ftpupload: the card's log uploader. Reads one request on standard input
// (common/FtpUploadWire.h), sends the file by FTP with libcurl, writes the
// answer on standard output and exits with the result's status. It runs as
// a child of the card so that libcurl and the libraries it brings (TLS,
// LDAP, Kerberos) never enter the card's process.
#include <curl/curl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/FtpUploadWire.h"

namespace {

using ftpupload::Result;

constexpr long kConnectTimeoutS = 10;
constexpr long kStallTimeoutS = 30;  // less than 1 byte/s for this long

struct CloseFile {
  void operator()(FILE* f) const { std::fclose(f); }
};
struct CleanupCurl {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

Result classify(CURLcode rc) {
  switch (rc) {
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
    case CURLE_OPERATION_TIMEDOUT:
      return Result::TIMEOUT;
    default:
      return Result::FAILED;
  }
}

Result upload(const ftpupload::Request& req, std::string& reason) {
  std::unique_ptr<FILE, CloseFile> file(std::fopen(req.localFile.c_str(), "rb"));
  if (!file) {
    reason = "cannot read the archive " + req.localFile + ": " + std::strerror(errno);
    return Result::FAILED;
  }
  std::unique_ptr<CURL, CleanupCurl> curl(curl_easy_init());
  if (!curl) {
    reason = "no transfer handle";
    return Result::FAILED;
  }
  long limit = static_cast<long>(req.limitSeconds);
  char error[CURL_ERROR_SIZE] = {0};
  CURL* c = curl.get();
  std::string address = ftpupload::url(req.target, req.remoteName);
  curl_easy_setopt(c, CURLOPT_URL, address.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(c, CURLOPT_USERNAME, req.target.user.c_str());
  curl_easy_setopt(c, CURLOPT_PASSWORD, req.target.password.c_str());
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READDATA, file.get());
  curl_easy_setopt(c, CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR));
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, std::min(kConnectTimeoutS, limit));
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, std::min(kStallTimeoutS, limit));
  curl_easy_setopt(c, CURLOPT_TIMEOUT, limit);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  CURLcode rc = curl_easy_perform(c);
  if (rc == CURLE_OK)
    return Result::OK;
  long code = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code);
  reason = error[0] != '\0' ? error : curl_easy_strerror(rc);
  if (code != 0)
    reason += " (server answered " + std::to_string(code) + ")";
  return classify(rc);
}

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

bool writeAll(const std::string& bytes) {
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

}  // namespace

int main() {
  // Never outlives the card that waits for it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  std::string in = readRequest();
  std::optional<ftpupload::Request> req = ftpupload::decodeRequest(in);
  std::fill(in.begin(), in.end(), '\0');
  ftpupload::Answer answer;
  if (!req) {
    answer.result = Result::FAILED;
    answer.reason =
        "the uploader got a malformed request (" + std::to_string(in.size()) + " bytes)";
  } else if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    answer.result = Result::FAILED;
    answer.reason = "the FTP client library did not start";
  } else {
    answer.result = upload(*req, answer.reason);
    curl_global_cleanup();
    std::fill(req->target.password.begin(), req->target.password.end(), '\0');
  }
  if (answer.reason.size() > ftpupload::MAX_TEXT)
    answer.reason.resize(ftpupload::MAX_TEXT);
  if (!writeAll(ftpupload::encodeAnswer(answer)))
    return ftpupload::exitStatusOf(Result::FAILED);
  return ftpupload::exitStatusOf(answer.result);
}
