#include "common/ftpclient/FtpSession.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace ftp {

namespace {

constexpr long kConnectTimeoutS = 10;
constexpr long kStallTimeoutS = 30;  // less than 1 byte/s for this long

}  // namespace

std::string caFile() {
  const char* file = std::getenv("FXS_FTP_CA_FILE");
  return file != nullptr ? file : "";
}

Outcome outcomeOf(CURLcode code) {
  switch (code) {
    case CURLE_OK:
      return Outcome::OK;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_WEIRD_SERVER_REPLY:
      return Outcome::CONNECT_FAILED;
    case CURLE_LOGIN_DENIED:
      return Outcome::LOGIN_REFUSED;
    case CURLE_UPLOAD_FAILED:
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_QUOTE_ERROR:
    case CURLE_REMOTE_DISK_FULL:
      return Outcome::REFUSED;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
      return Outcome::TLS_FAILED;
    case CURLE_OPERATION_TIMEDOUT:
      return Outcome::TIMEOUT;
    default:
      return Outcome::FAILED;
  }
}

Session::Session() : m_curl(curl_easy_init()) {}

Session::~Session() {
  if (m_curl != nullptr)
    curl_easy_cleanup(m_curl);
}

void Session::prepare(const Target& target, const std::string& path, long limitSeconds) {
  CURL* c = m_curl;
  std::string address = url(target, path);
  curl_easy_setopt(c, CURLOPT_URL, address.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(c, CURLOPT_USERNAME, target.user.c_str());
  curl_easy_setopt(c, CURLOPT_PASSWORD, target.password.c_str());
  // AUTH TLS first; a server that refuses it gets the login in clear, one
  // whose certificate does not verify gets nothing.
  curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
  curl_easy_setopt(c, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
  curl_easy_setopt(c, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2));
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  std::string ca = caFile();
  if (!ca.empty())
    curl_easy_setopt(c, CURLOPT_CAINFO, ca.c_str());
  curl_easy_setopt(c, CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR));
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, std::min(kConnectTimeoutS, limitSeconds));
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, std::min(kStallTimeoutS, limitSeconds));
  curl_easy_setopt(c, CURLOPT_TIMEOUT, limitSeconds);
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, m_error);
  // The protocol dialogue tells whether TLS was taken; nothing of it is
  // kept but the command words and the answer codes.
  curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, &Session::onDebug);
  curl_easy_setopt(c, CURLOPT_DEBUGDATA, this);
  curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);
}

Outcome Session::perform(std::string& reason) {
  m_controlTls = m_dataTls = false;
  m_error[0] = '\0';
  CURLcode rc = curl_easy_perform(m_curl);
  if (rc == CURLE_OK)
    return Outcome::OK;
  long code = 0;
  curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &code);
  reason = m_error[0] != '\0' ? m_error : curl_easy_strerror(rc);
  if (code != 0)
    reason += " (server answered " + std::to_string(code) + ")";
  return outcomeOf(rc);
}

int Session::onDebug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
  auto* session = static_cast<Session*>(self);
  if (type == CURLINFO_HEADER_OUT) {
    size_t n = 0;
    while (n < size && std::isalpha(static_cast<unsigned char>(data[n])))
      ++n;
    session->onCommand(std::string(data, n));
  } else if (type == CURLINFO_HEADER_IN && size >= 4 && data[3] == ' ' &&
             std::all_of(data, data + 3, [](char c) { return c >= '0' && c <= '9'; })) {
    session->onReply((data[0] - '0') * 100 + (data[1] - '0') * 10 + (data[2] - '0'));
  }
  return 0;
}

void Session::onCommand(const std::string& command) {
  m_lastCommand = command;
}

void Session::onReply(int code) {
  if (m_lastCommand == "AUTH" && (code == 234 || code == 334))
    m_controlTls = true;
  else if (m_lastCommand == "PROT" && code / 100 == 2)
    m_dataTls = true;
}

}  // namespace ftp
