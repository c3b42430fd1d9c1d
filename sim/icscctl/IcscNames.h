// Names of the card's cells as the chassis engineer types and reads them:
// object, column and common record lookups that say what is allowed when a
// name is unknown, and the name of any answered cell. Everything comes from
// the object descriptions and the common descriptor arrays, as on the card.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "icsc/CommonPropertyDescriptor.h"
#include "icsc/ICSCTlv.h"
#include "icsc/IcscTypes.h"

namespace icscnames {

// Up to `max` of `candidates` that look like `key`, best first: those that
// hold it (ignoring case), then those within a few typing errors of it.
std::vector<std::string> closest(const std::string& key, const std::vector<std::string>& candidates,
                                 size_t max = 4);

// Lookups by exact name, else by the one name equal to it ignoring case.
// Null when unknown, with `error` saying what is allowed.
const IcscObjectDesc* object(const std::string& name, std::string& error);
// By number, property name or OBJ_ symbol.
const IcscColumnDesc* column(const IcscObjectDesc& d, const std::string& key, std::string& error);
const CommonDescriptorArray* commonObject(const std::string& key, unsigned& number,
                                          std::string& error);
const CommonPropertyDescriptor* commonRecord(const CommonDescriptorArray& a, const std::string& key,
                                             std::string& error);

// "0-15", or "0" for one.
std::string range(unsigned count);

// What the client knows about one cell from its OID.
struct CellName {
  enum Kind { OBJECT, COMMON, EVENT, UNKNOWN } kind = UNKNOWN;
  std::string object;  // object name, common object key or "event N"
  std::string column;  // property name, record key or event record key
  unsigned row = 0;    // row, common instance or event row
  bool scalar = false;
  std::string meaning;  // words for a coded value (log transfer state, result)
};
CellName nameOf(const ICSCTlv& cell);

// Every name completion offers, one line per object: "OBJECT name n name
// n name ..." (the column numbers and names, alternating) and "COMMON key
// record ..." per common object.
std::string completionWords();

}  // namespace icscnames
