// ftpupload: the card's log uploader. Reads one request on standard input
// (common/FtpUploadWire.h), sends the file by FTP with libcurl (over TLS
// whenever the server offers it, common/ftpclient), writes the answer on
// standard output and exits with the result's status. It runs as a child of
// the card so that libcurl and the libraries it brings (TLS, LDAP, Kerberos)
// never enter the card's process.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/ftpclient/TransferProgram.h"

namespace {

using ftpupload::Result;

struct CloseFile {
  void operator()(FILE* f) const { std::fclose(f); }
};

Result upload(const ftpupload::Request& req, ftpupload::Answer& answer) {
  std::unique_ptr<FILE, CloseFile> file(std::fopen(req.localFile.c_str(), "rb"));
  if (!file) {
    answer.reason = "cannot read the archive " + req.localFile + ": " + std::strerror(errno);
    return Result::FAILED;
  }
  ftp::Session session;
  if (!session.ready()) {
    answer.reason = "no transfer handle";
    return Result::FAILED;
  }
  session.prepare(req.target, req.remoteName, static_cast<long>(req.limitSeconds),
                  static_cast<long>(req.stallSeconds));
  curl_easy_setopt(session.handle(), CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(session.handle(), CURLOPT_READDATA, file.get());
  curl_easy_setopt(session.handle(), CURLOPT_FTP_CREATE_MISSING_DIRS,
                   static_cast<long>(CURLFTP_CREATE_DIR));
  Result result = ftp::resultOf(session.perform(answer.reason));
  answer.encrypted = session.encrypted();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  return ftp::runProgram(argc, argv, ftpupload::Op::UPLOAD, "the uploader", upload);
}
