// Mapping rows of the per-port line and dialing tables. The first index is
// the row (the line, or the impedance command entry); PortConfigurationTable
// takes 0 as second index, the others -1.
#pragma once

#include "mappings/MappingRow.h"

namespace mapping {

// clang-format off
constexpr MappingRow kPortConfigurationTableRows[] = {
  {0, "OBJ_PORTCONFIGURATION_IPBXLINEENABLE", "ipbx_line_enable_", Codec::BOOL, IndexRule::ROW_ZERO},
  {1, "OBJ_PORTCONFIGURATION_IPBXLINENUMBER", "ipbx_line_number", Codec::STRING, IndexRule::ROW_ZERO},
  {2, "OBJ_PORTCONFIGURATION_IPBXLINENAME", "ipbx_line_name", Codec::STRING, IndexRule::ROW_ZERO},
};

constexpr MappingRow kOperatingModeTableRows[] = {
  {0, "OBJ_OPERATINGMODE_IPBXMODE", "ipbx_mode", Codec::U8, IndexRule::ROW},
  {1, "OBJ_OPERATINGMODE_IPBXVOIPPRIMARYPROVIDERUNAVAILABLE", "ipbx_voip_primary_provider_unavailable", Codec::U8, IndexRule::ROW},
  {2, "OBJ_OPERATINGMODE_IPBXVOIPNOPROVIDERAVAILABLE", "ipbx_voip_no_provider_available", Codec::U8, IndexRule::ROW},
  {3, "OBJ_OPERATINGMODE_IPBXPSTNNOTAVAILABLE", "ipbx_pstn_not_available", Codec::U8, IndexRule::ROW},
  {4, "OBJ_OPERATINGMODE_IPBXDIALDIRECT", "ipbx_dial_direct", Codec::U8, IndexRule::ROW},
  {5, "OBJ_OPERATINGMODE_IPBXDIALAFTER8", "ipbx_dial_after_8", Codec::U8, IndexRule::ROW},
  {6, "OBJ_OPERATINGMODE_IPBXDIALAFTER9", "ipbx_dial_after_9", Codec::U8, IndexRule::ROW},
  {7, "OBJ_OPERATINGMODE_IPBXDIALAFTERPOUND8", "ipbx_dial_after_pound_8", Codec::U8, IndexRule::ROW},
  {8, "OBJ_OPERATINGMODE_IPBXDIALAFTERPOUND9", "ipbx_dial_after_pound_9", Codec::U8, IndexRule::ROW},
  {9, "OBJ_OPERATINGMODE_IPBXDIALSPEEDDIAL", "ipbx_dial_speed_dial", Codec::U8, IndexRule::ROW},
  {10, "OBJ_OPERATINGMODE_IPBXINPUTPATTERNVOIP", "ipbx_input_pattern_voip", Codec::STRING, IndexRule::ROW},
  {11, "OBJ_OPERATINGMODE_IPBXINPUTPATTERNPSTN", "ipbx_input_pattern_pstn", Codec::STRING, IndexRule::ROW},
  {12, "OBJ_OPERATINGMODE_IPBXHOTLINEDIALING", "ipbx_hot_line_dialing", Codec::BOOL, IndexRule::ROW},
  {13, "OBJ_OPERATINGMODE_IPBXWARMLINEDIALING", "ipbx_warm_line_dialing", Codec::BOOL, IndexRule::ROW},
  {14, "OBJ_OPERATINGMODE_IPBXHOTWARMDIALSTRING", "ipbx_hot_warm_dial_string", Codec::STRING, IndexRule::ROW},
  {15, "OBJ_OPERATINGMODE_IPBXPARTYLINEENABLE", "ipbx_party_line_enable", Codec::BOOL, IndexRule::ROW},
  {16, "OBJ_OPERATINGMODE_IPBXPOLARITYDIALING", "ipbx_polarity_dialing", Codec::BOOL, IndexRule::ROW},
  {17, "OBJ_OPERATINGMODE_IPBXPOLARITYDIALDONE", "ipbx_polarity_dial_done", Codec::BOOL, IndexRule::ROW},
  {18, "OBJ_OPERATINGMODE_IPBXPOLARITYCONNECT", "ipbx_polarity_connect", Codec::BOOL, IndexRule::ROW},
  {19, "OBJ_OPERATINGMODE_IPBXPOLARITYANSWER", "ipbx_polarity_answer", Codec::BOOL, IndexRule::ROW},
  {20, "OBJ_OPERATINGMODE_IPBXPOLARITYIDLE", "ipbx_polarity_idle", Codec::BOOL, IndexRule::ROW},
  {21, "OBJ_OPERATINGMODE_IPBXVOIPALTERNATIVEPROVIDERAVAILABLE", "ipbx_voip_alternative_provider_available", Codec::U8, IndexRule::ROW},
};

constexpr MappingRow kSlacImpedanceCommandsTableRows[] = {
  {0, "OBJ_SLACIMPEDANCECOMMANDS_SLACIMPEDANCECOMMANDS", "slac_impedance_commands_", Codec::STRING, IndexRule::ROW},
};
// clang-format on

constexpr MappingTable kPortConfigurationTableMapping =
    makeTable("PortConfigurationTable", kPortConfigurationTableRows);
constexpr MappingTable kOperatingModeTableMapping =
    makeTable("OperatingModeTable", kOperatingModeTableRows);
constexpr MappingTable kSlacImpedanceCommandsTableMapping =
    makeTable("SlacImpedanceCommandsTable", kSlacImpedanceCommandsTableRows);

}  // namespace mapping
