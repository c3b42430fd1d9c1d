#include "CardObjectsDebug.h"

#include <cstring>

#include "CardObjects.h"

// Friend of CardObjects: the dump ids of its object list.
struct CardObjectsDumpIds {
  struct Row {
    long id;
    IcscObject* (*object)(CardObjects&);
  };
#define FXS_VELM_ROW_(Class, member, dumpId) \
  {dumpId, [](CardObjects& c) -> IcscObject* { return &c.member; }},
#define FXS_OWN_ROW_(Class, member, dumpId, args) FXS_VELM_ROW_(Class, member, dumpId)
  static constexpr Row kRows[] = {FXS_CARD_OBJECTS(FXS_VELM_ROW_, FXS_OWN_ROW_)};
#undef FXS_VELM_ROW_
#undef FXS_OWN_ROW_

  // The object of dump id `id` among the tables (T = IcscTable) or the
  // scalars (T = IcscScalar).
  template <class T>
  static T* find(CardObjects& registry, long id) {
    for (const Row& row : kRows) {
      T* object = row.id == id ? dynamic_cast<T*>(row.object(registry)) : nullptr;
      if (object != nullptr)
        return object;
    }
    return nullptr;
  }
};

CardObjectsDebug::CardObjectsDebug(CardObjects* registry)
    : Odebug::Cdebugable("card"), m_dbgDump(this, registry) {}

CardObjectsDebug::~CardObjectsDebug() = default;

IcscTable* CardObjectsDebug::tableById(CardObjects& registry, long id) {
  return CardObjectsDumpIds::find<IcscTable>(registry, id);
}

IcscScalar* CardObjectsDebug::scalarById(CardObjects& registry, long id) {
  return CardObjectsDumpIds::find<IcscScalar>(registry, id);
}

CardObjectsDebug::DbgCardObjectsDump::DbgCardObjectsDump(Odebug::Cdebugable* group, void* context)
    : Odebug::CdebugCommand(group, "dump", 2, 3, context) {}

void CardObjectsDebug::DbgCardObjectsDump::command(unsigned argc, char* const* argv,
                                                   std::ostringstream& os, void* context) {
  if (argc < 2)
    return;
  const char* kind = argv[0];
  bool isTable = std::strcmp(kind, "table") == 0;
  if (!isTable && std::strcmp(kind, "scalar") != 0) {
    os << "Invalid parameter - Expected = (table|scalar), received = " << kind << "\n";
    return;
  }
  long id = Odebug::numberArg(argv[1]);
  long row = argc > 2 ? Odebug::numberArg(argv[2]) : -1;
  if (context == nullptr) {
    os << "CardObjects object not allocated\n";
    return;
  }
  CardObjects& registry = *static_cast<CardObjects*>(context);
  if (isTable) {
    IcscTable* table = tableById(registry, id);
    if (table == nullptr)
      os << "Unknown table id\n";
    else if (row != -1)
      os << table->str(static_cast<int>(row), 1);
    else
      os << table->str(0, 0);
    return;
  }
  IcscScalar* scalar = scalarById(registry, id);
  if (scalar == nullptr)
    os << "Unknown scalar id\n";
  else
    os << scalar->str(0, 0);
}

void CardObjectsDebug::DbgCardObjectsDump::help(std::ostringstream& os) {
  os << "Command dump\n"
     << "Dump properties\n"
     << "\n"
     << "Syntax:\n"
     << "dump table <tableid> [row]\n"
     << "dump scalar <scalarid>\n";
}
