#include "icsc/IcscWire.h"

namespace icscwire {

namespace {

uint32_t get32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint16_t get16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
uint64_t get64(const uint8_t* p) {
  return (uint64_t(get32(p)) << 32) | get32(p + 4);
}
void put32(std::vector<uint8_t>& o, uint32_t v) {
  o.push_back(static_cast<uint8_t>(v >> 24));
  o.push_back(static_cast<uint8_t>(v >> 16));
  o.push_back(static_cast<uint8_t>(v >> 8));
  o.push_back(static_cast<uint8_t>(v));
}
void put16(std::vector<uint8_t>& o, uint16_t v) {
  o.push_back(static_cast<uint8_t>(v >> 8));
  o.push_back(static_cast<uint8_t>(v));
}

// Field offsets within the header and a cell header.
constexpr size_t H_VERSION = 0, H_OP = 1, H_STATUS = 2, H_COUNT = 3, H_REQID = 4;
constexpr size_t C_OID = 0, C_TYPE = 4, C_STATUS = 5, C_LEN = 6;

}  // namespace

const char* statusText(uint8_t status) {
  switch (status) {
    case OK:
      return "ok";
    case NO_SUCH_OBJECT:
      return "no such object";
    case NO_SUCH_COLUMN:
      return "no such column";
    case ROW_OUT_OF_RANGE:
      return "row out of range";
    case WRONG_TYPE:
      return "wrong type";
    case READ_ONLY:
      return "read only";
    case NOT_SERVED:
      return "not served";
    case MALFORMED:
      return "malformed message";
    case END_OF_OBJECTS:
      return "end of objects";
    case BAD_VERSION:
      return "unsupported version";
    case BAD_OP:
      return "unknown operation";
    case TOO_BIG:
      return "answer too big";
    case BAD_VALUE_LENGTH:
      return "value length refused";
    case BAD_VALUE:
      return "value refused";
  }
  return "unknown status";
}

const char* decodeText(Decode d) {
  switch (d) {
    case Decode::OK:
      return "ok";
    case Decode::TOO_SHORT:
      return "shorter than a header";
    case Decode::BAD_VERSION:
      return "unsupported version";
    case Decode::TOO_MANY_CELLS:
      return "too many cells";
    case Decode::TRUNCATED:
      return "cell runs past the end";
    case Decode::BAD_TYPE:
      return "unknown value type";
    case Decode::BAD_LENGTH:
      return "value length does not fit its type";
    case Decode::TRAILING_BYTES:
      return "bytes after the last cell";
  }
  return "?";
}

Decode decodeHeader(const uint8_t* buf, size_t len, Header& h) {
  if (buf == nullptr || len < HEADER_SIZE)
    return Decode::TOO_SHORT;
  h.version = buf[H_VERSION];
  h.op = buf[H_OP];
  h.status = buf[H_STATUS];
  h.count = buf[H_COUNT];
  h.requestId = get32(buf + H_REQID);
  if (h.version != VERSION)
    return Decode::BAD_VERSION;
  if (h.count > MAX_CELLS)
    return Decode::TOO_MANY_CELLS;
  return Decode::OK;
}

Decode decode(const uint8_t* buf, size_t len, Header& h, std::vector<ICSCTlv>& cells) {
  Decode d = decodeHeader(buf, len, h);
  if (d != Decode::OK)
    return d;
  cells.resize(h.count);
  size_t pos = HEADER_SIZE;
  for (ICSCTlv& c : cells) {
    if (len - pos < CELL_HEADER_SIZE)
      return Decode::TRUNCATED;
    const uint8_t* p = buf + pos;
    c.oid = get32(p + C_OID);
    uint8_t type = p[C_TYPE];
    c.status = p[C_STATUS];
    size_t vlen = get16(p + C_LEN);
    pos += CELL_HEADER_SIZE;
    if (len - pos < vlen)
      return Decode::TRUNCATED;
    if (!icscTypeValid(type))
      return Decode::BAD_TYPE;
    c.type = static_cast<IcscType>(type);
    c.num = 0;
    c.str.clear();
    const uint8_t* v = buf + pos;
    switch (c.type) {
      case IcscType::NONE:
        if (vlen != 0)
          return Decode::BAD_LENGTH;
        break;
      case IcscType::STRING:
        c.str.assign(reinterpret_cast<const char*>(v), vlen);
        break;
      default: {
        if (vlen != icscFixedSize(c.type))
          return Decode::BAD_LENGTH;
        uint64_t raw = vlen == 1 ? v[0] : vlen == 2 ? get16(v) : vlen == 4 ? get32(v) : get64(v);
        if (c.type == IcscType::BOOL && raw > 1)
          return Decode::BAD_LENGTH;
        c.num = icscNarrow(c.type, static_cast<int64_t>(raw));
        break;
      }
    }
    pos += vlen;
  }
  if (pos != len)
    return Decode::TRAILING_BYTES;
  return Decode::OK;
}

size_t cellSize(const ICSCTlv& cell) {
  if (cell.type == IcscType::STRING)
    return CELL_HEADER_SIZE + cell.str.size();
  return CELL_HEADER_SIZE + icscFixedSize(cell.type);
}

bool encode(const Header& h, const ICSCTlv* cells, size_t count, std::vector<uint8_t>& out) {
  out.clear();
  if (count > MAX_CELLS)
    return false;
  size_t total = HEADER_SIZE;
  for (size_t i = 0; i < count; ++i) {
    if (!icscTypeValid(static_cast<uint8_t>(cells[i].type)))
      return false;
    total += cellSize(cells[i]);
  }
  if (total > MAX_MESSAGE)
    return false;
  out.reserve(total);
  out.push_back(h.version);
  out.push_back(h.op);
  out.push_back(h.status);
  out.push_back(static_cast<uint8_t>(count));
  put32(out, h.requestId);
  for (size_t i = 0; i < count; ++i) {
    const ICSCTlv& c = cells[i];
    put32(out, c.oid);
    out.push_back(static_cast<uint8_t>(c.type));
    out.push_back(c.status);
    size_t vlen = c.type == IcscType::STRING ? c.str.size() : icscFixedSize(c.type);
    put16(out, static_cast<uint16_t>(vlen));
    if (c.type == IcscType::STRING) {
      out.insert(out.end(), c.str.begin(), c.str.end());
    } else if (vlen == 1) {
      out.push_back(static_cast<uint8_t>(c.num));
    } else if (vlen == 2) {
      put16(out, static_cast<uint16_t>(c.num));
    } else if (vlen == 4) {
      put32(out, static_cast<uint32_t>(c.num));
    } else if (vlen == 8) {
      put32(out, static_cast<uint32_t>(static_cast<uint64_t>(c.num) >> 32));
      put32(out, static_cast<uint32_t>(c.num));
    }
  }
  return true;
}

}  // namespace icscwire
