// Mapping rows of the SIP, SDP, RTP and audio scalars. Every parameter is
// (-1, -1).
#pragma once

#include "mappings/MappingRow.h"

namespace mapping {

// clang-format off
constexpr MappingRow kSipProtocolTimersScalarRows[] = {
  {0, "OBJ_SIPPROTOCOLTIMERS_SIPTIMERNOANSWERDURATION", "sip_timer_no_answer_duration", Codec::U16, IndexRule::SCALAR},
  {1, "OBJ_SIPPROTOCOLTIMERS_SIPTIMERREREGISTERINTERVAL", "sip_timer_reregister_interval", Codec::U16, IndexRule::SCALAR},
  {2, "OBJ_SIPPROTOCOLTIMERS_SIPSESSIONTIMER", "sip_session_timer", Codec::U16, IndexRule::SCALAR},
};

constexpr MappingRow kSipResponseCodeScalarRows[] = {
  {0, "OBJ_SIPRESPONSECODE_SIPRESPONSECODESIT1", "sip_response_code_sit1", Codec::U16, IndexRule::SCALAR},
  {1, "OBJ_SIPRESPONSECODE_SIPRESPONSECODESIT2", "sip_response_code_sit2", Codec::U16, IndexRule::SCALAR},
  {2, "OBJ_SIPRESPONSECODE_SIPRESPONSECODESIT3", "sip_response_code_sit3", Codec::U16, IndexRule::SCALAR},
  {3, "OBJ_SIPRESPONSECODE_SIPRESPONSECODESIT4", "sip_response_code_sit4", Codec::U16, IndexRule::SCALAR},
  {4, "OBJ_SIPRESPONSECODE_SIPRESPONSECODETRYBACKUP", "sip_response_code_try_backup", Codec::U16, IndexRule::SCALAR},
  {5, "OBJ_SIPRESPONSECODE_SIPRESPONSECODERETRYREGISTRATION", "sip_response_code_retry_registration", Codec::U16, IndexRule::SCALAR},
};

constexpr MappingRow kSdpAudioCodecDynamicCodeScalarRows[] = {
  {0, "OBJ_SDPAUDIOCODECDYNAMICCODE_SDPG711UCODECDYNPT", "sdp_g711u_codec_dyn_pt", Codec::U32, IndexRule::SCALAR},
  {1, "OBJ_SDPAUDIOCODECDYNAMICCODE_SDPG711ACODECDYNPT", "sdp_g711a_codec_dyn_pt", Codec::U32, IndexRule::SCALAR},
  {2, "OBJ_SDPAUDIOCODECDYNAMICCODE_SDPCNCODECDYNPT", "sdp_cn_codec_dyn_pt", Codec::U32, IndexRule::SCALAR},
  {3, "OBJ_SDPAUDIOCODECDYNAMICCODE_SDPG729CODECDYNPT", "sdp_g729_codec_dyn_pt", Codec::U32, IndexRule::SCALAR},
  {4, "OBJ_SDPAUDIOCODECDYNAMICCODE_SDPNSECODECDYNPT", "sdp_NSE_codec_dyn_pt", Codec::U32, IndexRule::SCALAR},
  {5, "OBJ_SDPAUDIOCODECDYNAMICCODE_SDPAVTCODECDYNPT", "sdp_AVT_codec_dyn_pt", Codec::U32, IndexRule::SCALAR},
};

constexpr MappingRow kSdpProtocolScalarRows[] = {
  {0, "OBJ_SDPPROTOCOL_SDPSESSIONNAME", "sdp_session_name", Codec::STRING, IndexRule::SCALAR},
  {1, "OBJ_SDPPROTOCOL_SDPSESSIONOWNER", "sdp_session_owner", Codec::STRING, IndexRule::SCALAR},
  {2, "OBJ_SDPPROTOCOL_SDPIGNORESTUN", "sdp_ignore_stun", Codec::BOOL, IndexRule::SCALAR},
};

constexpr MappingRow kSdpAudioCodecScalarRows[] = {
  {0, "OBJ_SDPAUDIOCODEC_SDPG711UCODECNAME", "sdp_g711u_codec_name", Codec::STRING, IndexRule::SCALAR},
  {1, "OBJ_SDPAUDIOCODEC_SDPG711ACODECNAME", "sdp_g711a_codec_name", Codec::STRING, IndexRule::SCALAR},
  {2, "OBJ_SDPAUDIOCODEC_SDPCNCODECNAME", "sdp_cn_codec_name", Codec::STRING, IndexRule::SCALAR},
  {3, "OBJ_SDPAUDIOCODEC_SDPG729CODECNAME", "sdp_g729_codec_name", Codec::STRING, IndexRule::SCALAR},
  {4, "OBJ_SDPAUDIOCODEC_SDPNSECODECNAME", "sdp_NSE_codec_name", Codec::STRING, IndexRule::SCALAR},
  {5, "OBJ_SDPAUDIOCODEC_SDPAVTCODECNAME", "sdp_AVT_codec_name", Codec::STRING, IndexRule::SCALAR},
};

constexpr MappingRow kRtpProtocolScalarRows[] = {
  {0, "OBJ_RTPPROTOCOL_RTPPORTMINIMUM", "rtp_port_minimum", Codec::U16, IndexRule::SCALAR},
  {1, "OBJ_RTPPROTOCOL_RTPPORTMAXIMUM", "rtp_port_maximum", Codec::U16, IndexRule::SCALAR},
  {2, "OBJ_RTPPROTOCOL_RTPPUBLICEXTERNALPORTMIN", "rtp_public_external_port_min", Codec::U16, IndexRule::SCALAR},
  {3, "OBJ_RTPPROTOCOL_RTPTOSVALUE", "rtp_tos_value", Codec::I32, IndexRule::SCALAR},
  {4, "OBJ_RTPPROTOCOL_RTPPACKETDURATION", "rtp_packet_duration", Codec::U8, IndexRule::SCALAR},
  {5, "OBJ_RTPPROTOCOL_RTPSTREAMDURATION", "rtp_stream_duration", Codec::U8, IndexRule::SCALAR},
  {6, "OBJ_RTPPROTOCOL_RTPSESSIONTIMEOUTINTERVAL", "rtp_session_timeout_interval", Codec::U16, IndexRule::SCALAR},
  {7, "OBJ_RTPPROTOCOL_RTPJITTERBUFFERSTARTDEPTH", "rtp_jitter_buffer_start_depth", Codec::U32, IndexRule::SCALAR},
  {8, "OBJ_RTPPROTOCOL_RTPJITTERBUFFERMINIMUMDEPTH", "rtp_jitter_buffer_minimum_depth", Codec::U32, IndexRule::SCALAR},
  {9, "OBJ_RTPPROTOCOL_RTPENCODEGAIN", "rtp_encode_gain", Codec::U32, IndexRule::SCALAR},
  {10, "OBJ_RTPPROTOCOL_RTPDECODEGAIN", "rtp_decode_gain", Codec::U32, IndexRule::SCALAR},
};

constexpr MappingRow kAudioSettingsScalarRows[] = {
  {0, "OBJ_AUDIOSETTINGS_VOIPPREFERREDAUDIOCODECS", "voip_preferred_audio_codecs", Codec::STRING, IndexRule::SCALAR},
  {1, "OBJ_AUDIOSETTINGS_VOIPSILENCESUPPRESSIONENABLE", "voip_silence_suppression_enable", Codec::BOOL, IndexRule::SCALAR},
  {2, "OBJ_AUDIOSETTINGS_VOIPECHOCANCELLERENABLE", "voip_echo_canceller_enable", Codec::BOOL, IndexRule::SCALAR},
  {3, "OBJ_AUDIOSETTINGS_VOIPECHOCANCELLERMODE", "voip_echo_canceller_mode", Codec::U16, IndexRule::SCALAR},
  {4, "OBJ_AUDIOSETTINGS_VOIPECHOCANCELLERTAILLENGTH", "voip_echo_canceller_tail_length", Codec::I32, IndexRule::SCALAR},
  {5, "OBJ_AUDIOSETTINGS_VOIPECHOCANCELLERSUPPRESSORENABLE", "voip_echo_canceller_suppressor_enable", Codec::BOOL, IndexRule::SCALAR},
  {6, "OBJ_AUDIOSETTINGS_VOIPECHOCANCELLERSUPPRESSORRXVADHANGOVER", "voip_echo_canceller_suppressor_rx_vad_hangover", Codec::U16, IndexRule::SCALAR},
  {7, "OBJ_AUDIOSETTINGS_VOIPECHOCANCELLERSUPPRESSORTXVADHANGOVER", "voip_echo_canceller_suppressor_tx_vad_hangover", Codec::U16, IndexRule::SCALAR},
  {8, "OBJ_AUDIOSETTINGS_VOIPFAXPROCESSINGMODE", "voip_fax_processing_mode", Codec::U8, IndexRule::SCALAR},
  {9, "OBJ_AUDIOSETTINGS_VOIPDTMFTRANSMITMETHOD", "voip_dtmf_transmit_method", Codec::U8, IndexRule::SCALAR},
  {10, "OBJ_AUDIOSETTINGS_VOIPECHOCANCELLERDELAY", "voip_echo_canceller_delay", Codec::U8, IndexRule::SCALAR},
};

constexpr MappingRow kSipProtocolScalarRows[] = {
  {0, "OBJ_SIPPROTOCOL_SIPUSERAGENT", "sip_user_agent", Codec::STRING, IndexRule::SCALAR},
  {1, "OBJ_SIPPROTOCOL_SIPREQUIREUSERNAME", "sip_require_user_name", Codec::BOOL, IndexRule::SCALAR},
  {2, "OBJ_SIPPROTOCOL_SIPLOCALPORT", "sip_local_port", Codec::U16, IndexRule::SCALAR},
  {3, "OBJ_SIPPROTOCOL_SIPPUBLICEXTERNALSIPPORT", "sip_public_external_sip_port", Codec::U16, IndexRule::SCALAR},
  {4, "OBJ_SIPPROTOCOL_SIPTOSVALUE", "sip_tos_value", Codec::I32, IndexRule::SCALAR},
  {5, "OBJ_SIPPROTOCOL_SIPACCEPTLANGUAGESTRING", "sip_accept_language_string", Codec::STRING, IndexRule::SCALAR},
  {6, "OBJ_SIPPROTOCOL_SIPSENDRESPONSETOSRCPORT", "sip_send_response_to_src_port", Codec::BOOL, IndexRule::SCALAR},
  {7, "OBJ_SIPPROTOCOL_SIPMAXFORWARDS", "sip_max_forwards", Codec::U32, IndexRule::SCALAR},
  {8, "OBJ_SIPPROTOCOL_SIPRINGINGRETRANSMIT", "sip_ringing_retransmit", Codec::BOOL, IndexRule::SCALAR},
  {9, "OBJ_SIPPROTOCOL_SIPUSENATDISCOVERY", "sip_use_nat_discovery", Codec::BOOL, IndexRule::SCALAR},
  {10, "OBJ_SIPPROTOCOL_SIPUSERECEIVEDVIAINFO", "sip_use_received_via_info", Codec::BOOL, IndexRule::SCALAR},
  {11, "OBJ_SIPPROTOCOL_SIPPRACKENABLE", "sip_prack_enable", Codec::BOOL, IndexRule::SCALAR},
  {12, "OBJ_SIPPROTOCOL_SIPNATKEEPALIVEENABLE", "sip_nat_keep_alive_enable", Codec::BOOL, IndexRule::SCALAR},
  {13, "OBJ_SIPPROTOCOL_SIPNATKEEPALIVEINTERVAL", "sip_nat_keep_alive_interval", Codec::U16, IndexRule::SCALAR},
  {14, "OBJ_SIPPROTOCOL_SIPNATKEEPALIVEDOMAINNAME", "sip_nat_keep_alive_domain_name", Codec::STRING, IndexRule::SCALAR},
  {15, "OBJ_SIPPROTOCOL_SIPNATKEEPALIVEMESSAGE", "sip_nat_keep_alive_message", Codec::STRING, IndexRule::SCALAR},
  {16, "OBJ_SIPPROTOCOL_SIPINFOHOOKFLASH", "sip_info_hookflash", Codec::BOOL, IndexRule::SCALAR},
  {17, "OBJ_SIPPROTOCOL_SIPINFOHOOKFLASHSTRING", "sip_info_hookflash_string", Codec::STRING, IndexRule::SCALAR},
  {18, "OBJ_SIPPROTOCOL_SIPINFOHOOKFLASHDURATION", "sip_info_hookflash_duration", Codec::I32, IndexRule::SCALAR},
};
// clang-format on

constexpr MappingTable kSipProtocolTimersScalarMapping =
    makeTable("SipProtocolTimersScalar", kSipProtocolTimersScalarRows);
constexpr MappingTable kSipResponseCodeScalarMapping =
    makeTable("SipResponseCodeScalar", kSipResponseCodeScalarRows);
constexpr MappingTable kSdpAudioCodecDynamicCodeScalarMapping =
    makeTable("SdpAudioCodecDynamicCodeScalar", kSdpAudioCodecDynamicCodeScalarRows);
constexpr MappingTable kSdpProtocolScalarMapping =
    makeTable("SdpProtocolScalar", kSdpProtocolScalarRows);
constexpr MappingTable kSdpAudioCodecScalarMapping =
    makeTable("SdpAudioCodecScalar", kSdpAudioCodecScalarRows);
constexpr MappingTable kRtpProtocolScalarMapping =
    makeTable("RtpProtocolScalar", kRtpProtocolScalarRows);
constexpr MappingTable kAudioSettingsScalarMapping =
    makeTable("AudioSettingsScalar", kAudioSettingsScalarRows);
constexpr MappingTable kSipProtocolScalarMapping =
    makeTable("SipProtocolScalar", kSipProtocolScalarRows);

}  // namespace mapping
