// Walks the card's cells in its own order (object id, row, column) with
// NEXT requests of several cells each. Every cell asks for the cell after a
// predicted one, the predictions coming from the object descriptions: while
// the card's answers match them, one request yields many cells; at the
// first answer that differs (a cell the card does not serve, an object it
// lacks) that answer is still the true next cell, and the walk predicts
// afresh from it. So the result is exactly the one-cell-at-a-time walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "icsc/ICSCTlv.h"
#include "icsc/IcscTypes.h"
#include "icsc/IcscWire.h"

namespace icscwalk {

// One request: the answer's header and cells; false when none came.
using Exchange = std::function<bool(uint8_t op, const std::vector<ICSCTlv>& cells,
                                    icscwire::Header& h, std::vector<ICSCTlv>& out)>;
using Visit = std::function<void(const ICSCTlv& cell)>;

enum class Result { DONE, NO_ANSWER, REFUSED };

struct Stats {
  size_t requests = 0;
  size_t cells = 0;
  size_t tooBig = 0;  // requests repeated with fewer cells
};

// The object cell the descriptions say comes after `oid` (an OID of no
// kind comes before everything); false at the end of the described
// objects and for common and event cells, which are not described here.
bool predictNext(uint32_t oid, uint32_t& next);

// Cells per request that fit one datagram each way (at most the
// protocol's 64), counting strings at an assumed length; an answer that
// still does not fit is asked again with half the cells, and the walk
// keeps to that many from then on.
unsigned cellsThatFit(uint32_t from);

// Walks from the cell after `from` while `inside(oid)` holds, calling
// `visit` for each cell in order; `cellsPerRequest` 0 means cellsThatFit.
// Where nothing can be predicted (common and event cells) a request
// carries one cell.
Result walk(uint32_t from, const std::function<bool(uint32_t oid)>& inside,
            unsigned cellsPerRequest, const Exchange& exchange, const Visit& visit,
            Stats* stats = nullptr);

// Every cell of one object (the card's rows and columns, not the
// description's).
Result walkObject(const IcscObjectDesc& d, unsigned cellsPerRequest, const Exchange& exchange,
                  const Visit& visit, Stats* stats = nullptr);

}  // namespace icscwalk
