// The one card object whose values come from the registry rather than from
// velmora: the nine alarm bits of the telephony engine's port status word.
#pragma once

#include "icsc/IcscGeneratedBases.h"

class CardObjects;

class VocalAlarmStatusTable : public VocalAlarmStatusTableBase {
 public:
  static constexpr unsigned ROWS = 32;
  static constexpr unsigned ALARM_BITS = 9;

  explicit VocalAlarmStatusTable(CardObjects* card);
  bool update(IcscProperty* prop, unsigned row) override;

 private:
  CardObjects* m_card;
};
