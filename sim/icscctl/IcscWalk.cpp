#include "IcscWalk.h"

#include <algorithm>
#include <unordered_set>

#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"

using namespace icscwire;

namespace icscwalk {

namespace {

// Strings have no fixed size; an answer that turns out bigger is split.
constexpr size_t kAssumedStringSize = 32;

const IcscObjectDesc* firstObjectAfter(unsigned id) {
  const IcscObjectDesc* best = nullptr;
  for (size_t i = 0; i < icscdesc::count(); ++i) {
    const IcscObjectDesc* d = icscdesc::all()[i];
    if (d->id > id && d->rows > 0 && d->columnCount > 0 && (best == nullptr || d->id < best->id))
      best = d;
  }
  return best;
}

size_t answerCellSize(uint32_t oid) {
  const IcscObjectDesc* d = icscdesc::findById(icscoid::objectId(oid));
  unsigned col = icscoid::objectColumn(oid);
  if (d == nullptr || col >= d->columnCount)
    return CELL_HEADER_SIZE + kAssumedStringSize;
  size_t fixed = icscFixedSize(d->columns[col].type);
  return CELL_HEADER_SIZE + (fixed > 0 ? fixed : kAssumedStringSize);
}

}  // namespace

bool predictNext(uint32_t oid, uint32_t& next) {
  // Common and event cells are not described here: no guess.
  if (icscoid::isCommon(oid) || icscoid::isEvent(oid))
    return false;
  unsigned id = 0;
  if (icscoid::isObject(oid)) {
    id = icscoid::objectId(oid);
    unsigned row = icscoid::objectRow(oid), col = icscoid::objectColumn(oid);
    if (const IcscObjectDesc* d = icscdesc::findById(id)) {
      if (row < d->rows && col + 1 < d->columnCount) {
        next = icscoid::object(id, col + 1, row);
        return true;
      }
      if (row + 1 < d->rows) {
        next = icscoid::object(id, 0, row + 1);
        return true;
      }
    }
  }
  const IcscObjectDesc* d = firstObjectAfter(icscoid::isObject(oid) ? id : 0);
  if (d == nullptr)
    return false;
  next = icscoid::object(d->id, 0, 0);
  return true;
}

unsigned cellsThatFit(uint32_t from) {
  size_t request = HEADER_SIZE, answer = HEADER_SIZE;
  unsigned n = 0;
  uint32_t oid = from, next = 0;
  while (n < MAX_CELLS && request + CELL_HEADER_SIZE <= MAX_MESSAGE) {
    // The answer to the cell after `oid`; past the end, a cell of any kind.
    bool predicted = predictNext(oid, next);
    size_t cell = predicted ? answerCellSize(next) : answerCellSize(0);
    if (answer + cell > MAX_MESSAGE)
      break;
    answer += cell;
    request += CELL_HEADER_SIZE;
    ++n;
    if (!predicted)
      break;  // a walk's request ends with that cell
    oid = next;
  }
  return std::max(n, 1u);
}

Result walk(uint32_t from, const std::function<bool(uint32_t)>& inside, unsigned cellsPerRequest,
            const Exchange& exchange, const Visit& visit, Stats* stats) {
  Stats local;
  Stats& st = stats != nullptr ? *stats : local;
  uint32_t cur = from;
  // Lowered for the rest of the walk when an answer did not fit.
  unsigned cap = MAX_CELLS;
  std::vector<ICSCTlv> req, out;
  std::vector<uint32_t> expected;
  std::unordered_set<uint32_t> seen;
  for (;;) {
    unsigned n = std::min(cap, cellsPerRequest > 0 ? cellsPerRequest : cellsThatFit(cur));
    req.clear();
    expected.clear();
    uint32_t pred = cur;
    for (unsigned k = 0; k < n; ++k) {
      ICSCTlv cell;
      cell.oid = pred;
      req.push_back(cell);
      uint32_t next = 0;
      if (!predictNext(pred, next) || !inside(next))
        break;  // the answer to this cell ends the walk
      expected.push_back(next);
      pred = next;
    }
    Header h;
    ++st.requests;
    if (!exchange(NEXT, req, h, out))
      return Result::NO_ANSWER;
    if (h.status == TOO_BIG && out.empty() && req.size() > 1) {
      ++st.tooBig;
      cap = static_cast<unsigned>(req.size() / 2);
      continue;
    }
    if (out.size() != req.size())
      return Result::REFUSED;
    for (size_t k = 0; k < out.size(); ++k) {
      const ICSCTlv& a = out[k];
      if (a.status == END_OF_OBJECTS || !inside(a.oid))
        return Result::DONE;
      // A card that answers a cell twice would never let the walk end.
      if (!seen.insert(a.oid).second)
        return Result::REFUSED;
      visit(a);
      ++st.cells;
      cur = a.oid;
      // Later answers followed predictions that proved wrong: ask again.
      if (k >= expected.size() || a.oid != expected[k])
        break;
    }
  }
}

Result walkObject(const IcscObjectDesc& d, unsigned cellsPerRequest, const Exchange& exchange,
                  const Visit& visit, Stats* stats) {
  // From the last possible cell of the object before.
  uint32_t from = icscoid::object(d.id - 1, icscoid::MAX_COLUMN, icscoid::MAX_ROW);
  return walk(
      from, [&d](uint32_t oid) { return icscoid::isObject(oid) && icscoid::objectId(oid) == d.id; },
      cellsPerRequest, exchange, visit, stats);
}

}  // namespace icscwalk
