// Mapping rows of the numbered list tables. A row is a line; column c is list
// entry c + 1, one element of the same velmora list parameter at (line, c).
// One mapping row spans all entries: the property symbol is the prefix
// followed by c + 1.
#pragma once

#include "mappings/MappingRow.h"

namespace mapping {

constexpr unsigned kLongListEntries = 40;
constexpr unsigned kShortListEntries = 30;

// clang-format off
constexpr MappingRow kSpeedDialsTableRows[] = {
  {0, "OBJ_SPEEDDIALS_IPBXSPEEDDIAL", "ipbx_speed_dial_array_", Codec::STRING, IndexRule::ROW_COLUMN, -1, kLongListEntries},
};
constexpr MappingRow kIpbxDialPublicExtSipTableRows[] = {
  {0, "OBJ_IPBXDIALPUBLICEXTSIP_IPBXTABLEDIALPUBLICEXTSIP", "ipbx_table_dial_public_ext_sip_array_", Codec::STRING, IndexRule::ROW_COLUMN, -1, kLongListEntries},
};
constexpr MappingRow kIpbxDialPublicExtRtpTableRows[] = {
  {0, "OBJ_IPBXDIALPUBLICEXTRTP_IPBXTABLEDIALPUBLICEXTRTP", "ipbx_table_dial_public_ext_rtp_array_", Codec::STRING, IndexRule::ROW_COLUMN, -1, kLongListEntries},
};
constexpr MappingRow kCallForwardListTableRows[] = {
  {0, "OBJ_CALLFORWARDLIST_IPBXCALLFORWARDLIST", "ipbx_call_forward_list_", Codec::STRING, IndexRule::ROW_COLUMN, -1, kShortListEntries},
};
constexpr MappingRow kDistinctiveRingListTableRows[] = {
  {0, "OBJ_DISTINCTIVERINGLIST_IPBXDISTINCTIVERINGLIST", "ipbx_distinctive_ring_list_", Codec::STRING, IndexRule::ROW_COLUMN, -1, kShortListEntries},
};
constexpr MappingRow kIpbxDisturbAcceptListTableRows[] = {
  {0, "OBJ_IPBXDISTURBACCEPTLIST_IPBXDISTURBACCEPTLIST", "ipbx_disturb_accept_list_", Codec::STRING, IndexRule::ROW_COLUMN, -1, kShortListEntries},
};
constexpr MappingRow kCallBlockingListTableRows[] = {
  {0, "OBJ_CALLBLOCKINGLIST_IPBXBLOCKEDNUMBERLIST", "ipbx_blocked_number_list_", Codec::STRING, IndexRule::ROW_COLUMN, -1, kShortListEntries},
};
constexpr MappingRow kOutgoingBlockListTableRows[] = {
  {0, "OBJ_OUTGOINGBLOCKLIST_IPBXOUTGOINGBLOCKLIST", "ipbx_outgoing_block_list_", Codec::STRING, IndexRule::ROW_COLUMN, -1, kShortListEntries},
};
// clang-format on

constexpr MappingTable kSpeedDialsTableMapping = makeTable("SpeedDialsTable", kSpeedDialsTableRows);
constexpr MappingTable kIpbxDialPublicExtSipTableMapping =
    makeTable("IpbxDialPublicExtSipTable", kIpbxDialPublicExtSipTableRows);
constexpr MappingTable kIpbxDialPublicExtRtpTableMapping =
    makeTable("IpbxDialPublicExtRtpTable", kIpbxDialPublicExtRtpTableRows);
constexpr MappingTable kCallForwardListTableMapping =
    makeTable("CallForwardListTable", kCallForwardListTableRows);
constexpr MappingTable kDistinctiveRingListTableMapping =
    makeTable("DistinctiveRingListTable", kDistinctiveRingListTableRows);
constexpr MappingTable kIpbxDisturbAcceptListTableMapping =
    makeTable("IpbxDisturbAcceptListTable", kIpbxDisturbAcceptListTableRows);
constexpr MappingTable kCallBlockingListTableMapping =
    makeTable("CallBlockingListTable", kCallBlockingListTableRows);
constexpr MappingTable kOutgoingBlockListTableMapping =
    makeTable("OutgoingBlockListTable", kOutgoingBlockListTableRows);

}  // namespace mapping
