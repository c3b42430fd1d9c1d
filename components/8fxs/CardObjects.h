// The card object registry: owns the engine access, the card's status
// values, the error monitors and every ICSC object; registers the objects
// with the protocol engine and answers the four common event tables.
//
// Members are declared in construction order. Objects whose own classes
// have not joined yet are held as their generated bases (stored values
// only) so that all 50 are registered in their places.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "IcscObjects8fxs.h"
#include "errMon.h"
#include "icsc/CommonPropertyDescriptor.h"
#include "icsc/ICSCTlv.h"
#include "icsc/ICardObjects.h"
#include "icsc/IcscGeneratedBases.h"
#include "velm/Velm_util.h"
#include "vocalAlarmStatusTable.h"

class IcscProtocolIfc;
class LedInterface;

struct TemperatureRecord {
  int32_t temperature = 0;
  bool statusOk = false;
  bool statusKnown = false;
};

class CardObjects : public ICardObjects {
 public:
  static constexpr unsigned NBR_OF_TEMPERATURES = 5;
  static constexpr unsigned EVENT_TABLES = 4;

  CardObjects();
  ~CardObjects() override;
  CardObjects(const CardObjects&) = delete;
  CardObjects& operator=(const CardObjects&) = delete;

  bool handleTableObjects(const ICSCTlv* request, unsigned, ICSCTlv* response) override;
  bool isReady() override;
  const CommonPropertyDescriptor* getEventTableDescriptors(uint32_t oid) override;
  bool isValidEventTableOid(uint32_t oid) override;
  const uint32_t* getEventTableProperties() override;
  void registerObjects(IcscProtocolIfc* icsc) override;
  bool setBpClkReference(uint32_t value) override;
  uint32_t getBpClkReference() override;

  bool get_status_tempsensor(ICSCTlv* response, unsigned column, unsigned row);
  bool get_status_leds(ICSCTlv* response, unsigned column, unsigned row);
  // True once ADC, pca9552 and temperature status are valid and a power
  // monitor report arrived; stays true from then on.
  bool allDataValid();
  // Pins 0 and 1 (dummy and fail) are off in normal operation.
  bool switchOffCardLeds(LedInterface& leds);
  void dumpMembers(std::ostream& os) const;

  uint32_t getVocalAlarm() const { return m_vocalAlarm; }
  void setVocalAlarm(uint32_t word) { m_vocalAlarm = word; }
  Velm_util& velm() { return m_velm; }

  // Status values, cleared at construction, written by the controller.
  bool m_all_data_valid = false;
  bool m_adcStatusValid = false;
  bool m_pca9552StatusValid = false;
  bool m_max6602StatusValid = false;
  bool m_ntrStatusValid = false;
  int32_t m_pwrmonStatusValid = 0;  // power-monitor report count
  // Records 0..3: temperatures 1..4; record 4: the sensor's own temperature.
  TemperatureRecord m_temperatures[NBR_OF_TEMPERATURES];
  bool m_tempSelfTestFailed = false;
  int32_t m_power = 0;
  bool m_adcSelfTestFailed = false;

 private:
  Velm_util m_velm;
  // TODO: the firewall manager (Iptables) joins here with the provider
  // firewall; until then the account table keeps its base behaviour.
  AccountTableBase m_accountTableExt{kAccountTableDesc.rows};
  VoipProviderDefaultsTableBase m_voipProviderDefaultsTable{kVoipProviderDefaultsTableDesc.rows};
  AccountStatusTableBase m_accountStatusTable{kAccountStatusTableDesc.rows};
  SipServerConfigurationTableBase m_sipServerConfigurationTable{
      kSipServerConfigurationTableDesc.rows};
  IpbxHookflashTableBase m_ipbxHookflashTable{kIpbxHookflashTableDesc.rows};
  SlacImpedanceCommandsTableBase m_slacImpedanceCommandsTable{kSlacImpedanceCommandsTableDesc.rows};
  SubscriptionServiceSettingsTableBase m_subscriptionServiceSettingsTable{
      kSubscriptionServiceSettingsTableDesc.rows};
  PortConfigurationTableBase m_portConfigurationTable{kPortConfigurationTableDesc.rows};
  OperatingModeTableBase m_operatingModeTable{kOperatingModeTableDesc.rows};
  SpeedDialsTableBase m_speedDialsTable{kSpeedDialsTableDesc.rows};
  IpbxDialPublicExtSipTableBase m_ipbxDialPublicExtSipTable{kIpbxDialPublicExtSipTableDesc.rows};
  IpbxDialPublicExtRtpTableBase m_ipbxDialPublicExtRtpTable{kIpbxDialPublicExtRtpTableDesc.rows};
  CallForwardingTableBase m_callForwardingTable{kCallForwardingTableDesc.rows};
  CallForwardListTableBase m_callForwardListTable{kCallForwardListTableDesc.rows};
  DistinctiveRingListTableBase m_distinctiveRingListTable{kDistinctiveRingListTableDesc.rows};
  DistinctiveRingingTableBase m_distinctiveRingingTable{kDistinctiveRingingTableDesc.rows};
  DoNotDisturbTableBase m_doNotDisturbTable{kDoNotDisturbTableDesc.rows};
  IpbxDisturbAcceptListTableBase m_ipbxDisturbAcceptListTable{kIpbxDisturbAcceptListTableDesc.rows};
  CallBlockingTableBase m_callBlockingTable{kCallBlockingTableDesc.rows};
  CallBlockingListTableBase m_callBlockingListTable{kCallBlockingListTableDesc.rows};
  OutgoingBlockTableBase m_outgoingBlockTable{kOutgoingBlockTableDesc.rows};
  OutgoingBlockListTableBase m_outgoingBlockListTable{kOutgoingBlockListTableDesc.rows};
  CallerWaitingCallerIdTableBase m_callerWaitingCallerIdTable{kCallerWaitingCallerIdTableDesc.rows};
  MessageWaitingTableBase m_messageWaitingTable{kMessageWaitingTableDesc.rows};
  FeaturesCodesTableBase m_featuresCodesTable{kFeaturesCodesTableDesc.rows};
  IncomingCallHistoryStatusTableBase m_incomingCallHistoryStatusTable{
      kIncomingCallHistoryStatusTableDesc.rows};
  VocalAlarmStatusTable m_vocalAlarmStatusTable{this};
  IfmNetworkLinkConfigTableBase m_ifmNetworkLinkConfigTable{kIfmNetworkLinkConfigTableDesc.rows};
  IfmNetworkLinkStatusTableBase m_ifmNetworkLinkStatusTable{kIfmNetworkLinkStatusTableDesc.rows};
  IfmNetworkRouteConfigTableBase m_ifmNetworkRouteConfigTable{kIfmNetworkRouteConfigTableDesc.rows};
  IfmNetworkRouteStatusTableBase m_ifmNetworkRouteStatusTable{kIfmNetworkRouteStatusTableDesc.rows};
  SystemScalar m_systemScalar{&m_velm};
  SystemStatusScalar m_systemStatusScalar{&m_velm};
  AudioSettingsScalarBase m_audioSettingsScalar;
  RtpProtocolScalarBase m_rtpProtocolScalar;
  SdpProtocolScalarBase m_sdpProtocolScalar;
  SdpAudioCodecScalarBase m_sdpAudioCodecScalar;
  SdpAudioCodecDynamicCodeScalarBase m_sdpAudioCodecDynamicCodeScalar;
  SipProtocolScalarBase m_sipProtocolScalar;
  SipResponseCodeScalarBase m_sipResponseCodeScalar;
  SipProtocolTimersScalarBase m_sipProtocolTimersScalar;
  VoiceAndToneParametersScalarBase m_voiceAndToneParametersScalar;
  TimersScalar m_timersScalar{&m_velm};
  OtherScalar m_otherScalar{&m_velm};
  CallProgressTonesScalarBase m_callProgressTonesScalar;
  StandardRingingPatternsScalarBase m_standardRingingPatternsScalar;
  DistinctiveRingingPatternsScalarBase m_distinctiveRingingPatternsScalar;
  DistinctiveCallWaitingPatternsScalarBase m_distinctiveCallWaitingPatternsScalar;
  SlacConfigurationScalarBase m_slacConfigurationScalar;
  NetStatusScalar m_netStatusScalar{&m_velm};
  // TODO: the network manager client joins here with the network tables.

 public:
  errMon m_hwErrMon;
  errMon m_operErrMon;
  // The telephony engine's port status word (message 29).
  uint32_t m_vocalAlarm = 0;
};
