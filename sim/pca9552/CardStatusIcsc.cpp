#include "CardStatusIcsc.h"

#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscClient.h"
#include "icsc/IcscOid.h"

namespace {

// More than any card registers; cells past the last answer "row out of range".
constexpr unsigned kMaxHwErrors = 16;

}  // namespace

CardStatus queryCardStatus(const std::string& host, int port, int timeoutMs) {
  using namespace icscwire;
  CardStatus status;
  std::vector<ICSCTlv> cells(1 + 2 * kMaxHwErrors);
  cells[0].oid = icscoid::common(commonStatCtrl::CO_CARD_STATE, commonrec::CARDSTATE_NAME, 0);
  for (unsigned i = 0; i < kMaxHwErrors; ++i) {
    cells[1 + 2 * i].oid = icscoid::common(commonStatCtrl::CO_HW_ERROR, commonrec::ERR_NAME, i);
    cells[2 + 2 * i].oid = icscoid::common(commonStatCtrl::CO_HW_ERROR, commonrec::ERR_ACTIVE, i);
  }
  IcscClient client;
  Header h;
  std::vector<ICSCTlv> out;
  if (!client.open(host, port) ||
      client.call(GET, cells, timeoutMs, h, out) != IcscClient::Result::ANSWERED ||
      out.size() != cells.size())
    return status;
  if (out[0].status == OK)
    status.state = out[0].str;
  for (unsigned i = 0; i < kMaxHwErrors; ++i) {
    const ICSCTlv& name = out[1 + 2 * i];
    const ICSCTlv& active = out[2 + 2 * i];
    if (name.status == OK && active.status == OK && active.num != 0)
      status.alarms.push_back(name.str);
  }
  return status;
}
