#include "CellCheck.h"

namespace cellcheck {

bool rowInRange(const Site& at, const char* className, unsigned row, unsigned rowCount) {
  if (row < rowCount)
    return true;
  CELL_LOG_ERROR(at, "%s: Out of range: row=%d, expected=[0..%d]", className, static_cast<int>(row),
                 static_cast<int>(rowCount) - 1);
  return false;
}

bool cellValid(const Site& at, const char* className, unsigned row, unsigned rowCount,
               const IcscProperty* prop) {
  return rowInRange(at, className, row, rowCount) && prop != nullptr;
}

void invalidColumn(const Site& at, const char* className, unsigned column) {
  CELL_LOG_ERROR(at, "%s: Invalid column [%d]", className, static_cast<int>(column));
}

}  // namespace cellcheck
