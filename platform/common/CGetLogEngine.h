// Log-collection engine handed to commonStatCtrl. The card supplies the
// cardPrepareLog hook; run() is what the chassis' "get log" request triggers.
#pragma once

class CGetLogEngine {
 public:
  virtual ~CGetLogEngine() = default;
  // Prepares the card's files; gathering and transferring them is not done
  // on the bench, so run() reports the hook's result.
  virtual int run() { return cardPrepareLog(); }
  virtual int cardPrepareLog() = 0;
};
