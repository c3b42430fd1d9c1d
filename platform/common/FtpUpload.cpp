#include "common/FtpUpload.h"

#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace ftpupload {

namespace {

constexpr long kConnectTimeoutS = 10;
constexpr long kStallTimeoutS = 30;  // less than 1 byte/s for this long
constexpr long kTotalTimeoutS = 300;

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

}  // namespace

std::string url(const Target& target, const std::string& remoteName) {
  std::string dir = target.directory;
  while (!dir.empty() && dir.front() == '/')
    dir.erase(0, 1);
  while (!dir.empty() && dir.back() == '/')
    dir.pop_back();
  std::string u = "ftp://" + target.host + ":" + std::to_string(target.port) + "/";
  if (!dir.empty())
    u += dir + "/";
  return u + remoteName;
}

Result upload(const Target& target, const std::string& localFile, const std::string& remoteName,
              std::string& reason) {
  static std::once_flag init;
  std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  reason.clear();
  std::unique_ptr<FILE, CloseFile> file(std::fopen(localFile.c_str(), "rb"));
  if (!file) {
    reason = "cannot read the archive " + localFile;
    return Result::FAILED;
  }
  std::unique_ptr<CURL, CleanupCurl> curl(curl_easy_init());
  if (!curl) {
    reason = "no transfer handle";
    return Result::FAILED;
  }
  char error[CURL_ERROR_SIZE] = {0};
  CURL* c = curl.get();
  std::string address = url(target, remoteName);
  curl_easy_setopt(c, CURLOPT_URL, address.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(c, CURLOPT_USERNAME, target.user.c_str());
  curl_easy_setopt(c, CURLOPT_PASSWORD, target.password.c_str());
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READDATA, file.get());
  curl_easy_setopt(c, CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR));
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kStallTimeoutS);
  curl_easy_setopt(c, CURLOPT_TIMEOUT, kTotalTimeoutS);
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

}  // namespace ftpupload
