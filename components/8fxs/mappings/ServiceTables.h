// Mapping rows of the per-port calling service tables. Every parameter is
// (line, -1).
#pragma once

#include "mappings/MappingRow.h"

namespace mapping {

// clang-format off
constexpr MappingRow kSubscriptionServiceSettingsTableRows[] = {
  {0, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXCALLWAITINGSERVICE", "ipbx_call_waiting_service", Codec::BOOL, IndexRule::ROW},
  {1, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXCALLERIDINBOUNDSERVICE", "ipbx_caller_id_inbound_service", Codec::BOOL, IndexRule::ROW},
  {2, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXCALLERIDOUTBOUNDSERVICE", "ipbx_caller_id_outbound_service", Codec::BOOL, IndexRule::ROW},
  {3, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXCALLWAITINGCALLERIDSERVICE", "ipbx_call_waiting_caller_id_service", Codec::BOOL, IndexRule::ROW},
  {4, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXCALLBACKSERVICE", "ipbx_call_back_service", Codec::BOOL, IndexRule::ROW},
  {5, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXCALLRETURNSERVICE", "ipbx_call_return_service", Codec::BOOL, IndexRule::ROW},
  {6, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXSPEEDDIALSERVICE", "ipbx_speed_dial_service", Codec::BOOL, IndexRule::ROW},
  {7, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXTABLEDIALSERVICE", "ipbx_table_dial_service", Codec::BOOL, IndexRule::ROW},
  {8, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXDONOTDISTURBSERVICE", "ipbx_do_not_disturb_service", Codec::BOOL, IndexRule::ROW},
  {9, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXBLOCKANONYMOUSSERVICE", "ipbx_block_anonymous_service", Codec::BOOL, IndexRule::ROW},
  {10, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXCALLFORWARDSERVICE", "ipbx_call_forward_service", Codec::BOOL, IndexRule::ROW},
  {11, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXBUSYFORWARDSERVICE", "ipbx_busy_forward_service", Codec::BOOL, IndexRule::ROW},
  {12, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXNOANSWERFORWARDSERVICE", "ipbx_no_answer_forward_service", Codec::BOOL, IndexRule::ROW},
  {13, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXPRIORITYFORWARDSERVICE", "ipbx_priority_forward_service", Codec::BOOL, IndexRule::ROW},
  {14, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXDISTINCTIVERINGSERVICE", "ipbx_distinctive_ring_service", Codec::BOOL, IndexRule::ROW},
  {15, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXDISTURBACCEPTSERVICE", "ipbx_disturb_accept_service", Codec::BOOL, IndexRule::ROW},
  {16, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXBLOCKEDNUMBERSERVICE", "ipbx_blocked_number_service", Codec::BOOL, IndexRule::ROW},
  {17, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXOUTGOINGBLOCKSERVICE", "ipbx_outgoing_block_service", Codec::BOOL, IndexRule::ROW},
  {18, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXFORWARDLASTCALLSERVICE", "ipbx_forward_last_call_service", Codec::BOOL, IndexRule::ROW},
  {19, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXDISTINCTIVERINGLASTCALLSERVICE", "ipbx_distinctive_ring_last_call_service", Codec::BOOL, IndexRule::ROW},
  {20, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXDISTURBACCEPTLASTCALLSERVICE", "ipbx_disturb_accept_last_call_service", Codec::BOOL, IndexRule::ROW},
  {21, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXBLOCKLASTCALLSERVICE", "ipbx_block_last_call_service", Codec::BOOL, IndexRule::ROW},
  {22, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXTHREEWAYCALLINGSERVICE", "ipbx_three_way_calling_service", Codec::BOOL, IndexRule::ROW},
  {23, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXTHREEWAYCONFERENCESERVICE", "ipbx_three_way_conference_service", Codec::BOOL, IndexRule::ROW},
  {24, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXATTENDEDTRANSFERSERVICE", "ipbx_attended_transfer_service", Codec::BOOL, IndexRule::ROW},
  {25, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXUNATTENDEDTRANSFERSERVICE", "ipbx_unattended_transfer_service", Codec::BOOL, IndexRule::ROW},
  {26, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXMESSAGEWAITINGSERVICE", "ipbx_message_waiting_service", Codec::BOOL, IndexRule::ROW},
  {27, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXVISUALMESSAGEWAITINGSERVICE", "ipbx_visual_message_waiting_service", Codec::BOOL, IndexRule::ROW},
  {28, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXREMOTEFEATURECODESERVICE", "ipbx_remote_feature_code_service", Codec::BOOL, IndexRule::ROW},
  {29, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXDEFAULTFEATURECODESERVICE", "ipbx_default_feature_code_service", Codec::BOOL, IndexRule::ROW},
  {30, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXPOUNDFEATURECODESERVICE", "ipbx_pound_feature_code_service", Codec::BOOL, IndexRule::ROW},
  {31, "OBJ_SUBSCRIPTIONSERVICESETTINGS_IPBXENHANCEDHOOKFLASHSERVICE", "ipbx_enhanced_hookflash_service", Codec::BOOL, IndexRule::ROW},
};

constexpr MappingRow kCallForwardingTableRows[] = {
  {0, "OBJ_CALLFORWARDING_IPBXCALLFORWARDENABLE", "ipbx_call_forward_enable", Codec::BOOL, IndexRule::ROW},
  {1, "OBJ_CALLFORWARDING_IPBXBUSYFORWARDENABLE", "ipbx_busy_forward_enable", Codec::BOOL, IndexRule::ROW},
  {2, "OBJ_CALLFORWARDING_IPBXNOANSWERFORWARDENABLE", "ipbx_no_answer_forward_enable", Codec::BOOL, IndexRule::ROW},
  {3, "OBJ_CALLFORWARDING_IPBXPRIORITYFORWARDENABLE", "ipbx_priority_forward_enable", Codec::BOOL, IndexRule::ROW},
  {4, "OBJ_CALLFORWARDING_IPBXCALLFORWARDDIALSTRING", "ipbx_call_forward_dial_string", Codec::STRING, IndexRule::ROW},
  {5, "OBJ_CALLFORWARDING_IPBXBUSYFORWARDDIALSTRING", "ipbx_busy_forward_dial_string", Codec::STRING, IndexRule::ROW},
  {6, "OBJ_CALLFORWARDING_IPBXNOANSWERFORWARDDIALSTRING", "ipbx_no_answer_forward_dial_string", Codec::STRING, IndexRule::ROW},
  {7, "OBJ_CALLFORWARDING_IPBXPRIORITYFORWARDDIALSTRING", "ipbx_priority_forward_dial_string", Codec::STRING, IndexRule::ROW},
};

constexpr MappingRow kDoNotDisturbTableRows[] = {
  {0, "OBJ_DONOTDISTURB_IPBXDONOTDISTURBMODE", "ipbx_do_not_disturb_mode", Codec::BOOL, IndexRule::ROW},
  {1, "OBJ_DONOTDISTURB_IPBXDISTURBACCEPTENABLE", "ipbx_disturb_accept_enable", Codec::BOOL, IndexRule::ROW},
};

constexpr MappingRow kCallBlockingTableRows[] = {
  {0, "OBJ_CALLBLOCKING_IPBXBLOCKANONYMOUSENABLE", "ipbx_block_anonymous_enable", Codec::BOOL, IndexRule::ROW},
  {1, "OBJ_CALLBLOCKING_IPBXBLOCKEDNUMBERENABLE", "ipbx_blocked_number_enable", Codec::BOOL, IndexRule::ROW},
};

constexpr MappingRow kOutgoingBlockTableRows[] = {
  {0, "OBJ_OUTGOINGBLOCK_IPBXOUTGOINGBLOCKENABLE", "ipbx_outgoing_block_enable", Codec::BOOL, IndexRule::ROW},
};

constexpr MappingRow kCallerWaitingCallerIdTableRows[] = {
  {0, "OBJ_CALLERWAITINGCALLERID_IPBXCALLWAITINGENABLE", "ipbx_call_waiting_enable", Codec::BOOL, IndexRule::ROW},
  {1, "OBJ_CALLERWAITINGCALLERID_IPBXCALLERIDINBOUNDENABLE", "ipbx_caller_id_inbound_enable", Codec::BOOL, IndexRule::ROW},
  {2, "OBJ_CALLERWAITINGCALLERID_IPBXCALLERIDOUTBOUNDENABLE", "ipbx_caller_id_outbound_enable", Codec::BOOL, IndexRule::ROW},
  {3, "OBJ_CALLERWAITINGCALLERID_IPBXCALLERIDWAITINGENABLE", "ipbx_caller_id_waiting_enable", Codec::BOOL, IndexRule::ROW},
};

constexpr MappingRow kMessageWaitingTableRows[] = {
  {0, "OBJ_MESSAGEWAITING_IPBXMESSAGEWAITING", "ipbx_message_waiting", Codec::BOOL, IndexRule::ROW},
};

constexpr MappingRow kDistinctiveRingingTableRows[] = {
  {0, "OBJ_DISTINCTIVERINGING_IPBXDISTINCTIVERINGENABLE", "ipbx_distinctive_ring_enable", Codec::BOOL, IndexRule::ROW},
};

constexpr MappingRow kIpbxHookflashTableRows[] = {
  {0, "OBJ_IPBXHOOKFLASH_IPBXHOOKFLASHENABLE", "ipbx_hookflash_enable", Codec::BOOL, IndexRule::ROW},
};
// clang-format on

constexpr MappingTable kSubscriptionServiceSettingsTableMapping =
    makeTable("SubscriptionServiceSettingsTable", kSubscriptionServiceSettingsTableRows);
constexpr MappingTable kCallForwardingTableMapping =
    makeTable("CallForwardingTable", kCallForwardingTableRows);
constexpr MappingTable kDoNotDisturbTableMapping =
    makeTable("DoNotDisturbTable", kDoNotDisturbTableRows);
constexpr MappingTable kCallBlockingTableMapping =
    makeTable("CallBlockingTable", kCallBlockingTableRows);
constexpr MappingTable kOutgoingBlockTableMapping =
    makeTable("OutgoingBlockTable", kOutgoingBlockTableRows);
constexpr MappingTable kCallerWaitingCallerIdTableMapping =
    makeTable("CallerWaitingCallerIdTable", kCallerWaitingCallerIdTableRows);
constexpr MappingTable kMessageWaitingTableMapping =
    makeTable("MessageWaitingTable", kMessageWaitingTableRows);
constexpr MappingTable kDistinctiveRingingTableMapping =
    makeTable("DistinctiveRingingTable", kDistinctiveRingingTableRows);
constexpr MappingTable kIpbxHookflashTableMapping =
    makeTable("IpbxHookflashTable", kIpbxHookflashTableRows);

}  // namespace mapping
