// One FTP transfer of the card's libcurl programs (the log uploader, the
// software download), set up the same way for each: the target's URL and
// login, explicit TLS whenever the server offers it, the server verified
// against the card's CA file, and limits on connect, stall and total time.
// A server that offers TLS but fails verification ends the transfer: it
// never falls back to clear text. Linked only into those child programs,
// never into main.
#pragma once

#include <curl/curl.h>

#include <string>

#include "common/FtpTarget.h"

namespace ftp {

// The CA file servers are verified against: $FXS_FTP_CA_FILE, or libcurl's
// default bundle when that is unset or empty ("").
std::string caFile();

enum class Outcome { OK, CONNECT_FAILED, LOGIN_REFUSED, REFUSED, TLS_FAILED, TIMEOUT, FAILED };
Outcome outcomeOf(CURLcode code);

class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // False when libcurl gave no handle.
  bool ready() const { return m_curl != nullptr; }
  // For the transfer's own options (upload or download, its data).
  CURL* handle() const { return m_curl; }

  // `path` is the remote file's name below the target's directory.
  void prepare(const Target& target, const std::string& path, long limitSeconds);
  // Runs the transfer; on failure `reason` has libcurl's words and the
  // server's last answer code.
  Outcome perform(std::string& reason);

  // After perform: whether the login and the file went over TLS.
  bool encrypted() const { return m_controlTls && m_dataTls; }

 private:
  static int onDebug(CURL*, curl_infotype type, char* data, size_t size, void* self);
  void onCommand(const std::string& command);
  void onReply(int code);

  CURL* m_curl;
  char m_error[CURL_ERROR_SIZE] = {0};
  std::string m_lastCommand;
  bool m_controlTls = false;
  bool m_dataTls = false;
};

}  // namespace ftp
