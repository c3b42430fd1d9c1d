// The bulk walk against a card model that serves NEXT as the protocol
// engine does: whatever the card holds (the described cells, fewer or more
// rows, a missing object) the walk must see exactly the card's cells, in
// its order, and still ask many cells per request where the descriptions
// hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "IcscWalk.h"
#include "TestSupport.h"
#include "icsc/IcscDescriptions.h"
#include "icsc/IcscOid.h"

namespace {

using icscwalk::Result;
using Cell = std::tuple<unsigned, unsigned, unsigned>;  // object id, row, column

const IcscObjectDesc& desc(uint32_t id) {
  return *icscdesc::findById(id);
}

// The card: its cells in its order; answers NEXT cell by cell.
struct CardModel {
  std::vector<Cell> cells;
  size_t maxAnswerCells = icscwire::MAX_CELLS;  // more: "answer too big"
  bool goesBack = false;                        // answers the first cell, always
  size_t requests = 0;

  void add(uint32_t id, unsigned rows) {
    for (unsigned r = 0; r < rows; ++r)
      for (unsigned c = 0; c < desc(id).columnCount; ++c)
        cells.emplace_back(id, r, c);
  }

  bool exchange(uint8_t op, const std::vector<ICSCTlv>& req, icscwire::Header& h,
                std::vector<ICSCTlv>& out) {
    ++requests;
    EXPECT_EQ(op, icscwire::NEXT);
    h = {};
    out.clear();
    if (req.size() > maxAnswerCells) {
      h.status = icscwire::TOO_BIG;
      return true;
    }
    for (const ICSCTlv& q : req) {
      auto it = cells.begin();
      if (icscoid::isObject(q.oid) && !goesBack) {
        Cell after{icscoid::objectId(q.oid), icscoid::objectRow(q.oid),
                   icscoid::objectColumn(q.oid)};
        it = std::upper_bound(cells.begin(), cells.end(), after);
      }
      ICSCTlv a;
      a.oid = q.oid;
      if (it == cells.end()) {
        a.status = icscwire::END_OF_OBJECTS;
      } else {
        a.oid = icscoid::object(std::get<0>(*it), std::get<2>(*it), std::get<1>(*it));
        a.setNumber(IcscType::U16, std::get<1>(*it) * 1000 + std::get<2>(*it));
      }
      out.push_back(a);
    }
    return true;
  }

  std::vector<uint32_t> cellsOf(uint32_t id) const {
    std::vector<uint32_t> oids;
    for (const Cell& c : cells)
      if (std::get<0>(c) == id)
        oids.push_back(icscoid::object(id, std::get<2>(c), std::get<1>(c)));
    return oids;
  }
};

struct Walked {
  Result result;
  std::vector<uint32_t> oids;
  icscwalk::Stats stats;
};

Walked walk(CardModel& card, uint32_t id, unsigned cellsPerRequest) {
  Walked w;
  w.result = icscwalk::walkObject(
      desc(id), cellsPerRequest,
      [&card](uint8_t op, const std::vector<ICSCTlv>& req, icscwire::Header& h,
              std::vector<ICSCTlv>& out) { return card.exchange(op, req, h, out); },
      [&w](const ICSCTlv& a) { w.oids.push_back(a.oid); }, &w.stats);
  return w;
}

// Objects 1 (AccountTable), 2 (VoipProviderDefaultsTable) and 3
// (AccountStatusTable) around the walked object 2.
struct WalkCase {
  const char* name;
  int rowsOf2;  // rows the card serves of object 2; -1: as described
  bool cardHas1 = true;
  bool cardHas3 = true;
  size_t maxAnswerCells = icscwire::MAX_CELLS;
};
const WalkCase kWalkCases[] = {
    {"as_described", -1},
    {"fewer_rows_than_described", 5},
    {"more_rows_than_described", 11},
    {"no_object_before", -1, false},
    {"no_object_after", -1, true, false},
    {"answers_too_big_for_four_cells", -1, true, true, 3},
    {"object_missing", 0},
};

class BulkWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(BulkWalk, SeesExactlyTheCardsCellsWhateverTheCellsPerRequest) {
  const WalkCase& c = GetParam();
  CardModel card;
  if (c.cardHas1)
    card.add(1, desc(1).rows);
  card.add(2, c.rowsOf2 < 0 ? desc(2).rows : static_cast<unsigned>(c.rowsOf2));
  if (c.cardHas3)
    card.add(3, desc(3).rows);
  card.maxAnswerCells = c.maxAnswerCells;
  const std::vector<uint32_t> want = card.cellsOf(2);
  for (unsigned cells : {1u, 4u, 7u, 0u}) {
    Walked w = walk(card, 2, cells);
    EXPECT_EQ(w.result, Result::DONE) << cells << " cells per request";
    EXPECT_EQ(w.oids, want) << cells << " cells per request";
    EXPECT_EQ(w.stats.cells, want.size());
    if (cells == 1) {
      EXPECT_EQ(w.stats.requests, want.size() + 1) << "one request per cell, one to end";
    }
    if (cells > c.maxAnswerCells) {
      EXPECT_GT(w.stats.tooBig, 0u) << cells << " cells per request";
    }
  }
}

INSTANTIATE_NAMED(Walk, BulkWalk, kWalkCases);

// Where the descriptions hold, N cells per request need one request per N
// cells (the last answer also says where the object ends).
TEST(BulkWalk, PredictedCellsCostOneRequestPerBatch) {
  CardModel card;
  card.add(1, desc(1).rows);
  card.add(2, desc(2).rows);
  const size_t n = card.cellsOf(1).size();
  Walked w = walk(card, 1, 8);
  ASSERT_EQ(w.oids.size(), n);
  EXPECT_EQ(w.stats.requests, (n + 1 + 7) / 8);
  // The default fills a datagram: AccountTable's strings leave room for
  // fewer than the protocol's 64, but far more than one.
  Walked d = walk(card, 1, 0);
  EXPECT_EQ(d.oids.size(), n);
  EXPECT_LE(d.stats.requests * 16, n);
}

TEST(BulkWalk, CardThatGoesBackIsRefusedNotLoopedOn) {
  CardModel card;
  card.add(2, desc(2).rows);
  card.goesBack = true;
  Walked w = walk(card, 2, 4);
  EXPECT_EQ(w.result, Result::REFUSED);
  EXPECT_LE(card.requests, 2u);
}

TEST(BulkWalk, NoAnswerStopsTheWalk) {
  size_t calls = 0;
  Result r = icscwalk::walkObject(
      desc(2), 0,
      [&calls](uint8_t, const std::vector<ICSCTlv>&, icscwire::Header&, std::vector<ICSCTlv>&) {
        ++calls;
        return false;
      },
      [](const ICSCTlv&) { ADD_FAILURE() << "no cell without an answer"; });
  EXPECT_EQ(r, Result::NO_ANSWER);
  EXPECT_EQ(calls, 1u);
}

}  // namespace
