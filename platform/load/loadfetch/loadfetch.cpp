// loadfetch: fetches a load bundle by FTP straight into a slot folder. Reads
// one request on standard input (common/FtpUploadWire.h, operation FETCH),
// streams the file through libarchive as it arrives, checks the manifest's
// signature against the key built in, the card type, the architecture, the
// free space and every file's size and SHA-256, reports its progress and
// then its answer on standard output, and exits with the result's status.
// A child of the card: libcurl, libarchive and libsodium never enter main.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "common/ftpclient/TransferProgram.h"
#include "load/bundle/Bundle.h"

#ifndef FXS_LOAD_PUBLIC_KEY
#error "FXS_LOAD_PUBLIC_KEY: the load signing key the card trusts (hex)"
#endif
#ifndef FXS_LOAD_ARCH
#error "FXS_LOAD_ARCH: the architecture the card runs"
#endif

namespace {

using ftpupload::Phase;
using ftpupload::Result;

void report(Phase phase, unsigned percent) {
  ftp::writeOut(ftpupload::encodeProgress({phase, percent}));
}

// The bundle's bytes as libcurl receives them: each read runs the transfer
// until data is there or it has ended.
class CurlSource : public bundle::Source {
 public:
  explicit CurlSource(const ftpupload::Request& req) : m_easy(m_session.handle()) {
    m_multi = curl_multi_init();
    if (m_easy == nullptr || m_multi == nullptr)
      return;
    m_session.prepare(req.target, req.remoteName, static_cast<long>(req.limitSeconds),
                      static_cast<long>(req.stallSeconds));
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlSource::onData);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    m_ready = curl_multi_add_handle(m_multi, m_easy) == CURLM_OK;
  }
  ~CurlSource() override {
    if (m_multi != nullptr && m_easy != nullptr)
      curl_multi_remove_handle(m_multi, m_easy);
    if (m_multi != nullptr)
      curl_multi_cleanup(m_multi);
  }
  CurlSource(const CurlSource&) = delete;
  CurlSource& operator=(const CurlSource&) = delete;

  long read(const void** data) override {
    if (!m_ready) {
      m_rc = CURLE_FAILED_INIT;
      return -1;
    }
    while (m_pending.empty() && !m_done)
      step();
    if (!m_pending.empty()) {
      m_handed.swap(m_pending);
      m_pending.clear();
      *data = m_handed.data();
      return static_cast<long>(m_handed.size());
    }
    if (m_rc != CURLE_OK)
      return -1;
    report(Phase::VERIFY, 100);
    return 0;
  }

  Result result(ftpupload::Answer& answer) const {
    answer.encrypted = m_session.encrypted();
    if (!m_ready) {
      answer.reason = "no transfer handle";
      return Result::FAILED;
    }
    Result r = ftp::resultOf(m_session.finish(m_rc, answer.reason));
    return m_rc == CURLE_REMOTE_FILE_NOT_FOUND ? Result::NOT_FOUND : r;
  }

 private:
  static size_t onData(char* p, size_t size, size_t n, void* self) {
    auto* s = static_cast<CurlSource*>(self);
    s->m_pending.append(p, size * n);
    s->m_received += size * n;
    s->progress();
    return size * n;
  }

  void progress() {
    curl_off_t total = -1;
    curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
    if (total <= 0)
      return;
    unsigned pct = static_cast<unsigned>(
        std::min<uint64_t>(100, m_received * 100 / static_cast<uint64_t>(total)));
    if (pct != m_percent) {
      m_percent = pct;
      report(Phase::TRANSFER, pct);
    }
  }

  void step() {
    int running = 0;
    curl_multi_perform(m_multi, &running);
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_multi, &left)) {
      if (msg->msg == CURLMSG_DONE) {
        m_done = true;
        m_rc = msg->data.result;
      }
    }
    if (!m_done && running == 0) {
      m_done = true;
      m_rc = CURLE_RECV_ERROR;
    }
    if (!m_done && m_pending.empty())
      curl_multi_poll(m_multi, nullptr, 0, 1000, nullptr);
  }

  ftp::Session m_session;
  CURL* m_easy;
  CURLM* m_multi = nullptr;
  bool m_ready = false;
  bool m_done = false;
  CURLcode m_rc = CURLE_OK;
  std::string m_pending, m_handed;
  uint64_t m_received = 0;
  unsigned m_percent = 101;
};

// The folder this program runs from: the running slot, never written.
std::string ownFolder() {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0)
    return std::string();
  std::string path(exe, static_cast<size_t>(n));
  return path.substr(0, path.rfind('/'));
}

Result fetch(const ftpupload::Request& req, ftpupload::Answer& answer) {
  std::string& reason = answer.reason;
  std::optional<bundle::PublicKey> key = bundle::publicKeyFromHex(FXS_LOAD_PUBLIC_KEY);
  if (!bundle::init() || !key) {
    reason = "the signature library did not start or the built-in key is malformed";
    return Result::FAILED;
  }
  char* real = realpath(req.localFile.c_str(), nullptr);
  bool own = real != nullptr && ownFolder() == real;
  std::free(real);
  if (own) {
    reason = "refusing to write " + req.localFile + ", the slot this card runs from";
    return Result::FAILED;
  }
  bundle::Expect expect;
  expect.cardType = req.cardType;
  expect.arch = FXS_LOAD_ARCH;
  expect.key = *key;
  CurlSource source(req);
  load::Manifest installed;
  bundle::Verdict v = bundle::unpack(source, req.localFile, expect, installed, reason);
  switch (v) {
    case bundle::Verdict::OK:
      reason = "version " + installed.version;
      return Result::OK;
    case bundle::Verdict::SOURCE_FAILED:
      return source.result(answer);
    case bundle::Verdict::BAD_BUNDLE:
      return Result::BAD_BUNDLE;
    case bundle::Verdict::WRONG_LOAD:
      return Result::WRONG_LOAD;
    case bundle::Verdict::NO_SPACE:
      return Result::NO_SPACE;
    case bundle::Verdict::FAILED:
      break;
  }
  return Result::FAILED;
}

}  // namespace

int main(int argc, char** argv) {
  return ftp::runProgram(argc, argv, ftpupload::Op::FETCH, "the fetch program", fetch);
}
