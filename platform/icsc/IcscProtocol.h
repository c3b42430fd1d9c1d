// The ICSC protocol engine. The controller hands it each request received
// from the chassis controller (handleIcscMsg) and ticks it once a second
// (eventHandler); it answers through its response sink. Object cells are
// served by the registered objects (update before a read, updated after a
// write); event-table cells by ICardObjects; common card object cells by
// the common status holder (IcscProtocolIfc). NEXT walks object cells, then
// common cells, then event cells.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "icsc/ICSCTlv.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

class IcscObject;
class ICardObjects;
class commonStatCtrl;

// Carries an encoded answer back to the sender (address text, message).
class IcscResponseSink {
 public:
  virtual ~IcscResponseSink() = default;
  virtual bool sendResponse(std::string_view senderIp, const uint8_t* data, size_t len) = 0;
};

class IcscProtocolBase {
 public:
  IcscProtocolBase(ICardObjects* card, IcscResponseSink* sink);
  virtual ~IcscProtocolBase();
  IcscProtocolBase(const IcscProtocolBase&) = delete;
  IcscProtocolBase& operator=(const IcscProtocolBase&) = delete;

  // Once per object at start-up; ids must be unique and below 64.
  void registerObject(IcscObject* obj);
  // Serves one message and sends the answer. `senderIp` is the address text
  // of the queue message: at most 15 characters, terminated when shorter.
  // Returns 1 when an answer was sent, 0 when there was none to send or
  // sending failed.
  int handleIcscMsg(int len, const char* msg, const char* senderIp);
  // The one-second tick.
  virtual void eventHandler();

  IcscObject* findObject(uint32_t id) const;
  size_t objectCount() const { return m_objectCount; }
  uint64_t requestCount() const { return m_requests; }
  uint64_t rejectedCount() const { return m_rejected; }
  uint64_t tickCount() const { return m_ticks; }

 protected:
  void setSink(IcscResponseSink* sink) { m_sink = sink; }
  // Common card object cells; without a holder there are none.
  virtual void serveCommon(uint8_t op, const ICSCTlv& req, ICSCTlv& resp);
  virtual bool nextCommon(uint32_t oid, ICSCTlv& resp);

 private:
  void serveCell(uint8_t op, const ICSCTlv& req, ICSCTlv& resp);
  void serveEvent(uint8_t op, const ICSCTlv& req, ICSCTlv& resp);
  void serveObject(uint8_t op, IcscObject& obj, unsigned column, unsigned row, const ICSCTlv& req,
                   ICSCTlv& resp);
  void serveNext(const ICSCTlv& req, ICSCTlv& resp);
  bool nextObject(const ICSCTlv& req, ICSCTlv& resp);
  bool nextEvent(uint32_t oid, ICSCTlv& resp);
  int answer(std::string_view ip, const icscwire::Header& h, const ICSCTlv* cells, size_t n);

  ICardObjects* m_card;
  IcscResponseSink* m_sink;
  std::array<IcscObject*, icscoid::MAX_OBJECT_ID + 1> m_objects{};
  size_t m_objectCount = 0;
  std::vector<ICSCTlv> m_req;
  std::vector<ICSCTlv> m_resp;
  std::vector<uint8_t> m_out;
  uint64_t m_requests = 0;
  uint64_t m_rejected = 0;
  uint64_t m_ticks = 0;
};

// The card's engine: answers go to the UDP front end over "/queueToUdp"
// unless a sink is given. Registers the card's objects at construction.
class IcscProtocolIfc : public IcscProtocolBase {
 public:
  IcscProtocolIfc(commonStatCtrl* common, ICardObjects* card);
  IcscProtocolIfc(commonStatCtrl* common, ICardObjects* card, IcscResponseSink* sink);
  ~IcscProtocolIfc() override;

  commonStatCtrl* common() const { return m_common; }
  // Also ticks the common status holder (the software download).
  void eventHandler() override;

 protected:
  void serveCommon(uint8_t op, const ICSCTlv& req, ICSCTlv& resp) override;
  bool nextCommon(uint32_t oid, ICSCTlv& resp) override;

 private:
  commonStatCtrl* m_common;
  std::unique_ptr<IcscResponseSink> m_ownSink;
};
