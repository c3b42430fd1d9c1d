#include "common/FtpUploadWire.h"

#include <vector>

#include "wire/ByteOrder.h"

namespace ftpupload {

namespace {

constexpr uint32_t kRequestMagic = 0x51505446;  // "FTPQ" on the wire
constexpr uint32_t kAnswerMagic = 0x41505446;   // "FTPA"

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

template <typename Io>
void requestFields(Io& io, uint32_t& magic, uint16_t& port, uint16_t& limit, Request& req) {
  io.u32(magic);
  io.u16(port);
  io.u16(limit);
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

std::string encodeRequest(const Request& request) {
  if (request.target.port > 0xffff || request.limitSeconds > 0xffff)
    return std::string();
  std::vector<uint8_t> buf(MAX_MESSAGE);
  Out out{wire::LeWriter(buf.data(), buf.size())};
  uint32_t magic = kRequestMagic;
  uint16_t port = static_cast<uint16_t>(request.target.port);
  uint16_t limit = static_cast<uint16_t>(request.limitSeconds);
  Request copy = request;
  requestFields(out, magic, port, limit, copy);
  return finish(buf, out);
}

std::optional<Request> decodeRequest(const std::string& bytes) {
  In in{wire::LeReader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())};
  Request req;
  uint32_t magic = 0;
  uint16_t port = 0, limit = 0;
  requestFields(in, magic, port, limit, req);
  if (!in.r.ok() || in.r.left() != 0 || magic != kRequestMagic)
    return std::nullopt;
  if (port == 0 || limit == 0 || limit > MAX_LIMIT_SECONDS)
    return std::nullopt;
  if (req.target.host.empty() || req.localFile.empty() || req.remoteName.empty() ||
      req.remoteName.find('/') != std::string::npos)
    return std::nullopt;
  req.target.port = port;
  req.limitSeconds = limit;
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
      result > static_cast<uint8_t>(Result::TLS_FAILED) || encrypted > 1)
    return std::nullopt;
  answer.result = static_cast<Result>(result);
  answer.encrypted = encrypted != 0;
  return answer;
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
