// The card object registry: owns the engine access, the card's status
// values, the error monitors and every ICSC object; registers the objects
// with the protocol engine and answers the four common event tables.
//
// Members are declared in construction order. The network tables reach the
// network manager and their sibling tables through NetManRegistry.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "AccountTableExt.h"
#include "CardObjectsDebug.h"
#include "IcscObjects8fxs.h"
#include "IcscObjectsNetMan.h"
#include "VelmDebug.h"
#include "errMon.h"
#include "icsc/CommonPropertyDescriptor.h"
#include "icsc/ICSCTlv.h"
#include "icsc/ICardObjects.h"
#include "icsc/IcscGeneratedBases.h"
#include "net/Iptables.h"
#include "net/NetworkManagerInterface.h"
#include "velm/Velm_util.h"
#include "vocalAlarmStatusTable.h"

class IcscProtocolIfc;
class LedInterface;

struct TemperatureRecord {
  int32_t temperature = 0;
  bool statusOk = false;
  bool statusKnown = false;
};

class CardObjects : public ICardObjects,
                    public CardObjectsDebug,
                    public VelmDebug,
                    public NetManRegistry {
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
  Iptables& iptables() { return m_iptables; }

  NetworkManagerInterface* getNetworkManager() override { return &m_networkManager; }
  IfmNetworkLinkConfigTableBase* getLinkConfigTable() override {
    return &m_ifmNetworkLinkConfigTable;
  }
  IfmNetworkRouteConfigTableBase* getRouteConfigTable() override {
    return &m_ifmNetworkRouteConfigTable;
  }

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
  friend struct CardObjectsDumpIds;  // maps the console's dump ids onto the objects
  Velm_util m_velm;
  Iptables m_iptables;
  AccountTableExt m_accountTableExt{&m_velm, &m_iptables};
  VoipProviderDefaultsTable m_voipProviderDefaultsTable{&m_velm};
  AccountStatusTable m_accountStatusTable{&m_velm};
  SipServerConfigurationTable m_sipServerConfigurationTable{&m_velm};
  IpbxHookflashTable m_ipbxHookflashTable{&m_velm};
  SlacImpedanceCommandsTable m_slacImpedanceCommandsTable{&m_velm};
  SubscriptionServiceSettingsTable m_subscriptionServiceSettingsTable{&m_velm};
  PortConfigurationTable m_portConfigurationTable{&m_velm};
  OperatingModeTable m_operatingModeTable{&m_velm};
  SpeedDialsTable m_speedDialsTable{&m_velm};
  IpbxDialPublicExtSipTable m_ipbxDialPublicExtSipTable{&m_velm};
  IpbxDialPublicExtRtpTable m_ipbxDialPublicExtRtpTable{&m_velm};
  CallForwardingTable m_callForwardingTable{&m_velm};
  CallForwardListTable m_callForwardListTable{&m_velm};
  DistinctiveRingListTable m_distinctiveRingListTable{&m_velm};
  DistinctiveRingingTable m_distinctiveRingingTable{&m_velm};
  DoNotDisturbTable m_doNotDisturbTable{&m_velm};
  IpbxDisturbAcceptListTable m_ipbxDisturbAcceptListTable{&m_velm};
  CallBlockingTable m_callBlockingTable{&m_velm};
  CallBlockingListTable m_callBlockingListTable{&m_velm};
  OutgoingBlockTable m_outgoingBlockTable{&m_velm};
  OutgoingBlockListTable m_outgoingBlockListTable{&m_velm};
  CallerWaitingCallerIdTable m_callerWaitingCallerIdTable{&m_velm};
  MessageWaitingTable m_messageWaitingTable{&m_velm};
  FeaturesCodesTable m_featuresCodesTable{&m_velm};
  IncomingCallHistoryStatusTable m_incomingCallHistoryStatusTable{&m_velm};
  VocalAlarmStatusTable m_vocalAlarmStatusTable{this};
  IfmNetworkLinkConfigTable m_ifmNetworkLinkConfigTable{this, &m_iptables};
  IfmNetworkLinkStatusTable m_ifmNetworkLinkStatusTable{this};
  IfmNetworkRouteConfigTable m_ifmNetworkRouteConfigTable{this};
  IfmNetworkRouteStatusTable m_ifmNetworkRouteStatusTable{this};
  SystemScalar m_systemScalar{&m_velm};
  SystemStatusScalar m_systemStatusScalar{&m_velm};
  AudioSettingsScalar m_audioSettingsScalar{&m_velm};
  RtpProtocolScalar m_rtpProtocolScalar{&m_velm};
  SdpProtocolScalar m_sdpProtocolScalar{&m_velm};
  SdpAudioCodecScalar m_sdpAudioCodecScalar{&m_velm};
  SdpAudioCodecDynamicCodeScalar m_sdpAudioCodecDynamicCodeScalar{&m_velm};
  SipProtocolScalar m_sipProtocolScalar{&m_velm};
  SipResponseCodeScalar m_sipResponseCodeScalar{&m_velm};
  SipProtocolTimersScalar m_sipProtocolTimersScalar{&m_velm};
  VoiceAndToneParametersScalar m_voiceAndToneParametersScalar{&m_velm};
  TimersScalar m_timersScalar{&m_velm};
  OtherScalar m_otherScalar{&m_velm};
  CallProgressTonesScalar m_callProgressTonesScalar{&m_velm};
  StandardRingingPatternsScalar m_standardRingingPatternsScalar{&m_velm};
  DistinctiveRingingPatternsScalar m_distinctiveRingingPatternsScalar{&m_velm};
  DistinctiveCallWaitingPatternsScalar m_distinctiveCallWaitingPatternsScalar{&m_velm};
  SlacConfigurationScalar m_slacConfigurationScalar{&m_velm};
  NetStatusScalar m_netStatusScalar{&m_velm};
  // Used by the tables above only after construction, so it may follow them.
  NetworkManagerInterface m_networkManager;

 public:
  errMon m_hwErrMon;
  errMon m_operErrMon;
  // The telephony engine's port status word (message 29).
  uint32_t m_vocalAlarm = 0;
};
