#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeVelmUtil.h"
#include "IcscObjects8fxs.h"
#include "TestSupport.h"
#include "icsc/ICardObjects.h"
#include "icsc/IcscProtocol.h"

using namespace icscwire;
using testsupport::cellOf;

namespace {

class RecordingSink : public IcscResponseSink {
 public:
  bool sendResponse(std::string_view ip, const uint8_t* data, size_t len) override {
    ips.emplace_back(ip);
    answers.emplace_back(data, data + len);
    return true;
  }
  std::vector<std::string> ips;
  std::vector<std::vector<uint8_t>> answers;
};

// Answers event table 1 column 0 with 42 and refuses everything else.
class FakeCard : public ICardObjects {
 public:
  bool handleTableObjects(const ICSCTlv* req, unsigned, ICSCTlv* resp) override {
    ++calls;
    resp->oid = req->oid;
    if (icscoid::eventTable(req->oid) == 1 && icscoid::eventColumn(req->oid) == 0) {
      resp->setValue(42);
      return true;
    }
    return false;
  }
  bool isReady() override { return true; }
  const CommonPropertyDescriptor* getEventTableDescriptors(uint32_t) override { return nullptr; }
  bool isValidEventTableOid(uint32_t oid) override {
    return icscoid::eventTable(oid) == 0 && icscoid::eventColumn(oid) == 0;
  }
  bool setBpClkReference(uint32_t) override { return false; }
  uint32_t getBpClkReference() override { return 255; }
  int calls = 0;
};

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.registerObject(&timers);
    engine.registerObject(&status);
    engine.registerObject(&table);
  }

  // Sends one request and returns the decoded answer.
  std::vector<ICSCTlv> call(uint8_t op, std::vector<ICSCTlv> cells, Header* outHeader = nullptr) {
    Header h;
    h.op = op;
    h.requestId = ++reqId;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(encode(h, cells.data(), cells.size(), bytes));
    EXPECT_EQ(engine.handleIcscMsg(static_cast<int>(bytes.size()),
                                   reinterpret_cast<const char*>(bytes.data()), "10.0.0.7"),
              1);
    Header got;
    std::vector<ICSCTlv> out;
    EXPECT_EQ(decode(sink.answers.back().data(), sink.answers.back().size(), got, out), Decode::OK);
    EXPECT_EQ(got.requestId, reqId);
    EXPECT_EQ(got.op, op | RESPONSE);
    if (outHeader)
      *outHeader = got;
    return out;
  }

  testsupport::LogCapture log{9};
  FakeVelmUtil velm;
  FakeCard card;
  RecordingSink sink;
  IcscProtocolBase engine{&card, &sink};
  TimersScalar timers{&velm};
  SystemStatusScalar status{&velm};
  PortConfigurationTableBase table{8};  // base behaviour: stored values
  uint32_t reqId = 100;
};

TEST_F(Engine, GetCallsUpdateOnceAndAnswersConvertedValue) {
  velm.put("ipbx_interdigit_duration", -1, -1, "0x20");
  auto out = call(GET, {cellOf(icscoid::object(43, 3, 0))});
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].status, OK);
  EXPECT_EQ(out[0].type, IcscType::U16);
  EXPECT_EQ(out[0].num, 32);
  EXPECT_EQ(velm.calls.size(), 1u);
  EXPECT_EQ(sink.ips.back(), "10.0.0.7");
}

struct ErrorCase {
  const char* name;
  uint8_t op;
  uint32_t oid;
  IcscType type;
  uint8_t want;
};

const ErrorCase kErrorCases[] = {
    {"unknown_object", GET, icscoid::object(60, 0, 0), IcscType::NONE, NO_SUCH_OBJECT},
    {"unassigned_kind", GET, 0x00000001, IcscType::NONE, NO_SUCH_OBJECT},
    {"column_past_end", GET, icscoid::object(43, 24, 0), IcscType::NONE, NO_SUCH_COLUMN},
    {"scalar_row_one", GET, icscoid::object(43, 0, 1), IcscType::NONE, ROW_OUT_OF_RANGE},
    {"table_row_eight", SET, icscoid::object(8, 1, 8), IcscType::STRING, ROW_OUT_OF_RANGE},
    {"wrong_type", SET, icscoid::object(43, 3, 0), IcscType::U32, WRONG_TYPE},
    {"status_write", SET, icscoid::object(33, 1, 0), IcscType::U16, READ_ONLY},
    {"engine_missing_param", GET, icscoid::object(43, 5, 0), IcscType::NONE, NOT_SERVED},
    {"get_with_value", GET, icscoid::object(43, 3, 0), IcscType::U16, MALFORMED},
    {"event_refused", GET, icscoid::event(3, 0, 0), IcscType::NONE, NOT_SERVED},
    {"event_write_readonly", SET, icscoid::event(1, 0, 0), IcscType::BOOL, NO_SUCH_COLUMN},
};

class EngineErrors : public Engine, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(EngineErrors, AnswerSaysWhy) {
  const ErrorCase& c = GetParam();
  Header h;
  auto out = call(c.op, {cellOf(c.oid, c.type, 1)}, &h);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].status, c.want) << statusText(out[0].status);
  EXPECT_EQ(out[0].oid, c.oid);
  EXPECT_EQ(out[0].type, IcscType::NONE);
  EXPECT_EQ(h.status, c.want);
}

INSTANTIATE_NAMED(Engine, EngineErrors, kErrorCases);

TEST_F(Engine, StatusWriteReachesTheObjectsWarning) {
  call(SET, {cellOf(icscoid::object(33, 1, 0), IcscType::U16, 3)});
  EXPECT_TRUE(log.contains("SystemStatusScalar::updated() not implemented: id=1, row=0"));
  EXPECT_TRUE(velm.calls.empty());
}

TEST_F(Engine, EventCellsGoToTheCard) {
  auto out = call(GET, {cellOf(icscoid::event(1, 0, 0))});
  EXPECT_EQ(card.calls, 1);
  EXPECT_EQ(out[0].status, OK);
  EXPECT_EQ(out[0].num, 42);
  out = call(SET, {cellOf(icscoid::event(0, 0, 0), IcscType::BOOL, 1)});
  EXPECT_EQ(out[0].status, OK);
}

TEST_F(Engine, SeveralCellsAnsweredInOrderWithFirstErrorInHeader) {
  velm.put("ipbx_brief_pause_duration", -1, -1, "5");
  Header h;
  auto out = call(GET,
                  {cellOf(icscoid::object(43, 0, 0)), cellOf(icscoid::object(43, 99, 0)),
                   cellOf(icscoid::object(43, 0, 3))},
                  &h);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0].num, 5);
  EXPECT_EQ(out[1].status, NO_SUCH_COLUMN);
  EXPECT_EQ(out[2].status, ROW_OUT_OF_RANGE);
  EXPECT_EQ(h.status, NO_SUCH_COLUMN);
}

TEST_F(Engine, NextWalksRowsThenColumnsThenObjects) {
  // Table 8 has 3 columns and 8 rows: after (8, col 2, row 0) comes row 1.
  auto out = call(NEXT, {cellOf(icscoid::object(8, 2, 0))});
  EXPECT_EQ(out[0].oid, icscoid::object(8, 0, 1));
  out = call(NEXT, {cellOf(icscoid::object(8, 2, 7))});
  EXPECT_EQ(out[0].oid, icscoid::object(33, 0, 0));  // next registered object
  out = call(NEXT, {cellOf(0)});
  EXPECT_EQ(out[0].oid, icscoid::object(8, 0, 0));  // first of all
  out = call(NEXT, {cellOf(icscoid::object(43, 23, 0))});
  EXPECT_EQ(out[0].status, END_OF_OBJECTS);
}

struct BadMessage {
  const char* name;
  std::vector<uint8_t> bytes;
  bool answered;
  uint8_t status;
};

const BadMessage kBadMessages[] = {
    {"one_byte", {1}, false, 0},
    {"seven_bytes", {1, 1, 0, 1, 0, 0, 0}, false, 0},
    {"truncated_cell", {1, 1, 0, 1, 0, 0, 0, 5, 0x80, 0x2B}, true, MALFORMED},
    {"bad_version", {9, 1, 0, 0, 0, 0, 0, 5}, true, BAD_VERSION},
    {"unknown_op", {1, 7, 0, 0, 0, 0, 0, 5}, true, BAD_OP},
    {"garbage", {0xde, 0xad, 0xbe, 0xef, 0xde, 0xad, 0xbe, 0xef, 0xff}, true, BAD_VERSION},
};

class EngineBadInput : public Engine, public ::testing::WithParamInterface<BadMessage> {};

TEST_P(EngineBadInput, RejectedWithAnswerOrLogLineAndEngineKeepsServing) {
  const BadMessage& m = GetParam();
  std::vector<uint8_t> exact(m.bytes);
  int rc = engine.handleIcscMsg(static_cast<int>(exact.size()),
                                reinterpret_cast<const char*>(exact.data()), "10.0.0.7");
  EXPECT_EQ(rc, m.answered ? 1 : 0);
  EXPECT_EQ(sink.answers.size(), m.answered ? 1u : 0u);
  EXPECT_TRUE(log.contains("[WARNING]"));
  if (m.answered) {
    Header h;
    std::vector<ICSCTlv> cells;
    ASSERT_EQ(decode(sink.answers[0].data(), sink.answers[0].size(), h, cells), Decode::OK);
    EXPECT_EQ(h.status, m.status);
    EXPECT_TRUE(cells.empty());
  }
  velm.put("ipbx_brief_pause_duration", -1, -1, "9");
  EXPECT_EQ(call(GET, {cellOf(icscoid::object(43, 0, 0))})[0].num, 9);
}

INSTANTIATE_NAMED(Engine, EngineBadInput, kBadMessages);

TEST_F(Engine, DuplicateOrInvalidIdsAreNotRegistered) {
  TimersScalar again{&velm};
  size_t before = engine.objectCount();
  engine.registerObject(&again);
  EXPECT_EQ(engine.objectCount(), before);
  EXPECT_EQ(engine.findObject(43), &timers);
  EXPECT_TRUE(log.contains("already registered"));
}

}  // namespace
