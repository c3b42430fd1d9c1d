// What the protocol engine needs from the card: the event tables it answers
// itself and the registration of the card's objects.
#pragma once

#include <cstdint>

struct ICSCTlv;
struct CommonPropertyDescriptor;
class IcscProtocolIfc;

class ICardObjects {
 public:
  virtual ~ICardObjects() = default;
  // Answers one event table cell; the second argument is not used.
  virtual bool handleTableObjects(const ICSCTlv* request, unsigned, ICSCTlv* response) = 0;
  virtual bool isReady() = 0;
  virtual const CommonPropertyDescriptor* getEventTableDescriptors(uint32_t oid) = 0;
  virtual bool isValidEventTableOid(uint32_t oid) = 0;
  virtual const uint32_t* getEventTableProperties() { return nullptr; }
  virtual void registerObjects(IcscProtocolIfc*) {}
  virtual bool setBpClkReference(uint32_t value) = 0;
  virtual uint32_t getBpClkReference() = 0;
};
