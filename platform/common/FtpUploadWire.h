// Between the card and its uploader program (ftpupload): the card writes one
// request on the uploader's standard input and reads one answer from its
// standard output; the uploader's exit status repeats the result. Little
// endian, each text as its length (u16) and its bytes:
//
//   request: magic "FTPQ" u32 | port u16 | limit in seconds u16 | host |
//            user | password | directory | local file | remote name
//   answer:  magic "FTPA" u32 | result u8 | encrypted u8 | reason
//
// Both sides also share the target and the result codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/FtpTarget.h"

namespace ftpupload {

using ftp::Target;

enum class Result : uint8_t {
  OK,
  CONNECT_FAILED,
  LOGIN_REFUSED,
  UPLOAD_REFUSED,
  TIMEOUT,
  FAILED,
  TLS_FAILED,  // the server's certificate not trusted, or no TLS handshake
};

struct Request {
  Target target;
  std::string localFile;
  std::string remoteName;
  unsigned limitSeconds = 0;  // the whole transfer
};

struct Answer {
  Result result = Result::FAILED;
  std::string reason;      // empty on success; never the password
  bool encrypted = false;  // login and file went over TLS
};

constexpr size_t MAX_TEXT = 1024;
constexpr unsigned MAX_LIMIT_SECONDS = 3600;
// Neither side takes more than this from the other.
constexpr size_t MAX_MESSAGE = 4 + 2 + 2 + 6 * (2 + MAX_TEXT);

// Empty when a field does not fit (a text longer than MAX_TEXT).
std::string encodeRequest(const Request& request);
// Refuses a wrong magic, a missing or over-long field, bytes after the last
// field, port 0, a limit of 0 or above MAX_LIMIT_SECONDS, an empty host,
// file or remote name, and a remote name with a '/'.
std::optional<Request> decodeRequest(const std::string& bytes);

std::string encodeAnswer(const Answer& answer);
std::optional<Answer> decodeAnswer(const std::string& bytes);

// The uploader's exit status for each result.
int exitStatusOf(Result result);
const char* resultName(Result result);

}  // namespace ftpupload
