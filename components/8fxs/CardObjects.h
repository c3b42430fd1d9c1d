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
#include <vector>

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

// Every ICSC object of the card, in construction order, with its id in the
// "card dump" command (the engineers' numbering: tables and scalars apart,
// the network tables at 50..53). VELM objects are the velmora-mapped
// classes, built with the engine access; OWN objects name their
// constructor arguments. Registration follows the object descriptions.
// clang-format off
#define FXS_CARD_OBJECTS(VELM, OWN) \
  OWN( AccountTableExt,                      m_accountTableExt,                      0, (&m_velm, &m_iptables)) \
  VELM(VoipProviderDefaultsTable,            m_voipProviderDefaultsTable,            1)                         \
  VELM(AccountStatusTable,                   m_accountStatusTable,                   2)                         \
  VELM(SipServerConfigurationTable,          m_sipServerConfigurationTable,          3)                         \
  VELM(IpbxHookflashTable,                   m_ipbxHookflashTable,                   4)                         \
  VELM(SlacImpedanceCommandsTable,           m_slacImpedanceCommandsTable,           5)                         \
  VELM(SubscriptionServiceSettingsTable,     m_subscriptionServiceSettingsTable,     6)                         \
  VELM(PortConfigurationTable,               m_portConfigurationTable,               7)                         \
  VELM(OperatingModeTable,                   m_operatingModeTable,                   8)                         \
  VELM(SpeedDialsTable,                      m_speedDialsTable,                      9)                         \
  VELM(IpbxDialPublicExtSipTable,            m_ipbxDialPublicExtSipTable,            10)                        \
  VELM(IpbxDialPublicExtRtpTable,            m_ipbxDialPublicExtRtpTable,            11)                        \
  VELM(CallForwardingTable,                  m_callForwardingTable,                  12)                        \
  VELM(CallForwardListTable,                 m_callForwardListTable,                 13)                        \
  VELM(DistinctiveRingListTable,             m_distinctiveRingListTable,             14)                        \
  VELM(DistinctiveRingingTable,              m_distinctiveRingingTable,              15)                        \
  VELM(DoNotDisturbTable,                    m_doNotDisturbTable,                    16)                        \
  VELM(IpbxDisturbAcceptListTable,           m_ipbxDisturbAcceptListTable,           17)                        \
  VELM(CallBlockingTable,                    m_callBlockingTable,                    18)                        \
  VELM(CallBlockingListTable,                m_callBlockingListTable,                19)                        \
  VELM(OutgoingBlockTable,                   m_outgoingBlockTable,                   20)                        \
  VELM(OutgoingBlockListTable,               m_outgoingBlockListTable,               21)                        \
  VELM(CallerWaitingCallerIdTable,           m_callerWaitingCallerIdTable,           22)                        \
  VELM(MessageWaitingTable,                  m_messageWaitingTable,                  23)                        \
  VELM(FeaturesCodesTable,                   m_featuresCodesTable,                   24)                        \
  VELM(IncomingCallHistoryStatusTable,       m_incomingCallHistoryStatusTable,       25)                        \
  OWN( VocalAlarmStatusTable,                m_vocalAlarmStatusTable,                26, (this))                \
  OWN( IfmNetworkLinkConfigTable,            m_ifmNetworkLinkConfigTable,            50, (this, &m_iptables))   \
  OWN( IfmNetworkLinkStatusTable,            m_ifmNetworkLinkStatusTable,            51, (this))                \
  OWN( IfmNetworkRouteConfigTable,           m_ifmNetworkRouteConfigTable,           52, (this))                \
  OWN( IfmNetworkRouteStatusTable,           m_ifmNetworkRouteStatusTable,           53, (this))                \
  VELM(SystemScalar,                         m_systemScalar,                         0)                         \
  VELM(SystemStatusScalar,                   m_systemStatusScalar,                   1)                         \
  VELM(AudioSettingsScalar,                  m_audioSettingsScalar,                  2)                         \
  VELM(RtpProtocolScalar,                    m_rtpProtocolScalar,                    3)                         \
  VELM(SdpProtocolScalar,                    m_sdpProtocolScalar,                    4)                         \
  VELM(SdpAudioCodecScalar,                  m_sdpAudioCodecScalar,                  5)                         \
  VELM(SdpAudioCodecDynamicCodeScalar,       m_sdpAudioCodecDynamicCodeScalar,       6)                         \
  VELM(SipProtocolScalar,                    m_sipProtocolScalar,                    7)                         \
  VELM(SipResponseCodeScalar,                m_sipResponseCodeScalar,                8)                         \
  VELM(SipProtocolTimersScalar,              m_sipProtocolTimersScalar,              9)                         \
  VELM(VoiceAndToneParametersScalar,         m_voiceAndToneParametersScalar,         10)                        \
  VELM(TimersScalar,                         m_timersScalar,                         11)                        \
  VELM(OtherScalar,                          m_otherScalar,                          12)                        \
  VELM(CallProgressTonesScalar,              m_callProgressTonesScalar,              13)                        \
  VELM(StandardRingingPatternsScalar,        m_standardRingingPatternsScalar,        14)                        \
  VELM(DistinctiveRingingPatternsScalar,     m_distinctiveRingingPatternsScalar,     15)                        \
  VELM(DistinctiveCallWaitingPatternsScalar, m_distinctiveCallWaitingPatternsScalar, 16)                        \
  VELM(SlacConfigurationScalar,              m_slacConfigurationScalar,              17)                        \
  VELM(NetStatusScalar,                      m_netStatusScalar,                      18)
// clang-format on

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
  // Every object of FXS_CARD_OBJECTS, in its order.
  std::vector<IcscObject*> objects();

  Velm_util m_velm;
  Iptables m_iptables;
#define FXS_VELM_MEMBER_(Class, member, dumpId) Class member{&m_velm};
#define FXS_OWN_MEMBER_(Class, member, dumpId, args) Class member{FXS_ARGS_ args};
#define FXS_ARGS_(...) __VA_ARGS__
  FXS_CARD_OBJECTS(FXS_VELM_MEMBER_, FXS_OWN_MEMBER_)
#undef FXS_VELM_MEMBER_
#undef FXS_OWN_MEMBER_
#undef FXS_ARGS_
  // Used by the tables above only after construction, so it may follow them.
  NetworkManagerInterface m_networkManager;

 public:
  errMon m_hwErrMon;
  errMon m_operErrMon;
  // The telephony engine's port status word (message 29).
  uint32_t m_vocalAlarm = 0;
};
