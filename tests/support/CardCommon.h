// The common objects sized as the card builds them.
#pragma once

#include "Ifc.h"
#include "common/commonStatCtrl.h"

namespace testsupport {

class CardCommon : public commonStatCtrl {
 public:
  // `engine` (may be null) is owned from here on, as on the card.
  explicit CardCommon(CGetLogEngine* engine = nullptr, ICardObjects* card = nullptr)
      : commonStatCtrl("commonStatCtrl", Ifc::kCardType, card, Ifc::kNbrTempSensors,
                       Ifc::kNbrVoltageSensors, Ifc::kNbrHwErrors, Ifc::kNbrOperErrors, engine) {}
};

}  // namespace testsupport
