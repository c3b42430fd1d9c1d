// This card's log engine: before the platform packs the log directory it
// commits velmora's configuration and puts a copy of it and velmora's log
// device into that directory.
#pragma once

#include "common/CGetLogEngine.h"

class fxsCGetLogEngine : public CGetLogEngine {
 public:
  ~fxsCGetLogEngine() override;
  // Always 1: whatever failed is logged and the rest still runs.
  int cardPrepareLog() override;
};
