#include "icsc/IcscProtocol.h"

#include <cstring>

#include "common/commonStatCtrl.h"
#include "drivermsg/udpQueueMsg.h"
#include "icsc/ICardObjects.h"
#include "icsc/IcscObject.h"
#include "icsc/IcscUdpQueue.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

using namespace icscwire;

IcscProtocolBase::IcscProtocolBase(ICardObjects* card, IcscResponseSink* sink)
    : m_card(card), m_sink(sink) {
  m_req.reserve(MAX_CELLS);
  m_resp.reserve(MAX_CELLS);
  m_out.reserve(MAX_MESSAGE);
}

IcscProtocolBase::~IcscProtocolBase() = default;

void IcscProtocolBase::registerObject(IcscObject* obj) {
  if (obj == nullptr)
    return;
  uint32_t id = obj->getObjectId();
  if (id == 0 || id > icscoid::MAX_OBJECT_ID || m_objects[id] != nullptr) {
    LOG_ERROR("object %s: id %u invalid or already registered, not served", obj->getName(), id);
    return;
  }
  m_objects[id] = obj;
  ++m_objectCount;
}

IcscObject* IcscProtocolBase::findObject(uint32_t id) const {
  return id <= icscoid::MAX_OBJECT_ID ? m_objects[id] : nullptr;
}

void IcscProtocolBase::eventHandler() {
  ++m_ticks;
}

int IcscProtocolBase::answer(std::string_view ip, const Header& h, const ICSCTlv* cells, size_t n) {
  if (m_sink == nullptr)
    return 0;
  if (!encode(h, cells, n, m_out)) {
    Header big = h;
    big.status = TOO_BIG;
    if (!encode(big, nullptr, 0, m_out))
      return 0;
  }
  return m_sink->sendResponse(ip, m_out.data(), m_out.size()) ? 1 : 0;
}

int IcscProtocolBase::handleIcscMsg(int len, const char* msg, const char* senderIp) {
  // The address comes from the queue message: at most 15 characters, with
  // no terminator when it fills them.
  std::string_view ip = udpmsg::boundedSender(senderIp);
  const int ipLen = static_cast<int>(ip.size());
  ++m_requests;
  if (msg == nullptr || len < 0) {
    ++m_rejected;
    LOG_WARNING_LIMITED("ICSC message from %.*s with length %d dropped", ipLen, ip.data(), len);
    return 0;
  }
  const uint8_t* buf = reinterpret_cast<const uint8_t*>(msg);
  Header h;
  Decode d = decode(buf, static_cast<size_t>(len), h, m_req);
  Header resp;
  resp.op = static_cast<uint8_t>(h.op | RESPONSE);
  resp.requestId = h.requestId;
  if (d == Decode::TOO_SHORT) {
    ++m_rejected;
    LOG_WARNING_LIMITED("ICSC message from %.*s dropped: %s (%d bytes)", ipLen, ip.data(),
                        decodeText(d), len);
    return 0;
  }
  if (d != Decode::OK) {
    ++m_rejected;
    LOG_WARNING_LIMITED("ICSC request %u from %.*s rejected: %s", h.requestId, ipLen, ip.data(),
                        decodeText(d));
    resp.status = d == Decode::BAD_VERSION ? BAD_VERSION : MALFORMED;
    return answer(ip, resp, nullptr, 0);
  }
  if (h.op != GET && h.op != SET && h.op != NEXT) {
    ++m_rejected;
    LOG_WARNING_LIMITED("ICSC request %u from %.*s rejected: unknown operation %u", h.requestId,
                        ipLen, ip.data(), h.op);
    resp.status = BAD_OP;
    return answer(ip, resp, nullptr, 0);
  }
  m_resp.resize(m_req.size());
  for (size_t i = 0; i < m_req.size(); ++i) {
    serveCell(h.op, m_req[i], m_resp[i]);
    if (resp.status == OK && m_resp[i].status != OK)
      resp.status = m_resp[i].status;
  }
  return answer(ip, resp, m_resp.data(), m_resp.size());
}

void IcscProtocolBase::serveCell(uint8_t op, const ICSCTlv& req, ICSCTlv& resp) {
  resp.oid = req.oid;
  resp.status = OK;
  resp.clearValue();
  if (op == NEXT) {
    serveNext(req, resp);
    return;
  }
  if (op == GET && req.type != IcscType::NONE) {
    resp.status = MALFORMED;
    return;
  }
  // The engine and the C strings of the card take text up to a NUL: such a
  // value would be stored cut, so it is refused whole.
  if (op == SET && req.type == IcscType::STRING && req.str.find('\0') != std::string::npos) {
    LOG_WARNING_LIMITED(
        "SET of cell 0x%08x: string value of %zu bytes holds a NUL byte at %zu, "
        "refused",
        req.oid, req.str.size(), req.str.find('\0'));
    resp.status = MALFORMED;
    return;
  }
  if (icscoid::isEvent(req.oid)) {
    serveEvent(op, req, resp);
    return;
  }
  if (icscoid::isCommon(req.oid)) {
    serveCommon(op, req, resp);
    return;
  }
  IcscObject* obj = icscoid::isObject(req.oid) ? findObject(icscoid::objectId(req.oid)) : nullptr;
  if (obj == nullptr) {
    resp.status = NO_SUCH_OBJECT;
    return;
  }
  serveObject(op, *obj, icscoid::objectColumn(req.oid), icscoid::objectRow(req.oid), req, resp);
}

void IcscProtocolBase::serveEvent(uint8_t op, const ICSCTlv& req, ICSCTlv& resp) {
  if (m_card == nullptr) {
    resp.status = NO_SUCH_OBJECT;
    return;
  }
  if (op == SET) {
    // Only "HK Init" (table 0, column 0) is writable; nothing on this card
    // acts on it.
    if (!m_card->isValidEventTableOid(req.oid))
      resp.status = NO_SUCH_COLUMN;
    else if (icscoid::eventTable(req.oid) != 0)
      resp.status = READ_ONLY;
    else if (req.type != IcscType::BOOL)
      resp.status = WRONG_TYPE;
    return;
  }
  if (!m_card->handleTableObjects(&req, 0, &resp)) {
    resp.oid = req.oid;
    resp.clearValue();
    resp.status = NOT_SERVED;
  }
}

void IcscProtocolBase::serveObject(uint8_t op, IcscObject& obj, unsigned column, unsigned row,
                                   const ICSCTlv& req, ICSCTlv& resp) {
  IcscProperty* prop = obj.getProp(column);
  if (prop == nullptr) {
    resp.status = NO_SUCH_COLUMN;
    return;
  }
  if (row >= obj.getRowCount()) {
    resp.status = ROW_OUT_OF_RANGE;
    return;
  }
  prop->selectRow(row);
  if (op == SET) {
    if (req.type != prop->type()) {
      resp.status = WRONG_TYPE;
      return;
    }
    if (req.type == IcscType::STRING)
      prop->setValueAt(row, req.str);
    else
      prop->setValueAt(row, req.num);
    if (!obj.updated(prop, row)) {
      resp.status = prop->desc().access == IcscAccess::RO ? READ_ONLY : NOT_SERVED;
      return;
    }
  } else if (!obj.update(prop, row)) {
    resp.status = NOT_SERVED;
    return;
  }
  resp.type = prop->type();
  if (resp.type == IcscType::STRING)
    prop->getValueAt(row, resp.str);
  else
    prop->getNumber(row, resp.num);
}

void IcscProtocolBase::serveNext(const ICSCTlv& req, ICSCTlv& resp) {
  // Object cells, then common cells, then event cells; an OID of no kind
  // starts at the first object cell.
  bool found = false;
  if (icscoid::isEvent(req.oid)) {
    found = nextEvent(req.oid, resp);
  } else if (icscoid::isCommon(req.oid)) {
    found = nextCommon(req.oid, resp) || nextEvent(0, resp);
  } else {
    found = nextObject(req, resp) || nextCommon(0, resp) || nextEvent(0, resp);
  }
  if (!found) {
    resp.oid = req.oid;
    resp.clearValue();
    resp.status = END_OF_OBJECTS;
  }
}

bool IcscProtocolBase::nextObject(const ICSCTlv& req, ICSCTlv& resp) {
  unsigned id = 0, row = 0, column = 0;
  if (icscoid::isObject(req.oid)) {
    id = icscoid::objectId(req.oid);
    row = icscoid::objectRow(req.oid);
    column = icscoid::objectColumn(req.oid) + 1;
  }
  for (; id <= icscoid::MAX_OBJECT_ID; ++id, row = 0, column = 0) {
    IcscObject* obj = m_objects[id];
    if (obj == nullptr || obj->getColumnCount() == 0)
      continue;
    if (column >= obj->getColumnCount()) {
      column = 0;
      ++row;
    }
    if (row >= obj->getRowCount())
      continue;
    resp.oid = obj->getOID(column, row);
    serveObject(GET, *obj, column, row, req, resp);
    return true;
  }
  return false;
}

// Event cells in table, column order; the card says which exist (row 0
// only). `oid` 0 (not an event cell) starts before the first.
bool IcscProtocolBase::nextEvent(uint32_t oid, ICSCTlv& resp) {
  if (m_card == nullptr)
    return false;
  unsigned table = 0, column = 0;
  if (icscoid::isEvent(oid)) {
    table = icscoid::eventTable(oid);
    column = icscoid::eventColumn(oid) + 1;
  }
  for (; table <= 0x3F; ++table, column = 0) {
    if (m_card->getEventTableDescriptors(icscoid::event(table, 0, 0)) == nullptr)
      continue;
    for (; column <= 0xFF; ++column) {
      uint32_t cell = icscoid::event(table, column, 0);
      if (!m_card->isValidEventTableOid(cell))
        break;
      ICSCTlv req;
      req.oid = cell;
      resp.status = OK;
      resp.clearValue();
      serveEvent(GET, req, resp);
      resp.oid = cell;
      return true;
    }
  }
  return false;
}

void IcscProtocolBase::serveCommon(uint8_t, const ICSCTlv&, ICSCTlv& resp) {
  resp.status = NO_SUCH_OBJECT;
}

bool IcscProtocolBase::nextCommon(uint32_t, ICSCTlv&) {
  return false;
}

void IcscProtocolIfc::serveCommon(uint8_t op, const ICSCTlv& req, ICSCTlv& resp) {
  if (m_common == nullptr) {
    IcscProtocolBase::serveCommon(op, req, resp);
    return;
  }
  m_common->serve(op, req, resp);
}

bool IcscProtocolIfc::nextCommon(uint32_t oid, ICSCTlv& resp) {
  return m_common != nullptr && m_common->next(oid, resp);
}

IcscProtocolIfc::IcscProtocolIfc(commonStatCtrl* common, ICardObjects* card)
    : IcscProtocolIfc(common, card, nullptr) {}

IcscProtocolIfc::IcscProtocolIfc(commonStatCtrl* common, ICardObjects* card, IcscResponseSink* sink)
    : IcscProtocolBase(card, sink), m_common(common) {
  if (sink == nullptr) {
    m_ownSink = std::make_unique<IcscUdpQueueSink>();
    setSink(m_ownSink.get());
  }
  if (card != nullptr)
    card->registerObjects(this);
}

IcscProtocolIfc::~IcscProtocolIfc() = default;
