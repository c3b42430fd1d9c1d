#include "CardObjects.h"

#include "icsc/IcscOid.h"
#include "icsc/IcscProtocol.h"
#include "ledInterface.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"

namespace {

// Highest column of each event table; every cell is in row 0.
constexpr unsigned kEventLastColumn[CardObjects::EVENT_TABLES] = {0, 10, 6, 0};
// Answer of getEventTableProperties.
constexpr uint32_t kEventTableProperties[3] = {0xFFFFFFFFu, 0, 0};

bool activeError(const errMon& mon, const char* name) {
  bool active = false;
  if (!mon.getActive(name, active))
    return false;
  return active;
}

}  // namespace

CardObjects::CardObjects() : CardObjectsDebug(this), VelmDebug(this) {}

CardObjects::~CardObjects() = default;

std::vector<IcscObject*> CardObjects::objects() {
#define FXS_VELM_OBJECT_(Class, member, dumpId) &(member),
#define FXS_OWN_OBJECT_(Class, member, dumpId, args) &(member),
  return {FXS_CARD_OBJECTS(FXS_VELM_OBJECT_, FXS_OWN_OBJECT_)};
#undef FXS_VELM_OBJECT_
#undef FXS_OWN_OBJECT_
}

void CardObjects::registerObjects(IcscProtocolIfc* icsc) {
  LOG_DEBUG1("Register all icsc objects");
  if (icsc == nullptr)
    return;
  // The descriptions are in registration order; the objects in
  // construction order.
  std::vector<IcscObject*> all = objects();
  for (size_t d = 0; d < icscdesc::count(); ++d) {
    for (IcscObject* o : all) {
      if (o->getObjectId() == icscdesc::all()[d]->id)
        icsc->registerObject(o);
    }
  }
}

bool CardObjects::handleTableObjects(const ICSCTlv* request, unsigned, ICSCTlv* response) {
  if (request == nullptr || response == nullptr)
    return false;
  response->oid = request->oid;
  uint32_t oid = request->oid;
  if (!icscoid::isEvent(oid)) {
    LOG_ERROR_LIMITED("Error in retreiving table pars\n");
    return false;
  }
  unsigned table = icscoid::eventTable(oid);
  unsigned column = icscoid::eventColumn(oid);
  unsigned row = icscoid::eventRow(oid);
  switch (table) {
    case 0:
    case 2:
      return true;
    case 1:
      return get_status_tempsensor(response, column, row);
    case 3:
      return get_status_leds(response, column, row);
    default:
      LOG_WARNING_LIMITED("Illegal table index %d\n", static_cast<int>(table));
      return false;
  }
}

bool CardObjects::get_status_tempsensor(ICSCTlv* response, unsigned column, unsigned row) {
  if (row != 0) {
    LOG_WARNING_LIMITED("status tempsensor: Illegal row index %d\n", static_cast<int>(row));
    return false;
  }
  if (column == 0) {
    response->setValue(static_cast<int>(m_temperatures[4].temperature));
  } else if (column <= 4) {
    response->setValue(static_cast<int>(m_temperatures[column - 1].temperature));
  } else if (column == 5) {
    response->setValue(activeError(m_hwErrMon, "MAX6602 TempSensor"));
  } else if (column == 6) {
    response->setValue(!m_temperatures[4].statusOk);
  } else if (column <= 10) {
    response->setValue(!m_temperatures[column - 7].statusOk);
  } else {
    LOG_WARNING_LIMITED("get_status_tempsensor: Illegal column index %d\n",
                        static_cast<int>(column));
    return false;
  }
  return true;
}

bool CardObjects::get_status_leds(ICSCTlv* response, unsigned column, unsigned row) {
  if (row != 0) {
    LOG_WARNING_LIMITED("status leds: Illegal row index %d\n", static_cast<int>(row));
    return false;
  }
  if (column != 0) {
    LOG_ERROR_LIMITED("Illegal column index %d\n", static_cast<int>(column));
    return false;
  }
  response->setValue(activeError(m_hwErrMon, "ADS1000 ADC"));
  return true;
}

bool CardObjects::isReady() {
  return true;
}

const CommonPropertyDescriptor* CardObjects::getEventTableDescriptors(uint32_t oid) {
  if (!icscoid::isEvent(oid))
    return nullptr;
  unsigned table = icscoid::eventTable(oid);
  if (table >= EVENT_TABLES)
    return nullptr;
  return commondesc::eventTable(table).records;
}

bool CardObjects::isValidEventTableOid(uint32_t oid) {
  if (!icscoid::isEvent(oid) || icscoid::eventBit28(oid))
    return false;
  unsigned table = icscoid::eventTable(oid);
  return table < EVENT_TABLES && icscoid::eventRow(oid) == 0 &&
         icscoid::eventColumn(oid) <= kEventLastColumn[table];
}

const uint32_t* CardObjects::getEventTableProperties() {
  return kEventTableProperties;
}

bool CardObjects::setBpClkReference(uint32_t) {
  LOG_ERROR("does not support syncE");
  return false;
}

uint32_t CardObjects::getBpClkReference() {
  LOG_ERROR("does not support syncE");
  return 255;
}

bool CardObjects::allDataValid() {
  if (m_all_data_valid)
    return true;
  m_all_data_valid =
      m_max6602StatusValid && m_adcStatusValid && m_pca9552StatusValid && m_pwrmonStatusValid > 0;
  return m_all_data_valid;
}

bool CardObjects::switchOffCardLeds(LedInterface& leds) {
  leds.ledOff(0);
  leds.ledOff(1);
  return true;
}

void CardObjects::dumpMembers(std::ostream& os) const {
  os << std::boolalpha;
  os << "g_traceObject      = " << static_cast<const void*>(g_traceObject) << "\n";
  os << "m_all_data_valid   = " << m_all_data_valid << "\n";
  os << "  m_max6602StatusValid        = " << m_max6602StatusValid << "\n";
  os << "  m_adcStatusValid            = " << m_adcStatusValid << "\n";
  os << "  m_ntrStatusValid            = " << m_ntrStatusValid << "\n";
  os << "  m_pca9552StatusValid        = " << m_pca9552StatusValid << "\n";
  os << "  m_pwrmonStatusValid         = " << (m_pwrmonStatusValid > 0) << "\n";
  os << std::noboolalpha;
}
