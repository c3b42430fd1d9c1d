// ftpupload: the card's log uploader. Reads one request on standard input
// (common/FtpUploadWire.h), sends the file by FTP with libcurl, writes the
// answer on standard output and exits with the result's status. It runs as
// a child of the card so that libcurl and the libraries it brings (TLS,
// LDAP, Kerberos) never enter the card's process.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/ftpcurl/FtpCurl.h"

namespace {

using ftpupload::Result;

struct CloseFile {
  void operator()(FILE* f) const { std::fclose(f); }
};
struct CleanupCurl {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

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
  char error[CURL_ERROR_SIZE] = {0};
  CURL* c = curl.get();
  ftpcurl::setUp(c, req, ftpupload::url(req.target, req.remoteName), error);
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_READDATA, file.get());
  curl_easy_setopt(c, CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR));
  CURLcode rc = curl_easy_perform(c);
  if (rc == CURLE_OK)
    return Result::OK;
  reason = ftpcurl::describe(c, rc, error);
  return ftpcurl::classify(rc);
}

}  // namespace

int main(int argc, char** argv) {
  return ftpcurl::runProgram(argc, argv, ftpupload::Op::UPLOAD, "the uploader", upload);
}
