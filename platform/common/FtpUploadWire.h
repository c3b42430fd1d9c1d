// Between the card and its FTP transfer programs (ftpupload sends the log
// archive, loadfetch fetches a load into a slot): the card writes one
// request on the program's standard input and reads what it answers on its
// standard output; the exit status repeats the result. Little endian, each
// text as its length (u16) and its bytes:
//
//   request:  magic "FTPQ" u32 | operation u8 | port u16 | limit in seconds
//             u16 | stall seconds u16 | card type u16 | host | user |
//             password | directory | local path | remote name
//   progress: magic "FTPP" u32 | phase u8 | percent u8   (any number of
//             them before the answer; a fetch only)
//   answer:   magic "FTPA" u32 | result u8 | encrypted u8 | reason
//
// Both sides also share the target and the result codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/FtpTarget.h"

namespace ftpupload {

using ftp::Target;

// UPLOAD_REFUSED: the server refused to store the file; NOT_FOUND: it has
// no such file to fetch. The last three judge a fetched load.
enum class Result : uint8_t {
  OK,
  CONNECT_FAILED,
  LOGIN_REFUSED,
  UPLOAD_REFUSED,
  TIMEOUT,
  FAILED,
  TLS_FAILED,  // the server's certificate not trusted, or no TLS handshake
  NOT_FOUND,
  BAD_BUNDLE,
  WRONG_LOAD,
  NO_SPACE,
};

enum class Op : uint8_t { UPLOAD, FETCH };

struct Request {
  Op op = Op::UPLOAD;
  Target target;
  std::string localFile;  // the file to send; the slot folder to fetch into
  std::string remoteName;
  unsigned limitSeconds = 0;  // the whole transfer
  unsigned stallSeconds = 0;  // less than a byte per second this long ends it (0: the default)
  unsigned cardType = 0;      // the card a fetched load must be for
};

enum class Phase : uint8_t { TRANSFER, VERIFY };

struct Progress {
  Phase phase = Phase::TRANSFER;
  unsigned percent = 0;  // of the file received
};

struct Answer {
  Result result = Result::FAILED;
  std::string reason;      // empty on success; never the password
  bool encrypted = false;  // login and file went over TLS
};

constexpr size_t MAX_TEXT = 1024;
constexpr unsigned MAX_LIMIT_SECONDS = 3600;
// Neither side takes more than this from the other in one message.
constexpr size_t MAX_MESSAGE = 4 + 1 + 4 * 2 + 6 * (2 + MAX_TEXT);
constexpr size_t PROGRESS_SIZE = 4 + 1 + 1;

// Empty when a field does not fit (a text longer than MAX_TEXT).
std::string encodeRequest(const Request& request);
// Refuses a wrong magic or operation, a missing or over-long field, bytes
// after the last field, port 0, a limit of 0 or above MAX_LIMIT_SECONDS, a
// stall bound above the limit, an empty host, file or remote name, and a
// remote name with a '/'.
std::optional<Request> decodeRequest(const std::string& bytes);

std::string encodeAnswer(const Answer& answer);
std::optional<Answer> decodeAnswer(const std::string& bytes);

std::string encodeProgress(const Progress& progress);
// The progress reports at the start of `stream`, taken off it; the rest
// (the answer, or the start of the next report) stays.
std::vector<Progress> takeProgress(std::string& stream);

// A path on the server relative to the login's home, as the chassis writes
// it: letters, digits, '/', '_', '-' and '.' without "..", at most
// MAX_REMOTE_PATH characters. It becomes part of a URL.
constexpr size_t MAX_REMOTE_PATH = 200;
bool plainRemotePath(const std::string& path);

// The uploader's exit status for each result.
int exitStatusOf(Result result);
const char* resultName(Result result);

}  // namespace ftpupload
