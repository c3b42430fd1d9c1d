#include "vocalAlarmStatusTable.h"

#include "CardObjects.h"
#include "CellCheck.h"
#include "trace/TraceObject.h"

VocalAlarmStatusTable::VocalAlarmStatusTable(CardObjects* card)
    : VocalAlarmStatusTableBase(ROWS), m_card(card) {}

bool VocalAlarmStatusTable::update(IcscProperty* prop, unsigned row) {
  if (!cellcheck::rowInRange(CELL_SITE, getName(), row, ROWS))
    return false;
  uint32_t word = m_card != nullptr ? m_card->getVocalAlarm() : 0;
  LOG_DEBUG1("vocal alarm = %d", static_cast<int>(word & 0xFFFF));
  if (prop == nullptr)
    return false;
  unsigned column = prop->getPropertyId();
  if (column >= ALARM_BITS) {
    cellcheck::invalidColumn(CELL_SITE, getName(), column);
    return false;
  }
  // Every row shows the same word.
  prop->selectRow(row);
  prop->setValue(((word >> column) & 1u) != 0);
  return true;
}
