// Wire format between Velm_util and the velmora engine (one request, one
// reply, each one SOCK_SEQPACKET packet). Encoding and decoding are pure
// functions over bytes; all integers are little-endian so that 32- and
// 64-bit builds talk to each other.
//
// Request: version u8, op u8, seq u32, index1 i32, index2 i32,
//          nameLen u16, name, valueLen u16, value
// Reply:   version u8, op u8, seq u32, rc i32, valueLen u16, value
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmwire {

constexpr uint8_t WIRE_VERSION = 1;
constexpr size_t REQUEST_HEADER_SIZE = 1 + 1 + 4 + 4 + 4 + 2;  // up to the name
constexpr size_t REPLY_HEADER_SIZE = 1 + 1 + 4 + 4 + 2;
constexpr size_t MAX_NAME_LEN = 128;
constexpr size_t MAX_VALUE_LEN = 16384;
constexpr size_t MAX_REQUEST_SIZE = REQUEST_HEADER_SIZE + MAX_NAME_LEN + 2 + MAX_VALUE_LEN;
constexpr size_t MAX_REPLY_SIZE = REPLY_HEADER_SIZE + MAX_VALUE_LEN;

enum class Op : uint8_t {
  GET = 1,
  SET = 2,
  COMMIT = 3,
  RESET = 4,
  REBOOT = 5,
  // Bench tooling: value = filter, index1 = first catalogue entry; the reply
  // holds text lines and rc = next entry to ask for (0 when done).
  DUMP = 6,
};

// Result codes beyond 0 and -2. Negative errno values, but never -2, which
// is reserved for "no such parameter".
enum Rc : int32_t {
  RC_OK = 0,
  RC_NO_SUCH_PARAMETER = -2,
  RC_IO = -5,             // engine could not store (commit write failed)
  RC_INVALID = -22,       // index out of the parameter's dimensions, bad request
  RC_PROTOCOL = -71,      // malformed or unexpected reply
  RC_UNREACHABLE = -107,  // no connection to the engine
  RC_TIMEOUT = -110,      // no reply within the deadline
};

enum class Status {
  OK,
  TOO_SHORT,
  BAD_VERSION,
  BAD_OP,
  BAD_LENGTH,     // a length field points past the end or beyond its limit
  TRAILING_DATA,  // bytes left after the last field
  NO_ROOM,        // encoding does not fit the buffer
};

const char* statusText(Status s);

// Views point into the buffer that was decoded or into the caller's strings.
struct Request {
  Op op = Op::GET;
  uint32_t seq = 0;
  int32_t index1 = -1;
  int32_t index2 = -1;
  std::string_view name;
  std::string_view value;
};

struct Reply {
  Op op = Op::GET;
  uint32_t seq = 0;
  int32_t rc = 0;
  std::string_view value;
};

bool validOp(uint8_t op);

// Encoders return the number of bytes written, or 0 with `status` set.
size_t encodeRequest(const Request& req, uint8_t* buf, size_t cap, Status& status);
size_t encodeReply(const Reply& rep, uint8_t* buf, size_t cap, Status& status);

Status decodeRequest(const uint8_t* buf, size_t len, Request& out);
Status decodeReply(const uint8_t* buf, size_t len, Reply& out);

// Parameters whose value must never reach a log line.
bool isCredentialName(std::string_view name);

}  // namespace velmwire
