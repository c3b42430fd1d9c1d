// The ICSC wire format: pure encode/decode over bytes, big-endian.
//
//   header (8 bytes): version u8 | op u8 | status u8 | cell count u8 | request id u32
//   cell (8 bytes + value): oid u32 | type u8 | status u8 | value length u16 | value
//
// Numbers travel in the size of their type (u8/i8/bool 1, u16/i16 2,
// u32/i32 4, u64 8 bytes), strings as their bytes without terminator. Answers carry
// op | RESPONSE and, in each cell and in the header, a Status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "drivermsg/udpQueueMsg.h"
#include "icsc/ICSCTlv.h"

namespace icscwire {

constexpr uint8_t VERSION = 1;
// Where the front end takes requests unless told otherwise.
constexpr int UDP_PORT = 5000;
constexpr size_t HEADER_SIZE = 8;
constexpr size_t CELL_HEADER_SIZE = 8;
// A message must fit the queue message after its id and sender address.
constexpr size_t MAX_MESSAGE = udpmsg::MAX_ICSC_SIZE;
constexpr size_t MAX_CELLS = 64;

enum Op : uint8_t {
  GET = 1,
  SET = 2,
  NEXT = 3,  // the cell after the given OID (object, row, column order)
  RESPONSE = 0x80,
};

enum Status : uint8_t {
  OK = 0,
  NO_SUCH_OBJECT = 1,
  NO_SUCH_COLUMN = 2,
  ROW_OUT_OF_RANGE = 3,
  WRONG_TYPE = 4,
  READ_ONLY = 5,
  NOT_SERVED = 6,
  MALFORMED = 7,
  END_OF_OBJECTS = 8,
  BAD_VERSION = 9,
  BAD_OP = 10,
  TOO_BIG = 11,
  BAD_VALUE_LENGTH = 12,  // a common object's length check refused the value
  BAD_VALUE = 13,         // a common object's value check refused the value
};
const char* statusText(uint8_t status);
// The enumerator's name ("READ_ONLY"); "UNKNOWN" for other codes.
const char* statusName(uint8_t status);

struct Header {
  uint8_t version = VERSION;
  uint8_t op = 0;
  uint8_t status = OK;
  uint8_t count = 0;
  uint32_t requestId = 0;
};

enum class Decode {
  OK,
  TOO_SHORT,  // no complete header: nothing to answer to
  BAD_VERSION,
  TOO_MANY_CELLS,
  TRUNCATED,  // a cell header or value runs past the end
  BAD_TYPE,
  BAD_LENGTH,      // value length does not fit the type
  TRAILING_BYTES,  // bytes after the last announced cell
};
const char* decodeText(Decode d);

Decode decodeHeader(const uint8_t* buf, size_t len, Header& h);
// The request id of any message at least a header long, valid or not (the
// front end routes answers by it); false when shorter.
bool peekRequestId(const uint8_t* buf, size_t len, uint32_t& id);
bool pokeRequestId(uint8_t* buf, size_t len, uint32_t id);
// Decodes a whole message; `cells` is resized to the cell count and its
// elements reused (no allocation once warmed up).
Decode decode(const uint8_t* buf, size_t len, Header& h, std::vector<ICSCTlv>& cells);

size_t cellSize(const ICSCTlv& cell);
// Encodes into `out` (cleared first); false when the result would exceed
// MAX_MESSAGE or a cell's value cannot be encoded.
bool encode(const Header& h, const ICSCTlv* cells, size_t count, std::vector<uint8_t>& out);

}  // namespace icscwire
