#include "IcscNames.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"
#include "load/LoadManager.h"

namespace icscnames {

namespace {

// Records that carry codes: their values are named beside the number.
struct CodeRecord {
  unsigned object, record;
  const char* (*name)(uint32_t);
};
const CodeRecord kCodeRecords[] = {
    {commonStatCtrl::CO_LOG_TRANSFER, commonrec::LOG_STATE, commonStatCtrl::getLogStateName},
    {commonStatCtrl::CO_LOG_TRANSFER, commonrec::LOG_RESULT, commonStatCtrl::getLogResultText},
    {commonStatCtrl::CO_DOWNLOAD, commonrec::DLD_STATE, load::LoadManager::stateName},
    {commonStatCtrl::CO_DOWNLOAD_RESULT, commonrec::DLDRES_RESULT, load::LoadManager::resultText},
};

std::string lower(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

size_t distance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j)
    row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
      diagonal = up;
    }
  }
  return row[b.size()];
}

std::string list(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names)
    out += (out.empty() ? "" : ", ") + n;
  return out;
}

// "; closest: A, B" or "".
std::string suggestion(const std::string& key, const std::vector<std::string>& candidates) {
  std::vector<std::string> near = closest(key, candidates);
  return near.empty() ? "" : "; closest: " + list(near);
}

bool isNumber(const std::string& s) {
  return !s.empty() && s.size() <= 5 && s.find_first_not_of("0123456789") == std::string::npos;
}

// The one of `names` equal to `key` ignoring case; -1 when none or several.
int uniqueFold(const std::string& key, const std::vector<std::string>& names) {
  int found = -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (lower(names[i]) != lower(key))
      continue;
    if (found >= 0)
      return -1;
    found = static_cast<int>(i);
  }
  return found;
}

std::vector<std::string> objectNames() {
  std::vector<std::string> out;
  for (size_t i = 0; i < icscdesc::count(); ++i)
    out.push_back(icscdesc::all()[i]->name);
  return out;
}

std::vector<std::string> commonKeys() {
  std::vector<std::string> out;
  for (size_t i = 0; i < commondesc::arrayCount(); ++i) {
    if (commondesc::arrays()[i].instances != CI_EVENT_TABLE)
      out.push_back(commondesc::key(commondesc::arrays()[i].name));
  }
  return out;
}

std::vector<std::string> recordKeys(const CommonDescriptorArray& a) {
  std::vector<std::string> out;
  for (size_t i = 0; i < a.count; ++i)
    out.push_back(commondesc::key(a.records[i].label));
  return out;
}

}  // namespace

std::vector<std::string> closest(const std::string& key, const std::vector<std::string>& candidates,
                                 size_t max) {
  const std::string k = lower(key);
  struct Scored {
    size_t score;
    size_t order;
  };
  std::vector<Scored> scored;
  size_t best = SIZE_MAX;
  for (size_t i = 0; i < candidates.size(); ++i) {
    std::string c = lower(candidates[i]);
    if (!k.empty() && c.find(k) != std::string::npos) {
      scored.push_back({c.size() - k.size(), i});  // holds it: the shorter the closer
      continue;
    }
    // A few typing errors against the whole name or its last words
    // ("valid" for "temp-valid").
    size_t d = distance(k, c);
    for (size_t dash = c.find('-'); dash != std::string::npos; dash = c.find('-', dash + 1))
      d = std::min(d, distance(k, c.substr(dash + 1)));
    if (d > std::max<size_t>(2, k.size() / 4))
      continue;
    scored.push_back({1000 + d, i});
    best = std::min(best, d);
  }
  // Of the near ones only the nearest and those one error further.
  scored.erase(std::remove_if(scored.begin(), scored.end(),
                              [best](const Scored& s) {
                                return s.score >= 1000 && s.score - 1000 > best + 1;
                              }),
               scored.end());
  std::stable_sort(scored.begin(), scored.end(),
                   [](const Scored& a, const Scored& b) { return a.score < b.score; });
  std::vector<std::string> out;
  for (size_t i = 0; i < scored.size() && i < max; ++i)
    out.push_back(candidates[scored[i].order]);
  return out;
}

std::string range(unsigned count) {
  return count <= 1 ? "0" : "0-" + std::to_string(count - 1);
}

const IcscObjectDesc* object(const std::string& name, std::string& error) {
  if (const IcscObjectDesc* d = icscdesc::findByName(name))
    return d;
  std::vector<std::string> names = objectNames();
  int i = uniqueFold(name, names);
  if (i >= 0)
    return icscdesc::all()[i];
  error = "unknown object '" + name + "'" + suggestion(name, names) +
          " (./dev icsc objects lists them)";
  return nullptr;
}

const IcscColumnDesc* column(const IcscObjectDesc& d, const std::string& key, std::string& error) {
  std::string where = std::string(d.name) + " has columns " + range(d.columnCount) +
                      " (./dev icsc columns " + d.name + ")";
  if (isNumber(key)) {
    unsigned long c = std::strtoul(key.c_str(), nullptr, 10);
    if (c < d.columnCount)
      return &d.columns[c];
    error = "no column " + key + ": " + where;
    return nullptr;
  }
  if (const IcscColumnDesc* c = icscdesc::findColumn(d, key))
    return c;
  std::vector<std::string> names, symbols;
  for (unsigned c = 0; c < d.columnCount; ++c) {
    names.push_back(d.columns[c].name);
    symbols.push_back(d.columns[c].symbol);
  }
  int i = uniqueFold(key, names);
  if (i < 0)
    i = uniqueFold(key, symbols);
  if (i >= 0)
    return &d.columns[i];
  error = "unknown column '" + key + "'" + suggestion(key, names) + "; " + where;
  return nullptr;
}

const CommonDescriptorArray* commonObject(const std::string& key, unsigned& number,
                                          std::string& error) {
  if (const CommonDescriptorArray* a = commondesc::findArray(key, &number))
    return a;
  std::vector<std::string> keys = commonKeys();
  error = "unknown common object '" + key + "'" + suggestion(key, keys) +
          "; common objects: " + list(keys);
  return nullptr;
}

const CommonPropertyDescriptor* commonRecord(const CommonDescriptorArray& a, const std::string& key,
                                             std::string& error) {
  if (const CommonPropertyDescriptor* r = commondesc::findRecord(a, key))
    return r;
  std::vector<std::string> keys = recordKeys(a);
  error = commondesc::key(a.name) + " has no record '" + key + "'" + suggestion(key, keys) +
          "; records " + range(static_cast<unsigned>(a.count)) + ": " + list(keys);
  return nullptr;
}

CellName nameOf(const ICSCTlv& c) {
  CellName n;
  if (icscoid::isObject(c.oid)) {
    const IcscObjectDesc* d = icscdesc::findById(icscoid::objectId(c.oid));
    unsigned col = icscoid::objectColumn(c.oid);
    n.kind = CellName::OBJECT;
    n.object = d ? d->name : "object " + std::to_string(icscoid::objectId(c.oid));
    n.column = d && col < d->columnCount ? d->columns[col].name : std::to_string(col);
    n.row = icscoid::objectRow(c.oid);
    n.scalar = d && !d->isTable;
  } else if (icscoid::isCommon(c.oid)) {
    unsigned number = icscoid::commonNumber(c.oid), r = icscoid::commonRecord(c.oid);
    const CommonDescriptorArray* a =
        number < commondesc::arrayCount() ? &commondesc::arrays()[number] : nullptr;
    n.kind = CellName::COMMON;
    n.object = a ? commondesc::key(a->name) : "common " + std::to_string(number);
    n.column = a && r < a->count ? commondesc::key(a->records[r].label) : std::to_string(r);
    n.row = icscoid::commonInstance(c.oid);
    n.scalar = a && a->instances == CI_ONE;
    for (const CodeRecord& k : kCodeRecords) {
      if (number == k.object && r == k.record)
        n.meaning = k.name(static_cast<uint32_t>(c.num));
    }
  } else if (icscoid::isEvent(c.oid)) {
    unsigned t = icscoid::eventTable(c.oid), col = icscoid::eventColumn(c.oid);
    n.kind = CellName::EVENT;
    n.object = "event " + std::to_string(t);
    const CommonDescriptorArray* a = t < 4 ? &commondesc::eventTable(t) : nullptr;
    n.column = a && col < a->count ? commondesc::key(a->records[col].label) : std::to_string(col);
    n.row = icscoid::eventRow(c.oid);
    n.scalar = true;
  } else {
    n.object = "oid";
    n.column = std::to_string(c.oid);
  }
  return n;
}

std::string completionWords() {
  std::ostringstream os;
  for (size_t i = 0; i < icscdesc::count(); ++i) {
    const IcscObjectDesc& d = *icscdesc::all()[i];
    os << "OBJECT " << d.name;
    for (unsigned c = 0; c < d.columnCount; ++c)
      os << " " << c << " " << d.columns[c].name;
    os << "\n";
  }
  for (size_t i = 0; i < commondesc::arrayCount(); ++i) {
    const CommonDescriptorArray& a = commondesc::arrays()[i];
    if (a.instances == CI_EVENT_TABLE)
      continue;
    os << "COMMON " << commondesc::key(a.name);
    for (const std::string& k : recordKeys(a))
      os << " " << k;
    os << "\n";
  }
  return os.str();
}

}  // namespace icscnames
