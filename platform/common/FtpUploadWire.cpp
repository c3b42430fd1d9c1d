#include "common/FtpUploadWire.h"

#include <cctype>
#include <vector>

#include "wire/ByteOrder.h"

namespace ftpupload {

namespace {

constexpr uint32_t kRequestMagic = 0x51505446;   // "FTPQ" on the wire
constexpr uint32_t kAnswerMagic = 0x41505446;    // "FTPA"
constexpr uint32_t kProgressMagic = 0x50505446;  // "FTPP"

// One field list per message serves both directions (see wire/ByteOrder.h);
// texts carry their length.
struct Out {
  wire::LeWriter w;
  bool fits = true;
  bool ok() const { return fits && w.ok(); }
  void u8(uint8_t v) { w.u8(v); }
  void u16(uint16_t v) { w.u16(v); }
  void u32(uint32_t v) { w.u32(v); }
  void text(const std::string& s) {
    if (s.size() > MAX_TEXT) {
      fits = false;
      return;
    }
    w.u16(static_cast<uint16_t>(s.size()));
    w.bytes(s.data(), s.size());
  }
};

struct In {
  wire::LeReader r;
  void u8(uint8_t& v) { v = r.u8(); }
  void u16(uint16_t& v) { v = r.u16(); }
  void u32(uint32_t& v) { v = r.u32(); }
  void text(std::string& s) {
    uint16_t n = r.u16();
    if (n > MAX_TEXT) {
      r.skip(r.left() + 1);
      return;
    }
    const uint8_t* p = r.bytes(n);
    s = p == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(p), n);
  }
};

// The numbers of a request as they go on the wire.
struct RequestNumbers {
  uint32_t magic = 0;
  uint8_t op = 0;
  uint16_t port = 0, limit = 0, stall = 0, cardType = 0;
};

template <typename Io>
void requestFields(Io& io, RequestNumbers& n, Request& req) {
  io.u32(n.magic);
  io.u8(n.op);
  io.u16(n.port);
  io.u16(n.limit);
  io.u16(n.stall);
  io.u16(n.cardType);
  io.text(req.target.host);
  io.text(req.target.user);
  io.text(req.target.password);
  io.text(req.target.directory);
  io.text(req.localFile);
  io.text(req.remoteName);
}

template <typename Io>
void answerFields(Io& io, uint32_t& magic, uint8_t& result, uint8_t& encrypted, Answer& answer) {
  io.u32(magic);
  io.u8(result);
  io.u8(encrypted);
  io.text(answer.reason);
}

std::string finish(const std::vector<uint8_t>& buf, const Out& out) {
  if (!out.ok())
    return std::string();
  return std::string(reinterpret_cast<const char*>(buf.data()), out.w.size());
}

}  // namespace

bool plainRemotePath(const std::string& path) {
  if (path.size() > MAX_REMOTE_PATH || path.find("..") != std::string::npos)
    return false;
  for (char c : path) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '/' && c != '_' && c != '-' &&
        c != '.')
      return false;
  }
  return true;
}

std::string encodeRequest(const Request& request) {
  if (request.target.port > 0xffff || request.limitSeconds > 0xffff ||
      request.stallSeconds > 0xffff || request.cardType > 0xffff)
    return std::string();
  std::vector<uint8_t> buf(MAX_MESSAGE);
  Out out{wire::LeWriter(buf.data(), buf.size())};
  RequestNumbers n;
  n.magic = kRequestMagic;
  n.op = static_cast<uint8_t>(request.op);
  n.port = static_cast<uint16_t>(request.target.port);
  n.limit = static_cast<uint16_t>(request.limitSeconds);
  n.stall = static_cast<uint16_t>(request.stallSeconds);
  n.cardType = static_cast<uint16_t>(request.cardType);
  Request copy = request;
  requestFields(out, n, copy);
  return finish(buf, out);
}

std::optional<Request> decodeRequest(const std::string& bytes) {
  In in{wire::LeReader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())};
  Request req;
  RequestNumbers n;
  requestFields(in, n, req);
  if (!in.r.ok() || in.r.left() != 0 || n.magic != kRequestMagic ||
      n.op > static_cast<uint8_t>(Op::FETCH))
    return std::nullopt;
  if (n.port == 0 || n.limit == 0 || n.limit > MAX_LIMIT_SECONDS || n.stall > n.limit)
    return std::nullopt;
  if (req.target.host.empty() || req.localFile.empty() || req.remoteName.empty() ||
      req.remoteName.find('/') != std::string::npos)
    return std::nullopt;
  req.op = static_cast<Op>(n.op);
  req.target.port = n.port;
  req.limitSeconds = n.limit;
  req.stallSeconds = n.stall;
  req.cardType = n.cardType;
  return req;
}

std::string encodeAnswer(const Answer& answer) {
  std::vector<uint8_t> buf(MAX_MESSAGE);
  Out out{wire::LeWriter(buf.data(), buf.size())};
  uint32_t magic = kAnswerMagic;
  uint8_t result = static_cast<uint8_t>(answer.result);
  uint8_t encrypted = answer.encrypted ? 1 : 0;
  Answer copy = answer;
  answerFields(out, magic, result, encrypted, copy);
  return finish(buf, out);
}

std::optional<Answer> decodeAnswer(const std::string& bytes) {
  In in{wire::LeReader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())};
  Answer answer;
  uint32_t magic = 0;
  uint8_t result = 0;
  uint8_t encrypted = 0;
  answerFields(in, magic, result, encrypted, answer);
  if (!in.r.ok() || in.r.left() != 0 || magic != kAnswerMagic ||
      result > static_cast<uint8_t>(Result::NO_SPACE) || encrypted > 1)
    return std::nullopt;
  answer.result = static_cast<Result>(result);
  answer.encrypted = encrypted != 0;
  return answer;
}

std::string encodeProgress(const Progress& progress) {
  uint8_t buf[PROGRESS_SIZE];
  wire::LeWriter w(buf, sizeof buf);
  w.u32(kProgressMagic);
  w.u8(static_cast<uint8_t>(progress.phase));
  w.u8(static_cast<uint8_t>(progress.percent > 100 ? 100 : progress.percent));
  return std::string(reinterpret_cast<const char*>(buf), sizeof buf);
}

std::vector<Progress> takeProgress(std::string& stream) {
  std::vector<Progress> out;
  size_t at = 0;
  while (stream.size() - at >= PROGRESS_SIZE) {
    wire::LeReader r(reinterpret_cast<const uint8_t*>(stream.data()) + at, PROGRESS_SIZE);
    uint32_t magic = r.u32();
    uint8_t phase = r.u8();
    uint8_t percent = r.u8();
    if (magic != kProgressMagic || phase > static_cast<uint8_t>(Phase::VERIFY) || percent > 100)
      break;
    out.push_back({static_cast<Phase>(phase), percent});
    at += PROGRESS_SIZE;
  }
  stream.erase(0, at);
  return out;
}

namespace {

struct ResultRow {
  Result result;
  int exitStatus;
  const char* name;
};

constexpr ResultRow kResults[] = {
    {Result::OK, 0, "OK"},
    {Result::FAILED, 1, "FAILED"},
    {Result::CONNECT_FAILED, 2, "CONNECT_FAILED"},
    {Result::LOGIN_REFUSED, 3, "LOGIN_REFUSED"},
    {Result::UPLOAD_REFUSED, 4, "UPLOAD_REFUSED"},
    {Result::TIMEOUT, 5, "TIMEOUT"},
    {Result::TLS_FAILED, 6, "TLS_FAILED"},
    {Result::NOT_FOUND, 7, "NOT_FOUND"},
    {Result::BAD_BUNDLE, 8, "BAD_BUNDLE"},
    {Result::WRONG_LOAD, 9, "WRONG_LOAD"},
    {Result::NO_SPACE, 10, "NO_SPACE"},
};

const ResultRow& rowOf(Result result) {
  for (const ResultRow& row : kResults) {
    if (row.result == result)
      return row;
  }
  return kResults[1];
}

}  // namespace

int exitStatusOf(Result result) {
  return rowOf(result).exitStatus;
}

const char* resultName(Result result) {
  return rowOf(result).name;
}

}  // namespace ftpupload
