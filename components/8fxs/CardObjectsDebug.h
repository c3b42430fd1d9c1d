// Console group "card": "dump" prints the current property values of one
// ICSC object of the card, chosen by a small table or scalar id. A base of
// the card object registry, which it reads without a lock.
#pragma once

#include <sstream>

#include "debug/Odebug.h"

class CardObjects;
class IcscScalar;
class IcscTable;

class CardObjectsDebug : public Odebug::Cdebugable {
 public:
  // `registry` is only stored: the registry is still being built.
  explicit CardObjectsDebug(CardObjects* registry);
  ~CardObjectsDebug() override;

  // The object behind a dump id, or null for an id without one.
  static IcscTable* tableById(CardObjects& registry, long id);
  static IcscScalar* scalarById(CardObjects& registry, long id);

  class DbgCardObjectsDump : public Odebug::CdebugCommand {
   public:
    DbgCardObjectsDump(Odebug::Cdebugable* group, void* context);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };

 private:
  DbgCardObjectsDump m_dbgDump;
};
