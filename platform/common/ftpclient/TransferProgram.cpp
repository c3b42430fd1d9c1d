#include "common/ftpclient/TransferProgram.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "BuildVersion.h"

namespace ftp {

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

Result resultOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::OK:
      return Result::OK;
    case Outcome::CONNECT_FAILED:
      return Result::CONNECT_FAILED;
    case Outcome::LOGIN_REFUSED:
      return Result::LOGIN_REFUSED;
    case Outcome::REFUSED:
      return Result::UPLOAD_REFUSED;
    case Outcome::TLS_FAILED:
      return Result::TLS_FAILED;
    case Outcome::TIMEOUT:
      return Result::TIMEOUT;
    case Outcome::FAILED:
      break;
  }
  return Result::FAILED;
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
    a.result = transfer(*req, a);
    curl_global_cleanup();
    std::fill(req->target.password.begin(), req->target.password.end(), '\0');
  }
  if (a.reason.size() > ftpupload::MAX_TEXT)
    a.reason.resize(ftpupload::MAX_TEXT);
  if (!writeOut(ftpupload::encodeAnswer(a)))
    return ftpupload::exitStatusOf(Result::FAILED);
  return ftpupload::exitStatusOf(a.result);
}

}  // namespace ftp
