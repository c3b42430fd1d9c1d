// Mapping rows of the system scalars: SystemScalar, SystemStatusScalar,
// NetStatusScalar, OtherScalar, TimersScalar. Every parameter is (-1, -1).
#pragma once

#include "mappings/MappingRow.h"

namespace mapping {

// clang-format off
constexpr MappingRow kSystemScalarRows[] = {
  {0, "OBJ_SYSTEM_NATSTUNENABLE", "nat_stun_enable", Codec::BOOL, IndexRule::SCALAR},
  {1, "OBJ_SYSTEM_NATSTUNSERVERDOMAINNAME", "nat_stun_server_domain_name", Codec::STRING, IndexRule::SCALAR},
  {2, "OBJ_SYSTEM_NATSTUNSERVERUSERNAME", "nat_stun_server_user_name", Codec::STRING, IndexRule::SCALAR},
  {3, "OBJ_SYSTEM_NATSTUNSERVERPASSWORD", "nat_stun_server_password", Codec::STRING, IndexRule::SCALAR},
  {4, "OBJ_SYSTEM_NATSTUNSYMMETRICDETERMINISTICENABLE", "nat_stun_symmetric_deterministic_enable", Codec::BOOL, IndexRule::SCALAR},
  {5, "OBJ_SYSTEM_NETDEBUGENABLE", "net_debug_enable", Codec::BOOL, IndexRule::SCALAR},
  {6, "OBJ_SYSTEM_NETDEBUGSERVER", "net_debug_server", Codec::STRING, IndexRule::SCALAR},
  {7, "OBJ_SYSTEM_NETDEBUGLEVELATA", "net_debug_level_ata", Codec::U16, IndexRule::SCALAR},
  {8, "OBJ_SYSTEM_NETDEBUGLEVELSIP", "net_debug_level_sip", Codec::U16, IndexRule::SCALAR},
  {9, "OBJ_SYSTEM_NETDEBUGLEVELRTP", "net_debug_level_rtp", Codec::U16, IndexRule::SCALAR},
  {10, "OBJ_SYSTEM_NETDEBUGLEVELMGCP", "net_debug_level_mgcp", Codec::U16, IndexRule::SCALAR},
  {11, "OBJ_SYSTEM_NETDEBUGLEVELNET", "net_debug_level_net", Codec::U16, IndexRule::SCALAR},
  {12, "OBJ_SYSTEM_NETDEBUGLEVELOMC", "net_debug_level_omc", Codec::U16, IndexRule::SCALAR},
  {13, "OBJ_SYSTEM_NETDEBUGLEVELPMP", "net_debug_level_pmp", Codec::U16, IndexRule::SCALAR},
  {14, "OBJ_SYSTEM_NETASSIGNEDINTERFACENAME", "net_assigned_interface_name", Codec::STRING, IndexRule::SCALAR},
  {15, "OBJ_SYSTEM_NETBINDALLINTERFACES", "net_bind_all_interfaces", Codec::BOOL, IndexRule::SCALAR},
  {16, "OBJ_SYSTEM_VELMORAWATCHDOGTIMERPERIOD", "velmora_watchdog_timer_period", Codec::U16, IndexRule::SCALAR},
  {17, "OBJ_SYSTEM_VELMORAWATCHDOGSPITIMEOUTTIME", "velmora_watchdog_spi_timeout_time", Codec::U16, IndexRule::SCALAR},
  {18, "OBJ_SYSTEM_ALSABUFFERDEPTH", "alsa_buffer_depth", Codec::U16, IndexRule::SCALAR},
  {19, "OBJ_SYSTEM_ALSABUFFERCUSION", "alsa_buffer_cusion", Codec::U16, IndexRule::SCALAR},
  {20, "OBJ_SYSTEM_G729CHANNELLIMIT", "g729_channel_limit", Codec::U16, IndexRule::SCALAR},
};

constexpr MappingRow kSystemStatusScalarRows[] = {
  {0, "OBJ_SYSTEMSTATUS_ATAFIRMWAREREVISION", "ata_firmware_revision", Codec::STRING, IndexRule::SCALAR},
  {1, "OBJ_SYSTEMSTATUS_G729CHANNELS", "g729_channels", Codec::U16, IndexRule::SCALAR},
  {2, "OBJ_SYSTEMSTATUS_G729RESERVEDCHANNELS", "g729_reserved_channels", Codec::U16, IndexRule::SCALAR},
};

constexpr MappingRow kNetStatusScalarRows[] = {
  {0, "OBJ_NETSTATUS_NETCURRENTIPADDRESS", "net_current_ip_address", Codec::STRING, IndexRule::SCALAR},
  {1, "OBJ_NETSTATUS_NETCURRENTHOSTNAME", "net_current_host_name", Codec::STRING, IndexRule::SCALAR},
  {2, "OBJ_NETSTATUS_SIPLOCALCONTACTDOMAINNAME", "sip_local_contact_domain_name", Codec::STRING, IndexRule::SCALAR},
  {3, "OBJ_NETSTATUS_SIPLOCALCONTACTPORT", "sip_local_contact_port", Codec::U16, IndexRule::SCALAR},
  {4, "OBJ_NETSTATUS_SENTIALCHECK", "sential_check", Codec::STRING, IndexRule::SCALAR},
};

constexpr MappingRow kOtherScalarRows[] = {
  {0, "OBJ_OTHER_IPBXLINECONCURRENTLINECOUNT", "ipbx_line_concurrent_line_count", Codec::U8, IndexRule::SCALAR},
  {1, "OBJ_OTHER_IPBXLINECONCURRENTVOIPCOUNT", "ipbx_line_concurrent_voip_count", Codec::U8, IndexRule::SCALAR},
  {2, "OBJ_OTHER_IPBXEPOCHCLOCKLIMIT", "ipbx_epoch_clock_limit", Codec::U16, IndexRule::SCALAR},
  {3, "OBJ_OTHER_IPBXHOOKDEBOUNCE", "ipbx_hook_debounce", Codec::U16, IndexRule::SCALAR},
};

constexpr MappingRow kTimersScalarRows[] = {
  {0, "OBJ_TIMERS_IPBXBRIEFPAUSEDURATION", "ipbx_brief_pause_duration", Codec::U16, IndexRule::SCALAR},
  {1, "OBJ_TIMERS_IPBXINITIALDIALDURATION", "ipbx_initial_dial_duration", Codec::U16, IndexRule::SCALAR},
  {2, "OBJ_TIMERS_IPBXWARMLINEDURATION", "ipbx_warm_line_duration", Codec::U16, IndexRule::SCALAR},
  {3, "OBJ_TIMERS_IPBXINTERDIGITDURATION", "ipbx_interdigit_duration", Codec::U16, IndexRule::SCALAR},
  {4, "OBJ_TIMERS_IPBXDIALINGDURATION", "ipbx_dialing_duration", Codec::U16, IndexRule::SCALAR},
  {5, "OBJ_TIMERS_IPBXHANGUPDISCONNECTDURATION", "ipbx_hangup_disconnect_duration", Codec::U16, IndexRule::SCALAR},
  {6, "OBJ_TIMERS_IPBXHANGUPSILENCEDURATION", "ipbx_hangup_silence_duration", Codec::U16, IndexRule::SCALAR},
  {7, "OBJ_TIMERS_IPBXPAUSEWAITDURATION", "ipbx_pause_wait_duration", Codec::U16, IndexRule::SCALAR},
  {8, "OBJ_TIMERS_IPBXTIMEOUTTONEDURATION", "ipbx_timeout_tone_duration", Codec::U16, IndexRule::SCALAR},
  {9, "OBJ_TIMERS_IPBXTIMEOUTPAUSEDURATION", "ipbx_timeout_pause_duration", Codec::U16, IndexRule::SCALAR},
  {10, "OBJ_TIMERS_IPBXTIMEOUTDISCONNECTDURATION", "ipbx_timeout_disconnect_duration", Codec::U16, IndexRule::SCALAR},
  {11, "OBJ_TIMERS_IPBXTIMEOUTWARNINGDURATION", "ipbx_timeout_warning_duration", Codec::U16, IndexRule::SCALAR},
  {12, "OBJ_TIMERS_IPBXTIMEOUTHOLDDURATION", "ipbx_timeout_hold_duration", Codec::U16, IndexRule::SCALAR},
  {13, "OBJ_TIMERS_IPBXTIMEOUTHOLDDROPDURATION", "ipbx_timeout_hold_drop_duration", Codec::U16, IndexRule::SCALAR},
  {14, "OBJ_TIMERS_IPBXTIMEOUTNOANSWERDROPDURATION", "ipbx_timeout_no_answer_drop_duration", Codec::U16, IndexRule::SCALAR},
  {15, "OBJ_TIMERS_IPBXNOANSWERDURATION", "ipbx_no_answer_duration", Codec::U16, IndexRule::SCALAR},
  {16, "OBJ_TIMERS_IPBXCALLBACKDURATION", "ipbx_call_back_duration", Codec::U16, IndexRule::SCALAR},
  {17, "OBJ_TIMERS_IPBXCALLBACKRETRYDURATION", "ipbx_call_back_retry_duration", Codec::U16, IndexRule::SCALAR},
  {18, "OBJ_TIMERS_IPBXCALLBACKRINGWAITDURATION", "ipbx_call_back_ring_wait_duration", Codec::U16, IndexRule::SCALAR},
  {19, "OBJ_TIMERS_IPBXMESSAGEWAITINGREFRESHDURATION", "ipbx_message_waiting_refresh_duration", Codec::U16, IndexRule::SCALAR},
  {20, "OBJ_TIMERS_IPBXHOOKFLASHMAXIMUM", "ipbx_hookflash_maximum", Codec::U16, IndexRule::SCALAR},
  {21, "OBJ_TIMERS_IPBXHOOKFLASHMINIMUM", "ipbx_hookflash_minimum", Codec::U16, IndexRule::SCALAR},
  {22, "OBJ_TIMERS_IPBXHOOKFLASHDELAY", "ipbx_hookflash_delay", Codec::U32, IndexRule::SCALAR},
  {23, "OBJ_TIMERS_IPBXANSWERHANGUPDELAY", "ipbx_answer_hangup_delay", Codec::U32, IndexRule::SCALAR},
};
// clang-format on

constexpr MappingTable kSystemScalarMapping = makeTable("SystemScalar", kSystemScalarRows);
constexpr MappingTable kSystemStatusScalarMapping =
    makeTable("SystemStatusScalar", kSystemStatusScalarRows);
constexpr MappingTable kNetStatusScalarMapping = makeTable("NetStatusScalar", kNetStatusScalarRows);
constexpr MappingTable kOtherScalarMapping = makeTable("OtherScalar", kOtherScalarRows);
constexpr MappingTable kTimersScalarMapping = makeTable("TimersScalar", kTimersScalarRows);

}  // namespace mapping
