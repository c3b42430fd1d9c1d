// The checks every ICSC object callback of the card starts with, and the
// lines they log, written once. The lines carry the caller's file, line and
// function (CELL_SITE), so they name the object's own callback.
#pragma once

#include "icsc/IcscProperty.h"
#include "trace/TraceObject.h"

namespace cellcheck {

struct Site {
  const char* file;
  int line;
  const char* func;
};

// The row is below the row count; otherwise logs "Out of range".
bool rowInRange(const Site& at, const char* className, unsigned row, unsigned rowCount);
// rowInRange, then a property to act on; a null one is refused silently.
bool cellValid(const Site& at, const char* className, unsigned row, unsigned rowCount,
               const IcscProperty* prop);
void invalidColumn(const Site& at, const char* className, unsigned column);

}  // namespace cellcheck

// An ERROR line logged as the site `at`, under the flood limit of the place
// the macro stands.
#define CELL_LOG_ERROR(at, ...) \
  FXS_LOG_AT_(::trace::ERROR_ABOVE, 3, "ERROR", (at).file, (at).line, (at).func, __VA_ARGS__)
#define CELL_SITE (::cellcheck::Site{::trace::baseName(__FILE__), __LINE__, __func__})
