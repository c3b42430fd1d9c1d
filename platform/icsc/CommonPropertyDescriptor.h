// Descriptor records of the common card objects (card, status, control,
// download, sensors, errors, event tables, clocks, SFP): property id, label,
// type code, read-only flag, default value, length check, value check.
// A check returns 0 when acceptable, 1 otherwise; a null value check accepts
// everything.
#pragma once

#include <boost/any.hpp>
#include <cstddef>
#include <cstdint>
#include <string>

enum CommonPropertyType : uint32_t {
  CPT_U64 = 0,
  CPT_U32 = 1,
  CPT_U8 = 3,
  CPT_I32 = 5,
  CPT_BOOL = 8,
  CPT_STRING = 9,
};

struct CommonPropertyDescriptor {
  uint32_t propertyId;
  const char* label;
  uint32_t type;
  uint32_t readOnly;
  boost::any defaultValue;
  int (*lengthCheck)(uint32_t length);
  int (*valueCheck)(const boost::any& value);
  uint32_t reserved0;
  uint32_t reserved1;
};

// How many instances of an array's records the card serves: one, or one per
// registered sensor or error. Event tables are served through their own
// OIDs (ICardObjects), not as common objects.
enum CommonInstances : uint32_t {
  CI_EVENT_TABLE,
  CI_ONE,
  CI_TEMP_SENSORS,
  CI_VOLTAGES,
  CI_HW_ERRORS,
  CI_OPER_ALARMS,
};

struct CommonDescriptorArray {
  const char* name;
  const CommonPropertyDescriptor* records;
  size_t count;
  CommonInstances instances;
  // No hardware behind it on this card: every record reads its default and
  // every write is refused as read-only.
  bool noHardware;
};

namespace commondesc {

// This card's value checks of the control records: "BpClkRef" takes 0, 1,
// 2, 3 or 128; "GUID" exactly 36 letters, digits or '-'.
int checkBpClkRef(const boost::any& value);
int checkGuid(const boost::any& value);

// Length checks of the record types.
int lengthIs1(uint32_t len);
int lengthIs4(uint32_t len);
int lengthIs8(uint32_t len);
int lengthAtMost31(uint32_t len);
int lengthAtMost127(uint32_t len);
int lengthIs36(uint32_t len);
int anyLength(uint32_t len);

// What a record's length and value checks take, in words for a refusal
// ("at most 31 bytes", "0, 1, 2, 3 or 128"); empty for no check.
std::string lengthRule(const CommonPropertyDescriptor& rec);
std::string valueRule(const CommonPropertyDescriptor& rec);

// Every array, event tables 0-3 first. An array's index is its common
// object number in the OIDs (icscoid::common); the order never changes.
const CommonDescriptorArray* arrays();
size_t arrayCount();
const CommonDescriptorArray& eventTable(unsigned index);

// Lookups for clients and the console, by number or by key: a name or label
// compared in lower case with every run of other characters than letters
// and digits as one '-' and no '-' at the ends ("log-transfer",
// "temp-value"); a record also by the last words of its key when only one
// record ends so ("valid" for "temp-valid"). Null when unknown or an event
// table.
std::string key(const char* text);
const CommonDescriptorArray* findArray(const std::string& numberOrKey, unsigned* number = nullptr);
const CommonPropertyDescriptor* findRecord(const CommonDescriptorArray& array,
                                           const std::string& numberOrKey);

}  // namespace commondesc
