// Mapping rows of the provider account tables. The first index is the row
// (provider or line); the account's group-line switches are one parameter
// indexed by the line as second index.
#pragma once

#include "mappings/MappingRow.h"

namespace mapping {

// clang-format off
constexpr MappingRow kAccountTableRows[] = {
  {0, "OBJ_ACCOUNT_PROVIDERNAME", "provider_name", Codec::STRING, IndexRule::ROW},
  {1, "OBJ_ACCOUNT_PROVIDERCHANGED", "provider_changed", Codec::BOOL, IndexRule::ROW},
  {2, "OBJ_ACCOUNT_PROVIDERENABLE", "provider_enable", Codec::BOOL, IndexRule::ROW},
  {3, "OBJ_ACCOUNT_PROVIDERTYPE", "provider_type", Codec::U8, IndexRule::ROW},
  {4, "OBJ_ACCOUNT_DISTINCTIVERINGTYPE", "distinctive_ring_type", Codec::U8, IndexRule::ROW},
  {5, "OBJ_ACCOUNT_DIALINGPREFIX", "dialing_prefix", Codec::STRING, IndexRule::ROW},
  {6, "OBJ_ACCOUNT_PREFERREDAUDIOCODECS", "preferred_audio_codecs", Codec::STRING, IndexRule::ROW},
  {7, "OBJ_ACCOUNT_INCOMINGMODE", "incoming_mode", Codec::U8, IndexRule::ROW},
  {8, "OBJ_ACCOUNT_GROUPLINE0ENABLE", "group_line_enable", Codec::BOOL, IndexRule::ROW_FIXED, 0},
  {9, "OBJ_ACCOUNT_GROUPLINE1ENABLE", "group_line_enable", Codec::BOOL, IndexRule::ROW_FIXED, 1},
  {10, "OBJ_ACCOUNT_GROUPLINE2ENABLE", "group_line_enable", Codec::BOOL, IndexRule::ROW_FIXED, 2},
  {11, "OBJ_ACCOUNT_GROUPLINE3ENABLE", "group_line_enable", Codec::BOOL, IndexRule::ROW_FIXED, 3},
  {12, "OBJ_ACCOUNT_GROUPLINE4ENABLE", "group_line_enable", Codec::BOOL, IndexRule::ROW_FIXED, 4},
  {13, "OBJ_ACCOUNT_GROUPLINE5ENABLE", "group_line_enable", Codec::BOOL, IndexRule::ROW_FIXED, 5},
  {14, "OBJ_ACCOUNT_GROUPLINE6ENABLE", "group_line_enable", Codec::BOOL, IndexRule::ROW_FIXED, 6},
  {15, "OBJ_ACCOUNT_GROUPLINE7ENABLE", "group_line_enable", Codec::BOOL, IndexRule::ROW_FIXED, 7},
  {16, "OBJ_ACCOUNT_USEOUTBOUNDPROXY", "use_outbound_proxy", Codec::BOOL, IndexRule::ROW},
  {17, "OBJ_ACCOUNT_DNSLOOKUPMODE", "dns_lookup_mode", Codec::U8, IndexRule::ROW},
  {18, "OBJ_ACCOUNT_TRANSPORT", "transport", Codec::U8, IndexRule::ROW},
  {19, "OBJ_ACCOUNT_DISPLAYNAME", "display_name", Codec::STRING, IndexRule::ROW},
  {20, "OBJ_ACCOUNT_USERNAME", "user_name", Codec::STRING, IndexRule::ROW},
  {21, "OBJ_ACCOUNT_DOMAINNAME", "domain_name", Codec::STRING, IndexRule::ROW},
  {22, "OBJ_ACCOUNT_AUTHUSERNAME", "auth_user_name", Codec::STRING, IndexRule::ROW},
  {23, "OBJ_ACCOUNT_AUTHDOMAINNAME", "auth_domain_name", Codec::STRING, IndexRule::ROW},
  {24, "OBJ_ACCOUNT_AUTHUSERPASSWORD", "auth_user_password", Codec::STRING, IndexRule::ROW},
  {25, "OBJ_ACCOUNT_PROXYDOMAINNAME", "proxy_domain_name", Codec::STRING, IndexRule::ROW},
  {26, "OBJ_ACCOUNT_REGISTERENABLE", "register_enable", Codec::BOOL, IndexRule::ROW},
  {27, "OBJ_ACCOUNT_REGISTERDOMAINNAME", "register_domain_name", Codec::STRING, IndexRule::ROW},
  {28, "OBJ_ACCOUNT_REREGISTERINTERVAL", "reregister_interval", Codec::U32, IndexRule::ROW},
  {29, "OBJ_ACCOUNT_SIPPUBLICEXTERNALIPADDRESS", "sip_public_external_ip_address", Codec::STRING, IndexRule::ROW},
  {30, "OBJ_ACCOUNT_RTPPUBLICEXTERNALIPADDRESS", "rtp_public_external_ip_address", Codec::STRING, IndexRule::ROW},
};

constexpr MappingRow kVoipProviderDefaultsTableRows[] = {
  {0, "OBJ_VOIPPROVIDERDEFAULTS_VOIPDEFAULTDISPLAYNAME", "voip_default_display_name", Codec::STRING, IndexRule::ROW},
  {1, "OBJ_VOIPPROVIDERDEFAULTS_VOIPDEFAULTUSERNAME", "voip_default_user_name", Codec::STRING, IndexRule::ROW},
  {2, "OBJ_VOIPPROVIDERDEFAULTS_VOIPPROVIDERDEFAULT", "voip_provider_default", Codec::U8, IndexRule::ROW},
  {3, "OBJ_VOIPPROVIDERDEFAULTS_VOIPPROVIDERALTERNATE", "voip_provider_alternate", Codec::U8, IndexRule::ROW},
};

constexpr MappingRow kAccountStatusTableRows[] = {
  {0, "OBJ_ACCOUNTSTATUS_REGISTRATIONSTATE", "registration_state", Codec::U8, IndexRule::ROW},
  {1, "OBJ_ACCOUNTSTATUS_REGISTRATIONFAILURECODE", "registration_failure_code", Codec::I32, IndexRule::ROW},
  {2, "OBJ_ACCOUNTSTATUS_SIPUSERPARM", "sip_user_parm", Codec::STRING, IndexRule::ROW},
  {3, "OBJ_ACCOUNTSTATUS_ALIGNMENT01", "alignment01", Codec::U16, IndexRule::ROW},
  {4, "OBJ_ACCOUNTSTATUS_REREGISTERTIMER", "reregister_timer", Codec::I32, IndexRule::ROW},
  {5, "OBJ_ACCOUNTSTATUS_KEEPALIVETIMER", "keepalive_timer", Codec::I32, IndexRule::ROW},
  {6, "OBJ_ACCOUNTSTATUS_REGISTERCALL", "register_call", Codec::U32, IndexRule::ROW},
};

constexpr MappingRow kSipServerConfigurationTableRows[] = {
  {0, "OBJ_SIPSERVERCONFIGURATION_SIPDISTINCTIVERINGNAMES", "sip_distinctive_ring_names_", Codec::STRING, IndexRule::ROW},
};

constexpr MappingRow kIncomingCallHistoryStatusTableRows[] = {
  {0, "OBJ_INCOMINGCALLHISTORYSTATUS_IPBXINCOMINGCALLHISTORY", "ipbx_incoming_call_history_", Codec::STRING, IndexRule::ROW},
  {1, "OBJ_INCOMINGCALLHISTORYSTATUS_G729ACTIVE", "g729_active", Codec::BOOL, IndexRule::ROW},
};
// clang-format on

constexpr MappingTable kAccountTableMapping = makeTable("AccountTable", kAccountTableRows);
constexpr MappingTable kVoipProviderDefaultsTableMapping =
    makeTable("VoipProviderDefaultsTable", kVoipProviderDefaultsTableRows);
constexpr MappingTable kAccountStatusTableMapping =
    makeTable("AccountStatusTable", kAccountStatusTableRows);
constexpr MappingTable kSipServerConfigurationTableMapping =
    makeTable("SipServerConfigurationTable", kSipServerConfigurationTableRows);
constexpr MappingTable kIncomingCallHistoryStatusTableMapping =
    makeTable("IncomingCallHistoryStatusTable", kIncomingCallHistoryStatusTableRows);

}  // namespace mapping
