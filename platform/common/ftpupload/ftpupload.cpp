// ftpupload: the card's log uploader. Reads one request on standard input
// (common/FtpUploadWire.h), sends the file by FTP with libcurl (over TLS
// whenever the server offers it, common/ftpclient), writes the answer on
// standard output and exits with the result's status. It runs as
// a child of the card so that libcurl and the libraries it brings (TLS,
// LDAP, Kerberos) never enter the card's process.
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
#include "common/ftpclient/FtpSession.h"

namespace {

using ftpupload::Result;

struct CloseFile {
  void operator()(FILE* f) const { std::fclose(f); }
};

Result resultOf(ftp::Outcome outcome) {
  switch (outcome) {
    case ftp::Outcome::OK:
      return Result::OK;
    case ftp::Outcome::CONNECT_FAILED:
      return Result::CONNECT_FAILED;
    case ftp::Outcome::LOGIN_REFUSED:
      return Result::LOGIN_REFUSED;
    case ftp::Outcome::REFUSED:
      return Result::UPLOAD_REFUSED;
    case ftp::Outcome::TLS_FAILED:
      return Result::TLS_FAILED;
    case ftp::Outcome::TIMEOUT:
      return Result::TIMEOUT;
    case ftp::Outcome::FAILED:
      break;
  }
  return Result::FAILED;
}

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
  session.prepare(req.target, req.remoteName, static_cast<long>(req.limitSeconds));
  curl_easy_setopt(session.handle(), CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(session.handle(), CURLOPT_READDATA, file.get());
  Result result = resultOf(session.perform(answer.reason));
  answer.encrypted = session.encrypted();
  return result;
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
    answer.result = upload(*req, answer);
    curl_global_cleanup();
    std::fill(req->target.password.begin(), req->target.password.end(), '\0');
  }
  if (answer.reason.size() > ftpupload::MAX_TEXT)
    answer.reason.resize(ftpupload::MAX_TEXT);
  if (!writeAll(ftpupload::encodeAnswer(answer)))
    return ftpupload::exitStatusOf(Result::FAILED);
  return ftpupload::exitStatusOf(answer.result);
}
