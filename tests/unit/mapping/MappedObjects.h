// Every velmora-mapped object class with the mapping it serves, the object
// description it must agree with, and a way to build one for a test.
#pragma once

#include <memory>
#include <ostream>
#include <vector>

#include "IcscObjects8fxs.h"

namespace mappedtest {

// How the second engine index of a class follows from row and column.
enum class Second { MINUS_ONE, ZERO, COLUMN, GROUP_LINE };

struct MappedClass {
  const char* name;
  const mapping::MappingTable* table;
  const IcscObjectDesc* desc;
  std::unique_ptr<IcscObject> (*make)(Velm_util*);
  bool status;    // refuses writes
  Second second;  // second-index rule
};

template <class T>
std::unique_ptr<IcscObject> makeObject(Velm_util* velm) {
  return std::make_unique<T>(velm);
}

#define MAPPED_CLASS(Name, status, second) \
  { #Name, &mapping::k##Name##Mapping, &k##Name##Desc, &makeObject < Name>, status, second }

inline const std::vector<MappedClass>& mappedClasses() {
  static const std::vector<MappedClass> all = {
      MAPPED_CLASS(AccountTable, false, Second::GROUP_LINE),
      MAPPED_CLASS(VoipProviderDefaultsTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(AccountStatusTable, true, Second::MINUS_ONE),
      MAPPED_CLASS(SipServerConfigurationTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(IpbxHookflashTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(SlacImpedanceCommandsTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(SubscriptionServiceSettingsTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(PortConfigurationTable, false, Second::ZERO),
      MAPPED_CLASS(OperatingModeTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(SpeedDialsTable, false, Second::COLUMN),
      MAPPED_CLASS(IpbxDialPublicExtSipTable, false, Second::COLUMN),
      MAPPED_CLASS(IpbxDialPublicExtRtpTable, false, Second::COLUMN),
      MAPPED_CLASS(CallForwardingTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(CallForwardListTable, false, Second::COLUMN),
      MAPPED_CLASS(DistinctiveRingListTable, false, Second::COLUMN),
      MAPPED_CLASS(DistinctiveRingingTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(DoNotDisturbTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(IpbxDisturbAcceptListTable, false, Second::COLUMN),
      MAPPED_CLASS(CallBlockingTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(CallBlockingListTable, false, Second::COLUMN),
      MAPPED_CLASS(OutgoingBlockTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(OutgoingBlockListTable, false, Second::COLUMN),
      MAPPED_CLASS(CallerWaitingCallerIdTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(MessageWaitingTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(FeaturesCodesTable, false, Second::MINUS_ONE),
      MAPPED_CLASS(IncomingCallHistoryStatusTable, true, Second::MINUS_ONE),
      MAPPED_CLASS(SystemScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(SystemStatusScalar, true, Second::MINUS_ONE),
      MAPPED_CLASS(AudioSettingsScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(RtpProtocolScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(SdpProtocolScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(SdpAudioCodecScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(SdpAudioCodecDynamicCodeScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(SipProtocolScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(SipResponseCodeScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(SipProtocolTimersScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(VoiceAndToneParametersScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(TimersScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(OtherScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(CallProgressTonesScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(StandardRingingPatternsScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(DistinctiveRingingPatternsScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(DistinctiveCallWaitingPatternsScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(SlacConfigurationScalar, false, Second::MINUS_ONE),
      MAPPED_CLASS(NetStatusScalar, true, Second::MINUS_ONE),
  };
  return all;
}

#undef MAPPED_CLASS

// The writable classes, or the status classes.
inline std::vector<MappedClass> mappedClasses(bool status) {
  std::vector<MappedClass> out;
  for (const MappedClass& c : mappedClasses()) {
    if (c.status == status)
      out.push_back(c);
  }
  return out;
}

// Short test names in ctest instead of the parameter's bytes.
inline void PrintTo(const MappedClass& c, std::ostream* os) {
  *os << c.name;
}

inline const MappedClass* findClass(const std::string& name) {
  for (const MappedClass& c : mappedClasses()) {
    if (name == c.name)
      return &c;
  }
  return nullptr;
}

}  // namespace mappedtest
