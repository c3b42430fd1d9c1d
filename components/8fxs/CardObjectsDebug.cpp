#include "CardObjectsDebug.h"

#include <cstring>

#include "CardObjects.h"

namespace {

using TableOf = IcscTable* (*)(CardObjects&);
using ScalarOf = IcscScalar* (*)(CardObjects&);

// Dump ids are the engineers' numbering, not the registration order: the
// network tables sit at 50..53, leaving 27..49 empty.
#define FXS_DUMP_TABLES(X)                 \
  X(0, m_accountTableExt)                  \
  X(1, m_voipProviderDefaultsTable)        \
  X(2, m_accountStatusTable)               \
  X(3, m_sipServerConfigurationTable)      \
  X(4, m_ipbxHookflashTable)               \
  X(5, m_slacImpedanceCommandsTable)       \
  X(6, m_subscriptionServiceSettingsTable) \
  X(7, m_portConfigurationTable)           \
  X(8, m_operatingModeTable)               \
  X(9, m_speedDialsTable)                  \
  X(10, m_ipbxDialPublicExtSipTable)       \
  X(11, m_ipbxDialPublicExtRtpTable)       \
  X(12, m_callForwardingTable)             \
  X(13, m_callForwardListTable)            \
  X(14, m_distinctiveRingListTable)        \
  X(15, m_distinctiveRingingTable)         \
  X(16, m_doNotDisturbTable)               \
  X(17, m_ipbxDisturbAcceptListTable)      \
  X(18, m_callBlockingTable)               \
  X(19, m_callBlockingListTable)           \
  X(20, m_outgoingBlockTable)              \
  X(21, m_outgoingBlockListTable)          \
  X(22, m_callerWaitingCallerIdTable)      \
  X(23, m_messageWaitingTable)             \
  X(24, m_featuresCodesTable)              \
  X(25, m_incomingCallHistoryStatusTable)  \
  X(26, m_vocalAlarmStatusTable)           \
  X(50, m_ifmNetworkLinkConfigTable)       \
  X(51, m_ifmNetworkLinkStatusTable)       \
  X(52, m_ifmNetworkRouteConfigTable)      \
  X(53, m_ifmNetworkRouteStatusTable)

#define FXS_DUMP_SCALARS(X)                     \
  X(0, m_systemScalar)                          \
  X(1, m_systemStatusScalar)                    \
  X(2, m_audioSettingsScalar)                   \
  X(3, m_rtpProtocolScalar)                     \
  X(4, m_sdpProtocolScalar)                     \
  X(5, m_sdpAudioCodecScalar)                   \
  X(6, m_sdpAudioCodecDynamicCodeScalar)        \
  X(7, m_sipProtocolScalar)                     \
  X(8, m_sipResponseCodeScalar)                 \
  X(9, m_sipProtocolTimersScalar)               \
  X(10, m_voiceAndToneParametersScalar)         \
  X(11, m_timersScalar)                         \
  X(12, m_otherScalar)                          \
  X(13, m_callProgressTonesScalar)              \
  X(14, m_standardRingingPatternsScalar)        \
  X(15, m_distinctiveRingingPatternsScalar)     \
  X(16, m_distinctiveCallWaitingPatternsScalar) \
  X(17, m_slacConfigurationScalar)              \
  X(18, m_netStatusScalar)

}  // namespace

// Friend of CardObjects: the one place that maps dump ids onto its members.
struct CardObjectsDumpIds {
  struct TableRow {
    long id;
    TableOf object;
  };
  struct ScalarRow {
    long id;
    ScalarOf object;
  };
#define FXS_TABLE_ROW(id, member) {id, [](CardObjects& c) -> IcscTable* { return &c.member; }},
#define FXS_SCALAR_ROW(id, member) {id, [](CardObjects& c) -> IcscScalar* { return &c.member; }},
  static constexpr TableRow kTables[] = {FXS_DUMP_TABLES(FXS_TABLE_ROW)};
  static constexpr ScalarRow kScalars[] = {FXS_DUMP_SCALARS(FXS_SCALAR_ROW)};
#undef FXS_TABLE_ROW
#undef FXS_SCALAR_ROW
};

CardObjectsDebug::CardObjectsDebug(CardObjects* registry)
    : Odebug::Cdebugable("card"), m_dbgDump(this, registry) {}

CardObjectsDebug::~CardObjectsDebug() = default;

IcscTable* CardObjectsDebug::tableById(CardObjects& registry, long id) {
  for (const auto& row : CardObjectsDumpIds::kTables) {
    if (row.id == id)
      return row.object(registry);
  }
  return nullptr;
}

IcscScalar* CardObjectsDebug::scalarById(CardObjects& registry, long id) {
  for (const auto& row : CardObjectsDumpIds::kScalars) {
    if (row.id == id)
      return row.object(registry);
  }
  return nullptr;
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
