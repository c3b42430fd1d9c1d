#include "icsc/IcscWire.h"

#include "wire/ByteOrder.h"

namespace icscwire {

namespace {

// Header fields in wire order; no check of their values.
void readHeader(wire::BeReader& r, Header& h) {
  h.version = r.u8();
  h.op = r.u8();
  h.status = r.u8();
  h.count = r.u8();
  h.requestId = r.u32();
}

void writeHeader(wire::BeWriter& w, const Header& h) {
  w.u8(h.version);
  w.u8(h.op);
  w.u8(h.status);
  w.u8(h.count);
  w.u32(h.requestId);
}

}  // namespace

namespace {

struct StatusRow {
  Status status;
  const char* name;
  const char* text;
};
constexpr StatusRow kStatuses[] = {
    {OK, "OK", "ok"},
    {NO_SUCH_OBJECT, "NO_SUCH_OBJECT", "no such object"},
    {NO_SUCH_COLUMN, "NO_SUCH_COLUMN", "no such column"},
    {ROW_OUT_OF_RANGE, "ROW_OUT_OF_RANGE", "row out of range"},
    {WRONG_TYPE, "WRONG_TYPE", "wrong type"},
    {READ_ONLY, "READ_ONLY", "read only"},
    {NOT_SERVED, "NOT_SERVED", "not served"},
    {MALFORMED, "MALFORMED", "malformed message"},
    {END_OF_OBJECTS, "END_OF_OBJECTS", "end of objects"},
    {BAD_VERSION, "BAD_VERSION", "unsupported version"},
    {BAD_OP, "BAD_OP", "unknown operation"},
    {TOO_BIG, "TOO_BIG", "answer too big"},
    {BAD_VALUE_LENGTH, "BAD_VALUE_LENGTH", "value length refused"},
    {BAD_VALUE, "BAD_VALUE", "value refused"},
};

const StatusRow* statusRow(uint8_t status) {
  for (const StatusRow& row : kStatuses) {
    if (row.status == status)
      return &row;
  }
  return nullptr;
}

}  // namespace

const char* statusText(uint8_t status) {
  const StatusRow* row = statusRow(status);
  return row != nullptr ? row->text : "unknown status";
}

const char* statusName(uint8_t status) {
  const StatusRow* row = statusRow(status);
  return row != nullptr ? row->name : "UNKNOWN";
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
  wire::BeReader r(buf, len);
  readHeader(r, h);
  if (h.version != VERSION)
    return Decode::BAD_VERSION;
  if (h.count > MAX_CELLS)
    return Decode::TOO_MANY_CELLS;
  return Decode::OK;
}

bool peekRequestId(const uint8_t* buf, size_t len, uint32_t& id) {
  wire::BeReader r(buf, len);
  Header h;
  readHeader(r, h);
  if (!r.ok())
    return false;
  id = h.requestId;
  return true;
}

bool pokeRequestId(uint8_t* buf, size_t len, uint32_t id) {
  wire::BeReader r(buf, len);
  Header h;
  readHeader(r, h);
  if (!r.ok())
    return false;
  h.requestId = id;
  wire::BeWriter w(buf, len);
  writeHeader(w, h);
  return true;
}

Decode decode(const uint8_t* buf, size_t len, Header& h, std::vector<ICSCTlv>& cells) {
  Decode d = decodeHeader(buf, len, h);
  if (d != Decode::OK)
    return d;
  cells.resize(h.count);
  wire::BeReader r(buf, len);
  r.skip(HEADER_SIZE);
  for (ICSCTlv& c : cells) {
    if (r.left() < CELL_HEADER_SIZE)
      return Decode::TRUNCATED;
    c.oid = r.u32();
    uint8_t type = r.u8();
    c.status = r.u8();
    size_t vlen = r.u16();
    if (r.left() < vlen)
      return Decode::TRUNCATED;
    if (!icscTypeValid(type))
      return Decode::BAD_TYPE;
    c.type = static_cast<IcscType>(type);
    c.num = 0;
    c.str.clear();
    switch (c.type) {
      case IcscType::NONE:
        if (vlen != 0)
          return Decode::BAD_LENGTH;
        break;
      case IcscType::STRING:
        c.str.assign(reinterpret_cast<const char*>(r.bytes(vlen)), vlen);
        break;
      default: {
        if (vlen != icscFixedSize(c.type))
          return Decode::BAD_LENGTH;
        uint64_t raw = vlen == 1 ? r.u8() : vlen == 2 ? r.u16() : vlen == 4 ? r.u32() : r.u64();
        if (c.type == IcscType::BOOL && raw > 1)
          return Decode::BAD_LENGTH;
        c.num = icscNarrow(c.type, static_cast<int64_t>(raw));
        break;
      }
    }
  }
  if (r.left() != 0)
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
  out.resize(total);
  wire::BeWriter w(out.data(), out.size());
  Header head = h;
  head.count = static_cast<uint8_t>(count);
  writeHeader(w, head);
  for (size_t i = 0; i < count; ++i) {
    const ICSCTlv& c = cells[i];
    w.u32(c.oid);
    w.u8(static_cast<uint8_t>(c.type));
    w.u8(c.status);
    size_t vlen = c.type == IcscType::STRING ? c.str.size() : icscFixedSize(c.type);
    w.u16(static_cast<uint16_t>(vlen));
    if (c.type == IcscType::STRING) {
      w.bytes(c.str.data(), c.str.size());
    } else if (vlen == 1) {
      w.u8(static_cast<uint8_t>(c.num));
    } else if (vlen == 2) {
      w.u16(static_cast<uint16_t>(c.num));
    } else if (vlen == 4) {
      w.u32(static_cast<uint32_t>(c.num));
    } else if (vlen == 8) {
      w.u64(static_cast<uint64_t>(c.num));
    }
  }
  return w.ok();
}

}  // namespace icscwire
