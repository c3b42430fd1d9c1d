// Mapping rows of the tone, ringing and line-interface scalars. Every
// parameter is (-1, -1): one value of each line-interface setting serves
// all ports.
#pragma once

#include "mappings/MappingRow.h"

namespace mapping {

// clang-format off
constexpr MappingRow kVoiceAndToneParametersScalarRows[] = {
  {0, "OBJ_VOICEANDTONEPARAMETERS_IPBXVOICERXGAIN", "ipbx_voice_rx_gain", Codec::I8, IndexRule::SCALAR},
  {1, "OBJ_VOICEANDTONEPARAMETERS_IPBXVOICETXGAIN", "ipbx_voice_tx_gain", Codec::I8, IndexRule::SCALAR},
  {2, "OBJ_VOICEANDTONEPARAMETERS_IPBXTONEGAIN", "ipbx_tone_gain", Codec::I8, IndexRule::SCALAR},
  {3, "OBJ_VOICEANDTONEPARAMETERS_IPBXTONEMAX", "ipbx_tone_max", Codec::I8, IndexRule::SCALAR},
  {4, "OBJ_VOICEANDTONEPARAMETERS_DTMFLOWTONEGAIN", "dtmf_low_tone_gain", Codec::I8, IndexRule::SCALAR},
  {5, "OBJ_VOICEANDTONEPARAMETERS_DTMFHIGHTONEGAIN", "dtmf_high_tone_gain", Codec::I8, IndexRule::SCALAR},
  {6, "OBJ_VOICEANDTONEPARAMETERS_DTMFTONEONTIME", "dtmf_tone_on_time", Codec::U8, IndexRule::SCALAR},
  {7, "OBJ_VOICEANDTONEPARAMETERS_DTMFTONEOFFTIME", "dtmf_tone_off_time", Codec::U8, IndexRule::SCALAR},
  {8, "OBJ_VOICEANDTONEPARAMETERS_DTMFDETECTABCD", "dtmf_detect_abcd", Codec::BOOL, IndexRule::SCALAR},
  {9, "OBJ_VOICEANDTONEPARAMETERS_DTMFGENERATEABCD", "dtmf_generate_abcd", Codec::BOOL, IndexRule::SCALAR},
  {10, "OBJ_VOICEANDTONEPARAMETERS_DTMFPADDURATION", "dtmf_pad_duration", Codec::U32, IndexRule::SCALAR},
  {11, "OBJ_VOICEANDTONEPARAMETERS_DTMFWAITDURATION", "dtmf_wait_duration", Codec::U32, IndexRule::SCALAR},
  {12, "OBJ_VOICEANDTONEPARAMETERS_DTMFPLAYOUTMINDURATION", "dtmf_playout_min_duration", Codec::U32, IndexRule::SCALAR},
};

constexpr MappingRow kSlacConfigurationScalarRows[] = {
  {0, "OBJ_SLACCONFIGURATION_SLACPORTIMPEDANCE", "slac_port_impedance", Codec::U8, IndexRule::SCALAR},
  {1, "OBJ_SLACCONFIGURATION_SLACPORTRXGAIN", "slac_port_rx_gain", Codec::I8, IndexRule::SCALAR},
  {2, "OBJ_SLACCONFIGURATION_SLACPORTTXGAIN", "slac_port_tx_gain", Codec::I8, IndexRule::SCALAR},
  {3, "OBJ_SLACCONFIGURATION_SLACAUDIOCLAMPDURATION", "slac_audio_clamp_duration", Codec::U16, IndexRule::SCALAR},
  {4, "OBJ_SLACCONFIGURATION_SLACCALLERIDTYPE1MODE", "slac_caller_id_type_1_mode", Codec::U8, IndexRule::SCALAR},
  {5, "OBJ_SLACCONFIGURATION_SLACCALLERIDTYPE2MODE", "slac_caller_id_type_2_mode", Codec::U8, IndexRule::SCALAR},
  {6, "OBJ_SLACCONFIGURATION_SLACMESSAGEWAITINGMODE", "slac_message_waiting_mode", Codec::U8, IndexRule::SCALAR},
  {7, "OBJ_SLACCONFIGURATION_SLACDTMFCALLERIDSTARTCODE", "slac_dtmf_caller_id_start_code", Codec::U8, IndexRule::SCALAR},
  {8, "OBJ_SLACCONFIGURATION_SLACDTMFCALLERIDENDCODE", "slac_dtmf_caller_id_end_code", Codec::U8, IndexRule::SCALAR},
  {9, "OBJ_SLACCONFIGURATION_SLACDTMFCALLERIDPOLARITYREVERSAL", "slac_dtmf_caller_id_polarity_reversal", Codec::BOOL, IndexRule::SCALAR},
  {10, "OBJ_SLACCONFIGURATION_SLACRINGTYPE", "slac_ring_type", Codec::BOOL, IndexRule::SCALAR},
  {11, "OBJ_SLACCONFIGURATION_SLACRINGFREQUENCY", "slac_ring_frequency", Codec::U8, IndexRule::SCALAR},
  {12, "OBJ_SLACCONFIGURATION_SLACRINGTRANSITION", "slac_ring_transition", Codec::U32, IndexRule::SCALAR},
  {13, "OBJ_SLACCONFIGURATION_SLACRINGAMPLITUDE", "slac_ring_amplitude", Codec::I16, IndexRule::SCALAR},
  {14, "OBJ_SLACCONFIGURATION_SLACRINGBIAS", "slac_ring_bias", Codec::I16, IndexRule::SCALAR},
  {15, "OBJ_SLACCONFIGURATION_SLACMESSAGEWAITINGTYPE", "slac_message_waiting_type", Codec::BOOL, IndexRule::SCALAR},
  {16, "OBJ_SLACCONFIGURATION_SLACMESSAGEWAITINGFREQUENCY", "slac_message_waiting_frequency", Codec::U8, IndexRule::SCALAR},
  {17, "OBJ_SLACCONFIGURATION_SLACMESSAGEWAITINGTRANSITION", "slac_message_waiting_transition", Codec::U8, IndexRule::SCALAR},
  {18, "OBJ_SLACCONFIGURATION_SLACMESSAGEWAITINGAMPLITUDE", "slac_message_waiting_amplitude", Codec::U8, IndexRule::SCALAR},
  {19, "OBJ_SLACCONFIGURATION_SLACMESSAGEWAITINGBIAS", "slac_message_waiting_bias", Codec::I16, IndexRule::SCALAR},
};

constexpr MappingRow kCallProgressTonesScalarRows[] = {
  {0, "OBJ_CALLPROGRESSTONES_IPBXINITIALDIALTONE", "ipbx_initial_dial_tone", Codec::STRING, IndexRule::SCALAR},
  {1, "OBJ_CALLPROGRESSTONES_IPBXALTERNATEDIALTONE", "ipbx_alternate_dial_tone", Codec::STRING, IndexRule::SCALAR},
  {2, "OBJ_CALLPROGRESSTONES_IPBXSECONDARYDIALTONE", "ipbx_secondary_dial_tone", Codec::STRING, IndexRule::SCALAR},
  {3, "OBJ_CALLPROGRESSTONES_IPBXSTUTTEREDDIALTONE", "ipbx_stuttered_dial_tone", Codec::STRING, IndexRule::SCALAR},
  {4, "OBJ_CALLPROGRESSTONES_IPBXMESSAGEWAITDIALTONE", "ipbx_message_wait_dial_tone", Codec::STRING, IndexRule::SCALAR},
  {5, "OBJ_CALLPROGRESSTONES_IPBXCALLFORWARDDIALTONE", "ipbx_call_forward_dial_tone", Codec::STRING, IndexRule::SCALAR},
  {6, "OBJ_CALLPROGRESSTONES_IPBXPRERINGBACKTONE", "ipbx_pre_ringback_tone", Codec::STRING, IndexRule::SCALAR},
  {7, "OBJ_CALLPROGRESSTONES_IPBXRINGBACKTONE", "ipbx_ringback_tone", Codec::STRING, IndexRule::SCALAR},
  {8, "OBJ_CALLPROGRESSTONES_IPBXCALLWAITINGTONEDEFAULT", "ipbx_call_waiting_tone_default", Codec::STRING, IndexRule::SCALAR},
  {9, "OBJ_CALLPROGRESSTONES_IPBXCALLHOLDINGTONE", "ipbx_call_holding_tone", Codec::STRING, IndexRule::SCALAR},
  {10, "OBJ_CALLPROGRESSTONES_IPBXCALLHOLDDISCONNECTTONE", "ipbx_call_hold_disconnect_tone", Codec::STRING, IndexRule::SCALAR},
  {11, "OBJ_CALLPROGRESSTONES_IPBXCALLDISCONNECTTONE", "ipbx_call_disconnect_tone", Codec::STRING, IndexRule::SCALAR},
  {12, "OBJ_CALLPROGRESSTONES_IPBXCALLCONFERENCETONE", "ipbx_call_conference_tone", Codec::STRING, IndexRule::SCALAR},
  {13, "OBJ_CALLPROGRESSTONES_IPBXBUSYTONE", "ipbx_busy_tone", Codec::STRING, IndexRule::SCALAR},
  {14, "OBJ_CALLPROGRESSTONES_IPBXREORDERTONE", "ipbx_reorder_tone", Codec::STRING, IndexRule::SCALAR},
  {15, "OBJ_CALLPROGRESSTONES_IPBXOFFHOOKWARNINGTONE", "ipbx_off_hook_warning_tone", Codec::STRING, IndexRule::SCALAR},
  {16, "OBJ_CALLPROGRESSTONES_IPBXSIT1TONE", "ipbx_sit1_tone", Codec::STRING, IndexRule::SCALAR},
  {17, "OBJ_CALLPROGRESSTONES_IPBXSIT2TONE", "ipbx_sit2_tone", Codec::STRING, IndexRule::SCALAR},
  {18, "OBJ_CALLPROGRESSTONES_IPBXSIT3TONE", "ipbx_sit3_tone", Codec::STRING, IndexRule::SCALAR},
  {19, "OBJ_CALLPROGRESSTONES_IPBXSIT4TONE", "ipbx_sit4_tone", Codec::STRING, IndexRule::SCALAR},
  {20, "OBJ_CALLPROGRESSTONES_IPBXPROMPTTONE", "ipbx_prompt_tone", Codec::STRING, IndexRule::SCALAR},
  {21, "OBJ_CALLPROGRESSTONES_IPBXCONFIRMTONE", "ipbx_confirm_tone", Codec::STRING, IndexRule::SCALAR},
  {22, "OBJ_CALLPROGRESSTONES_IPBXINPUTERRORTONE", "ipbx_input_error_tone", Codec::STRING, IndexRule::SCALAR},
  {23, "OBJ_CALLPROGRESSTONES_IPBXNUMBERERRORTONE", "ipbx_number_error_tone", Codec::STRING, IndexRule::SCALAR},
};

constexpr MappingRow kStandardRingingPatternsScalarRows[] = {
  {0, "OBJ_STANDARDRINGINGPATTERNS_IPBXCALLRINGDEFAULT", "ipbx_call_ring_default", Codec::STRING, IndexRule::SCALAR},
  {1, "OBJ_STANDARDRINGINGPATTERNS_IPBXCALLHOLDINGRERING", "ipbx_call_holding_rering", Codec::STRING, IndexRule::SCALAR},
  {2, "OBJ_STANDARDRINGINGPATTERNS_IPBXCALLBACKRING", "ipbx_call_back_ring", Codec::STRING, IndexRule::SCALAR},
  {3, "OBJ_STANDARDRINGINGPATTERNS_IPBXCALLBACKRINGSPLASH", "ipbx_call_back_ring_splash", Codec::STRING, IndexRule::SCALAR},
  {4, "OBJ_STANDARDRINGINGPATTERNS_IPBXCALLFORWARDRINGSPLASH", "ipbx_call_forward_ring_splash", Codec::STRING, IndexRule::SCALAR},
  {5, "OBJ_STANDARDRINGINGPATTERNS_IPBXMESSAGEWAITINGRINGSPLASH", "ipbx_message_waiting_ring_splash", Codec::STRING, IndexRule::SCALAR},
};

constexpr MappingRow kDistinctiveRingingPatternsScalarRows[] = {
  {0, "OBJ_DISTINCTIVERINGINGPATTERNS_IPBXDISTINCTIVERING1", "ipbx_distinctive_ring_1", Codec::STRING, IndexRule::SCALAR},
  {1, "OBJ_DISTINCTIVERINGINGPATTERNS_IPBXDISTINCTIVERING2", "ipbx_distinctive_ring_2", Codec::STRING, IndexRule::SCALAR},
  {2, "OBJ_DISTINCTIVERINGINGPATTERNS_IPBXDISTINCTIVERING3", "ipbx_distinctive_ring_3", Codec::STRING, IndexRule::SCALAR},
  {3, "OBJ_DISTINCTIVERINGINGPATTERNS_IPBXDISTINCTIVERING4", "ipbx_distinctive_ring_4", Codec::STRING, IndexRule::SCALAR},
  {4, "OBJ_DISTINCTIVERINGINGPATTERNS_IPBXDISTINCTIVERING5", "ipbx_distinctive_ring_5", Codec::STRING, IndexRule::SCALAR},
  {5, "OBJ_DISTINCTIVERINGINGPATTERNS_IPBXDISTINCTIVERING6", "ipbx_distinctive_ring_6", Codec::STRING, IndexRule::SCALAR},
  {6, "OBJ_DISTINCTIVERINGINGPATTERNS_IPBXDISTINCTIVERING7", "ipbx_distinctive_ring_7", Codec::STRING, IndexRule::SCALAR},
  {7, "OBJ_DISTINCTIVERINGINGPATTERNS_IPBXDISTINCTIVERING8", "ipbx_distinctive_ring_8", Codec::STRING, IndexRule::SCALAR},
};

constexpr MappingRow kDistinctiveCallWaitingPatternsScalarRows[] = {
  {0, "OBJ_DISTINCTIVECALLWAITINGPATTERNS_IPBXCALLWAITINGTONE1", "ipbx_call_waiting_tone_1", Codec::STRING, IndexRule::SCALAR},
  {1, "OBJ_DISTINCTIVECALLWAITINGPATTERNS_IPBXCALLWAITINGTONE2", "ipbx_call_waiting_tone_2", Codec::STRING, IndexRule::SCALAR},
  {2, "OBJ_DISTINCTIVECALLWAITINGPATTERNS_IPBXCALLWAITINGTONE3", "ipbx_call_waiting_tone_3", Codec::STRING, IndexRule::SCALAR},
  {3, "OBJ_DISTINCTIVECALLWAITINGPATTERNS_IPBXCALLWAITINGTONE4", "ipbx_call_waiting_tone_4", Codec::STRING, IndexRule::SCALAR},
  {4, "OBJ_DISTINCTIVECALLWAITINGPATTERNS_IPBXCALLWAITINGTONE5", "ipbx_call_waiting_tone_5", Codec::STRING, IndexRule::SCALAR},
  {5, "OBJ_DISTINCTIVECALLWAITINGPATTERNS_IPBXCALLWAITINGTONE6", "ipbx_call_waiting_tone_6", Codec::STRING, IndexRule::SCALAR},
  {6, "OBJ_DISTINCTIVECALLWAITINGPATTERNS_IPBXCALLWAITINGTONE7", "ipbx_call_waiting_tone_7", Codec::STRING, IndexRule::SCALAR},
  {7, "OBJ_DISTINCTIVECALLWAITINGPATTERNS_IPBXCALLWAITINGTONE8", "ipbx_call_waiting_tone_8", Codec::STRING, IndexRule::SCALAR},
};
// clang-format on

constexpr MappingTable kVoiceAndToneParametersScalarMapping =
    makeTable("VoiceAndToneParametersScalar", kVoiceAndToneParametersScalarRows);
constexpr MappingTable kSlacConfigurationScalarMapping =
    makeTable("SlacConfigurationScalar", kSlacConfigurationScalarRows);
constexpr MappingTable kCallProgressTonesScalarMapping =
    makeTable("CallProgressTonesScalar", kCallProgressTonesScalarRows);
constexpr MappingTable kStandardRingingPatternsScalarMapping =
    makeTable("StandardRingingPatternsScalar", kStandardRingingPatternsScalarRows);
constexpr MappingTable kDistinctiveRingingPatternsScalarMapping =
    makeTable("DistinctiveRingingPatternsScalar", kDistinctiveRingingPatternsScalarRows);
constexpr MappingTable kDistinctiveCallWaitingPatternsScalarMapping =
    makeTable("DistinctiveCallWaitingPatternsScalar", kDistinctiveCallWaitingPatternsScalarRows);

}  // namespace mapping
