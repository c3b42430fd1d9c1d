// The card's velmora-mapped ICSC objects. Each class derives from its
// generated base, holds the registry's Velm_util and serves update/updated
// through the generic mapping engine below from its MappingTable
// (mappings/). Status objects refuse writes.
#pragma once

#include <string>

#include "icsc/IcscGeneratedBases.h"
#include "mappings/AccountTables.h"
#include "mappings/FeatureCodes.h"
#include "mappings/LineTables.h"
#include "mappings/ListTables.h"
#include "mappings/MappingRow.h"
#include "mappings/ProtocolScalars.h"
#include "mappings/ServiceTables.h"
#include "mappings/SystemScalars.h"
#include "mappings/ToneScalars.h"

class Velm_util;

namespace mapping {

// The read direction: engine text -> property of `row`.
bool update(const MappingTable& table, IcscObject& obj, Velm_util* velm, IcscProperty* prop,
            unsigned row);
// The write direction: property of `row` -> engine text.
bool updated(const MappingTable& table, IcscObject& obj, Velm_util* velm, IcscProperty* prop,
             unsigned row);
// A status object's refusal of a write.
bool updated(const char* className, IcscProperty* prop, unsigned row);

// Conversions, exposed for tests. Numbers follow the card's 32-bit C
// library: strtoul/strtol with base 0, saturating at the 32-bit limits.
uint32_t parseUnsigned(const std::string& text);
int32_t parseSigned(const std::string& text);
bool textToProperty(Codec codec, const std::string& text, IcscProperty& prop);
bool propertyToText(Codec codec, const IcscProperty& prop, std::string& text);

// The row serving `column`, or null.
const MappingRow* findRow(const MappingTable& table, unsigned column);

}  // namespace mapping

#define ICSC_VELM_CLASS_BODY_(Name, Mapping)                   \
 public:                                                       \
  bool update(IcscProperty* prop, unsigned row) override {     \
    return mapping::update(Mapping, *this, m_velm, prop, row); \
  }                                                            \
                                                               \
 private:                                                      \
  Velm_util* m_velm;

#define ICSC_VELM_SCALAR(Name, Mapping)                           \
  class Name : public Name##Base {                                \
   public:                                                        \
    explicit Name(Velm_util* velm) : m_velm(velm) {}              \
    bool updated(IcscProperty* prop, unsigned row) override {     \
      return mapping::updated(Mapping, *this, m_velm, prop, row); \
    }                                                             \
    ICSC_VELM_CLASS_BODY_(Name, Mapping)                          \
  };

#define ICSC_VELM_TABLE(Name, Mapping)                                               \
  class Name : public Name##Base {                                                   \
   public:                                                                           \
    explicit Name(Velm_util* velm) : Name##Base(k##Name##Desc.rows), m_velm(velm) {} \
    bool updated(IcscProperty* prop, unsigned row) override {                        \
      return mapping::updated(Mapping, *this, m_velm, prop, row);                    \
    }                                                                                \
    ICSC_VELM_CLASS_BODY_(Name, Mapping)                                             \
  };

#define ICSC_VELM_STATUS_SCALAR(Name, Mapping)                \
  class Name : public Name##Base {                            \
   public:                                                    \
    explicit Name(Velm_util* velm) : m_velm(velm) {}          \
    bool updated(IcscProperty* prop, unsigned row) override { \
      return mapping::updated(Mapping.className, prop, row);  \
    }                                                         \
    ICSC_VELM_CLASS_BODY_(Name, Mapping)                      \
  };

#define ICSC_VELM_STATUS_TABLE(Name, Mapping)                                        \
  class Name : public Name##Base {                                                   \
   public:                                                                           \
    explicit Name(Velm_util* velm) : Name##Base(k##Name##Desc.rows), m_velm(velm) {} \
    bool updated(IcscProperty* prop, unsigned row) override {                        \
      return mapping::updated(Mapping.className, prop, row);                         \
    }                                                                                \
    ICSC_VELM_CLASS_BODY_(Name, Mapping)                                             \
  };

ICSC_VELM_SCALAR(SystemScalar, mapping::kSystemScalarMapping)
ICSC_VELM_STATUS_SCALAR(SystemStatusScalar, mapping::kSystemStatusScalarMapping)
ICSC_VELM_STATUS_SCALAR(NetStatusScalar, mapping::kNetStatusScalarMapping)
ICSC_VELM_SCALAR(OtherScalar, mapping::kOtherScalarMapping)
ICSC_VELM_SCALAR(TimersScalar, mapping::kTimersScalarMapping)

ICSC_VELM_SCALAR(SipProtocolTimersScalar, mapping::kSipProtocolTimersScalarMapping)
ICSC_VELM_SCALAR(SipResponseCodeScalar, mapping::kSipResponseCodeScalarMapping)
ICSC_VELM_SCALAR(SdpAudioCodecDynamicCodeScalar, mapping::kSdpAudioCodecDynamicCodeScalarMapping)
ICSC_VELM_SCALAR(SdpProtocolScalar, mapping::kSdpProtocolScalarMapping)
ICSC_VELM_SCALAR(SdpAudioCodecScalar, mapping::kSdpAudioCodecScalarMapping)
ICSC_VELM_SCALAR(RtpProtocolScalar, mapping::kRtpProtocolScalarMapping)
ICSC_VELM_SCALAR(AudioSettingsScalar, mapping::kAudioSettingsScalarMapping)
ICSC_VELM_SCALAR(SipProtocolScalar, mapping::kSipProtocolScalarMapping)

ICSC_VELM_SCALAR(VoiceAndToneParametersScalar, mapping::kVoiceAndToneParametersScalarMapping)
ICSC_VELM_SCALAR(SlacConfigurationScalar, mapping::kSlacConfigurationScalarMapping)
ICSC_VELM_SCALAR(CallProgressTonesScalar, mapping::kCallProgressTonesScalarMapping)
ICSC_VELM_SCALAR(StandardRingingPatternsScalar, mapping::kStandardRingingPatternsScalarMapping)
ICSC_VELM_SCALAR(DistinctiveRingingPatternsScalar,
                 mapping::kDistinctiveRingingPatternsScalarMapping)
ICSC_VELM_SCALAR(DistinctiveCallWaitingPatternsScalar,
                 mapping::kDistinctiveCallWaitingPatternsScalarMapping)

ICSC_VELM_TABLE(PortConfigurationTable, mapping::kPortConfigurationTableMapping)
ICSC_VELM_TABLE(OperatingModeTable, mapping::kOperatingModeTableMapping)
ICSC_VELM_TABLE(SlacImpedanceCommandsTable, mapping::kSlacImpedanceCommandsTableMapping)

ICSC_VELM_TABLE(SubscriptionServiceSettingsTable, mapping::kSubscriptionServiceSettingsTableMapping)
ICSC_VELM_TABLE(CallForwardingTable, mapping::kCallForwardingTableMapping)
ICSC_VELM_TABLE(DoNotDisturbTable, mapping::kDoNotDisturbTableMapping)
ICSC_VELM_TABLE(CallBlockingTable, mapping::kCallBlockingTableMapping)
ICSC_VELM_TABLE(OutgoingBlockTable, mapping::kOutgoingBlockTableMapping)
ICSC_VELM_TABLE(CallerWaitingCallerIdTable, mapping::kCallerWaitingCallerIdTableMapping)
ICSC_VELM_TABLE(MessageWaitingTable, mapping::kMessageWaitingTableMapping)
ICSC_VELM_TABLE(DistinctiveRingingTable, mapping::kDistinctiveRingingTableMapping)
ICSC_VELM_TABLE(IpbxHookflashTable, mapping::kIpbxHookflashTableMapping)

ICSC_VELM_TABLE(SpeedDialsTable, mapping::kSpeedDialsTableMapping)
ICSC_VELM_TABLE(IpbxDialPublicExtSipTable, mapping::kIpbxDialPublicExtSipTableMapping)
ICSC_VELM_TABLE(IpbxDialPublicExtRtpTable, mapping::kIpbxDialPublicExtRtpTableMapping)
ICSC_VELM_TABLE(CallForwardListTable, mapping::kCallForwardListTableMapping)
ICSC_VELM_TABLE(DistinctiveRingListTable, mapping::kDistinctiveRingListTableMapping)
ICSC_VELM_TABLE(IpbxDisturbAcceptListTable, mapping::kIpbxDisturbAcceptListTableMapping)
ICSC_VELM_TABLE(CallBlockingListTable, mapping::kCallBlockingListTableMapping)
ICSC_VELM_TABLE(OutgoingBlockListTable, mapping::kOutgoingBlockListTableMapping)

// Registered as AccountTableExt, which adds the provider firewall on top.
ICSC_VELM_TABLE(AccountTable, mapping::kAccountTableMapping)
ICSC_VELM_TABLE(VoipProviderDefaultsTable, mapping::kVoipProviderDefaultsTableMapping)
ICSC_VELM_STATUS_TABLE(AccountStatusTable, mapping::kAccountStatusTableMapping)
ICSC_VELM_TABLE(SipServerConfigurationTable, mapping::kSipServerConfigurationTableMapping)
ICSC_VELM_STATUS_TABLE(IncomingCallHistoryStatusTable,
                       mapping::kIncomingCallHistoryStatusTableMapping)

ICSC_VELM_TABLE(FeaturesCodesTable, mapping::kFeaturesCodesTableMapping)
