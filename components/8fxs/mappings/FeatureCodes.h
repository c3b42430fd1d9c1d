// Mapping rows of the feature codes of each line: unsigned 8-bit codes at
// (line, -1). The column order is velmora's, not alphabetical.
#pragma once

#include "mappings/MappingRow.h"

namespace mapping {

// clang-format off
constexpr MappingRow kFeaturesCodesTableRows[] = {
  {0, "OBJ_FEATURESCODES_IPBXFCCALLWAITINGENABLE", "ipbx_fc_call_waiting_enable", Codec::U8, IndexRule::ROW},
  {1, "OBJ_FEATURESCODES_IPBXFCCALLWAITINGDISABLE", "ipbx_fc_call_waiting_disable", Codec::U8, IndexRule::ROW},
  {2, "OBJ_FEATURESCODES_IPBXFCCALLTRACE", "ipbx_fc_call_trace", Codec::U8, IndexRule::ROW},
  {3, "OBJ_FEATURESCODES_IPBXFCCALLWAITINGCALLERIDENABLE", "ipbx_fc_call_waiting_caller_id_enable", Codec::U8, IndexRule::ROW},
  {4, "OBJ_FEATURESCODES_IPBXFCCALLWAITINGCALLERIDDISABLE", "ipbx_fc_call_waiting_caller_id_disable", Codec::U8, IndexRule::ROW},
  {5, "OBJ_FEATURESCODES_IPBXFCBLOCKEDNUMBERENABLE", "ipbx_fc_blocked_number_enable", Codec::U8, IndexRule::ROW},
  {6, "OBJ_FEATURESCODES_IPBXFCDISTINCTIVERINGENABLE", "ipbx_fc_distinctive_ring_enable", Codec::U8, IndexRule::ROW},
  {7, "OBJ_FEATURESCODES_IPBXFCCALLERIDOUTBOUNDDISABLE", "ipbx_fc_caller_id_outbound_disable", Codec::U8, IndexRule::ROW},
  {8, "OBJ_FEATURESCODES_IPBXFCPRIORITYFORWARDENABLE", "ipbx_fc_priority_forward_enable", Codec::U8, IndexRule::ROW},
  {9, "OBJ_FEATURESCODES_IPBXFCDISTURBACCEPTENABLE", "ipbx_fc_disturb_accept_enable", Codec::U8, IndexRule::ROW},
  {10, "OBJ_FEATURESCODES_IPBXFCCALLERIDINBOUNDENABLE", "ipbx_fc_caller_id_inbound_enable", Codec::U8, IndexRule::ROW},
  {11, "OBJ_FEATURESCODES_IPBXFCBUSYNUMBERREDIAL", "ipbx_fc_busy_number_redial", Codec::U8, IndexRule::ROW},
  {12, "OBJ_FEATURESCODES_IPBXFCCALLERIDOUTBOUNDENABLEONCE", "ipbx_fc_caller_id_outbound_enable_once", Codec::U8, IndexRule::ROW},
  {13, "OBJ_FEATURESCODES_IPBXFCCALLERIDOUTBOUNDDISABLEONCE", "ipbx_fc_caller_id_outbound_disable_once", Codec::U8, IndexRule::ROW},
  {14, "OBJ_FEATURESCODES_IPBXFCCALLERREDIAL", "ipbx_fc_caller_redial", Codec::U8, IndexRule::ROW},
  {15, "OBJ_FEATURESCODES_IPBXFCCALLWAITINGDISABLEONCE", "ipbx_fc_call_waiting_disable_once", Codec::U8, IndexRule::ROW},
  {16, "OBJ_FEATURESCODES_IPBXFCCALLWAITINGENABLEONCE", "ipbx_fc_call_waiting_enable_once", Codec::U8, IndexRule::ROW},
  {17, "OBJ_FEATURESCODES_IPBXFCCALLFORWARDENABLE", "ipbx_fc_call_forward_enable", Codec::U8, IndexRule::ROW},
  {18, "OBJ_FEATURESCODES_IPBXFCCALLFORWARDDISABLE", "ipbx_fc_call_forward_disable", Codec::U8, IndexRule::ROW},
  {19, "OBJ_FEATURESCODES_IPBXFCONEDIGITSPEEDDIALPROGRAM", "ipbx_fc_one_digit_speed_dial_program", Codec::U8, IndexRule::ROW},
  {20, "OBJ_FEATURESCODES_IPBXFCTWODIGITSPEEDDIALPROGRAM", "ipbx_fc_two_digit_speed_dial_program", Codec::U8, IndexRule::ROW},
  {21, "OBJ_FEATURESCODES_IPBXFCBLOCKANONYMOUSENABLE", "ipbx_fc_block_anonymous_enable", Codec::U8, IndexRule::ROW},
  {22, "OBJ_FEATURESCODES_IPBXFCDONOTDISTURBENABLE", "ipbx_fc_do_not_disturb_enable", Codec::U8, IndexRule::ROW},
  {23, "OBJ_FEATURESCODES_IPBXFCDONOTDISTURBDISABLE", "ipbx_fc_do_not_disturb_disable", Codec::U8, IndexRule::ROW},
  {24, "OBJ_FEATURESCODES_IPBXFCBLOCKEDNUMBERDISABLE", "ipbx_fc_blocked_number_disable", Codec::U8, IndexRule::ROW},
  {25, "OBJ_FEATURESCODES_IPBXFCDISTINCTIVERINGDISABLE", "ipbx_fc_distinctive_ring_disable", Codec::U8, IndexRule::ROW},
  {26, "OBJ_FEATURESCODES_IPBXFCCALLERIDOUTBOUNDENABLE", "ipbx_fc_caller_id_outbound_enable", Codec::U8, IndexRule::ROW},
  {27, "OBJ_FEATURESCODES_IPBXFCPRIORITYFORWARDDISABLE", "ipbx_fc_priority_forward_disable", Codec::U8, IndexRule::ROW},
  {28, "OBJ_FEATURESCODES_IPBXFCDISTURBACCEPTDISABLE", "ipbx_fc_disturb_accept_disable", Codec::U8, IndexRule::ROW},
  {29, "OBJ_FEATURESCODES_IPBXFCCALLERIDINBOUNDDISABLE", "ipbx_fc_caller_id_inbound_disable", Codec::U8, IndexRule::ROW},
  {30, "OBJ_FEATURESCODES_IPBXFCBUSYNUMBERREDIALCANCEL", "ipbx_fc_busy_number_redial_cancel", Codec::U8, IndexRule::ROW},
  {31, "OBJ_FEATURESCODES_IPBXFCBLOCKANONYMOUSDISABLE", "ipbx_fc_block_anonymous_disable", Codec::U8, IndexRule::ROW},
  {32, "OBJ_FEATURESCODES_IPBXFCHOOKFLASHSIMULATION", "ipbx_fc_hookflash_simulation", Codec::U8, IndexRule::ROW},
  {33, "OBJ_FEATURESCODES_IPBXFCCALLERREDIALCANCEL", "ipbx_fc_caller_redial_cancel", Codec::U8, IndexRule::ROW},
  {34, "OBJ_FEATURESCODES_IPBXFCNOANSWERFORWARDENABLE", "ipbx_fc_no_answer_forward_enable", Codec::U8, IndexRule::ROW},
  {35, "OBJ_FEATURESCODES_IPBXFCNOANSWERFORWARDDISABLE", "ipbx_fc_no_answer_forward_disable", Codec::U8, IndexRule::ROW},
  {36, "OBJ_FEATURESCODES_IPBXFCBUSYFORWARDENABLE", "ipbx_fc_busy_forward_enable", Codec::U8, IndexRule::ROW},
  {37, "OBJ_FEATURESCODES_IPBXFCBUSYFORWARDDISABLE", "ipbx_fc_busy_forward_disable", Codec::U8, IndexRule::ROW},
  {38, "OBJ_FEATURESCODES_IPBXFCOUTGOINGBLOCKENABLE", "ipbx_fc_outgoing_block_enable", Codec::U8, IndexRule::ROW},
  {39, "OBJ_FEATURESCODES_IPBXFCOUTGOINGBLOCKDISABLE", "ipbx_fc_outgoing_block_disable", Codec::U8, IndexRule::ROW},
  {40, "OBJ_FEATURESCODES_IPBXFCUNATTENDEDTRANSFER", "ipbx_fc_unattended_transfer", Codec::U8, IndexRule::ROW},
};
// clang-format on

constexpr MappingTable kFeaturesCodesTableMapping =
    makeTable("FeaturesCodesTable", kFeaturesCodesTableRows);

}  // namespace mapping
