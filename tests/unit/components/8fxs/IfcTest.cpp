// The controller's message handling without the running loop: tokenizer of
// debug command lines, dispatch of ids, ready message, stop message; and a
// SIGTERM that comes before the loop.
#include <gtest/gtest.h>
#include <mqueue.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "Ifc.h"
#include "TestSupport.h"
#include "drivermsg/dbgMsg.h"
#include "drivermsg/hwMessages.h"
#include "drivermsg/udpQueueMsg.h"
#include "mq/MessageQueue.h"
#include "signal/StopSignal.h"

namespace {

struct TokenCase {
  const char* name;
  std::string text;
  std::vector<std::string> want;
};

const std::string k70(70, 'x');

const TokenCase kTokenCases[] = {
    {"empty", "", {}},
    {"only_separators", " \t-.,;/\n", {}},
    {"one_word", "internals", {"internals"}},
    {"group_and_command", "main internals", {"main", "internals"}},
    {"separators_are_any_other_char", "led-set.on,3", {"led", "set", "on", "3"}},
    {"underscore_and_digits_belong", " a_b9 0x1F ", {"a_b9", "0x1F"}},
    {"stops_after_eight", "1 2 3 4 5 6 7 8 9 10", {"1", "2", "3", "4", "5", "6", "7", "8"}},
    {"long_token_cut_to_62", k70 + " y", {std::string(62, 'x'), "y"}},
    {"high_bytes_separate",
     "ab\xc3\xa9"
     "cd",
     {"ab", "cd"}},
};

class Tokenizer : public ::testing::TestWithParam<TokenCase> {};

TEST_P(Tokenizer, SplitsLikeTheDebugFrontEnd) {
  char tokens[Ifc::kDbgMaxTokens][Ifc::kDbgTokenSize];
  unsigned n = Ifc::tokenizeDbgCommand(GetParam().text.c_str(), tokens);
  std::vector<std::string> got(tokens, tokens + n);
  EXPECT_EQ(got, GetParam().want);
}

INSTANTIATE_NAMED(DbgMsg, Tokenizer, kTokenCases);

// Owns the controller; the trace object it deletes is created here first so
// that the log capture does not own it.
class IfcFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    mq_unlink(dbgmsg::FDEBUG_QUEUE);
    mq_unlink(mainqueue::NAME);
    g_traceObject = new TraceObject("test", 9);
    m_log = std::make_unique<testsupport::LogCapture>(9);
    m_ifc = std::make_unique<Ifc>("main");
  }
  void TearDown() override {
    m_ifc.reset();
    m_log.reset();
    mq_unlink(dbgmsg::FDEBUG_QUEUE);
    mq_unlink(mainqueue::NAME);
  }

  // A message as the loop hands it over: id, payload, in the 2000-byte buffer.
  int put(uint32_t id, const std::string& payload) {
    std::memset(m_buf, 0x55, sizeof m_buf);
    std::memcpy(m_buf, &id, 4);
    std::memcpy(m_buf + 4, payload.data(), payload.size());
    return static_cast<int>(4 + payload.size());
  }

  // Ready messages waiting on the debug front end's queue.
  std::vector<std::string> readyMessages() {
    std::vector<std::string> out;
    MessageQueue q(dbgmsg::FDEBUG_QUEUE);
    q.blocking(false);
    char b[2000];
    ssize_t n;
    while ((n = q.receive(b, sizeof b)) >= 0)
      out.emplace_back(b, static_cast<size_t>(n));
    return out;
  }

  char m_buf[mainqueue::MAX_MSG_SIZE];
  std::unique_ptr<testsupport::LogCapture> m_log;
  std::unique_ptr<Ifc> m_ifc;
};

const std::string kReady("\x84\x03\x00\x00\x00", 5);

TEST_F(IfcFixture, ConstructionEndsIdleAndOnlyStateChangesAreLogged) {
  EXPECT_EQ(m_ifc->state(), Ifc::IDLE);
  EXPECT_TRUE(m_log->contains("UNINITIALIZED -> IDLE"));
  for (unsigned i = 0; i < Ifc::SELF_TEST_NBR; ++i)
    EXPECT_EQ(m_ifc->selfTestStatus(static_cast<Ifc::SelfTestId>(i)), Ifc::NOT_STARTED);
  m_log->clear();
  m_ifc->setFsmState(Ifc::IDLE);
  EXPECT_EQ(m_log->count("->"), 0u);
  m_ifc->setFsmState(Ifc::FAIL);
  EXPECT_TRUE(m_log->contains("[INFO] Ifc.cpp:"));
  EXPECT_TRUE(m_log->contains("(setFsmState) - IDLE -> FAIL"));
}

// Whether the card or its peer creates them, the queues come out alike.
TEST_F(IfcFixture, QueuesItSendsOnHaveTheirReceiversSizeAndDepth) {
  MessageQueue udp(udpmsg::UDP_QUEUE, MessageQueue::SendOnly{});
  MessageQueue i2c(hwmsg::I2C_QUEUE, MessageQueue::SendOnly{});
  ASSERT_TRUE(udp.isOpen() && i2c.isOpen());
  EXPECT_EQ(udp.msgSize(), static_cast<long>(udpmsg::MAX_SIZE));
  EXPECT_EQ(udp.maxMsgs(), udpmsg::UDP_QUEUE_DEPTH);
  EXPECT_EQ(i2c.msgSize(), hwmsg::I2C_QUEUE_MSG_SIZE);
  EXPECT_EQ(i2c.maxMsgs(), hwmsg::I2C_QUEUE_DEPTH);
}

TEST_F(IfcFixture, UnknownIdIsLoggedAndDropped) {
  int len = put(4242, "abc");
  m_ifc->dispatch(len, m_buf);
  EXPECT_TRUE(m_log->contains("Unknown msgid 4242 received"));
  EXPECT_TRUE(m_ifc->running());
}

TEST_F(IfcFixture, StopMessageClearsRunning) {
  int len = put(MSG_STOP, std::string(1996, '\0'));
  m_ifc->dispatch(len, m_buf);
  EXPECT_FALSE(m_ifc->running());
  EXPECT_TRUE(m_log->contains("stop received"));
}

// A command of group "main" that records how it was called.
class ProbeCommand : public Odebug::CdebugCommand {
 public:
  explicit ProbeCommand(Odebug::Cdebugable* group) : CdebugCommand(group, "probe", 0, 6, nullptr) {}
  void command(unsigned argc, char* const* argv, std::ostringstream& os, void*) override {
    ++calls;
    args.assign(argv, argv + argc);
    os << "probe output\n";
  }
  int calls = 0;
  std::vector<std::string> args;
};

struct DbgCase {
  const char* name;
  std::string text;
  int calls;
  std::vector<std::string> args;
};

const DbgCase kDbgCases[] = {
    {"empty_text", "", 0, {}},
    {"group_and_command", "main probe", 1, {}},
    {"command_alone", "probe a b", 1, {"a", "b"}},
    {"punctuation_separates", "main-probe.x", 1, {"x"}},
    {"nine_words_cut_to_eight", "main probe 1 2 3 4 5 6 7", 1, {"1", "2", "3", "4", "5", "6"}},
    {"too_many_arguments_refused", "probe 1 2 3 4 5 6 7", 0, {}},
    {"unknown_command", "main nothing", 0, {}},
};

class DbgMessage : public IfcFixture, public ::testing::WithParamInterface<DbgCase> {};

TEST_P(DbgMessage, RunsCommandAndAlwaysSendsReady) {
  ProbeCommand probe(m_ifc.get());
  int len = put(MSG_DBG, GetParam().text + std::string(1, '\0'));
  m_ifc->dispatch(len, m_buf);
  EXPECT_EQ(probe.calls, GetParam().calls);
  EXPECT_EQ(probe.args, GetParam().args);
  EXPECT_EQ(readyMessages(), std::vector<std::string>{kReady});
  EXPECT_TRUE(m_log->contains("Send to /queueToFdebug len 5"));
}

INSTANTIATE_NAMED(Ifc, DbgMessage, kDbgCases);

TEST_F(IfcFixture, DbgTextWithoutTerminatorIsCutAtReceivedLength) {
  // Bytes after the received length must not become part of the command.
  int len = put(MSG_DBG, "main");
  std::memcpy(m_buf + len, " internals", 10);
  m_ifc->dispatch(len, m_buf);
  EXPECT_TRUE(m_log->contains("Argument 0 = main"));
  EXPECT_FALSE(m_log->contains("Argument 1 ="));
  EXPECT_EQ(readyMessages().size(), 1u);
}

TEST_F(IfcFixture, DbgTextFillingTheBufferIsTerminated) {
  std::memset(m_buf, 'a', sizeof m_buf);
  uint32_t id = MSG_DBG;
  std::memcpy(m_buf, &id, 4);
  m_ifc->dispatch(mainqueue::MAX_MSG_SIZE, m_buf);
  EXPECT_EQ(m_buf[mainqueue::MAX_MSG_SIZE - 1], '\0');
  EXPECT_TRUE(m_log->contains("Argument 0 = " + std::string(62, 'a')));
  EXPECT_EQ(readyMessages().size(), 1u);
}

struct UdpCase {
  const char* name;
  int payloadLen;
  bool tooShort;
};

const UdpCase kUdpCases[] = {
    {"header_only", 15, true},
    {"shorter_than_address", 3, true},
    {"no_payload_at_all", 0, true},
    {"one_byte_message", 16, false},
};

class UdpMessage : public IfcFixture, public ::testing::WithParamInterface<UdpCase> {};

TEST_P(UdpMessage, ChecksLengthBeforeHandingOver) {
  std::string payload(static_cast<size_t>(GetParam().payloadLen), 'x');
  if (payload.size() >= 15)
    payload.replace(0, 15, "172.30.30.2\0\0\0\0", 15);
  int len = put(MSG_UDP, payload);
  EXPECT_EQ(m_ifc->handleUdpMsg(len, m_buf), 0);
  EXPECT_EQ(m_log->contains("Message received is too short, Message Length:" + std::to_string(len)),
            GetParam().tooShort);
  if (payload.size() >= 15) {
    EXPECT_TRUE(m_log->contains("IP Address received from queue : 172.30.30.2"));
  }
}

INSTANTIATE_NAMED(Ifc, UdpMessage, kUdpCases);

// The handler posts the stop message that run() prepared; when the queue
// is full it raises the flag instead and nothing else changes in the queue.
TEST_F(IfcFixture, SignalHandlerPostsStopMessageOrFlagsAFullQueue) {
  MessageQueue inbound(mainqueue::NAME, mainqueue::MAX_MSG_SIZE, mainqueue::DEPTH);
  ASSERT_TRUE(inbound.isOpen());
  char stop[mainqueue::MAX_MSG_SIZE] = {};
  const uint32_t stopId = MSG_STOP;
  std::memcpy(stop, &stopId, 4);
  ASSERT_TRUE(stopsignal::arm(mainqueue::NAME, stop, sizeof stop));
  Ifc::handleSignal(SIGTERM);
  EXPECT_FALSE(stopsignal::requested());
  char b[mainqueue::MAX_MSG_SIZE];
  std::memset(b, 0x55, sizeof b);
  ASSERT_EQ(inbound.receive(b, sizeof b, 1000), mainqueue::MAX_MSG_SIZE);
  EXPECT_EQ(std::string(b, sizeof b), std::string(stop, sizeof stop));

  inbound.blocking(false);
  long sent = 0;
  while (sent < 1000 && inbound.send("\x04\0\0\0", 4))
    ++sent;
  ASSERT_EQ(sent, inbound.maxMsgs());
  Ifc::handleSignal(SIGTERM);
  EXPECT_TRUE(stopsignal::requested());
  EXPECT_EQ(stopsignal::signalNumber(), SIGTERM);
  EXPECT_EQ(inbound.pending(), sent);
  stopsignal::disarm();
}

// A SIGTERM between construction and run() is kept: run() returns at once.
TEST_F(IfcFixture, SigtermBeforeRunStopsAtOnce) {
  ASSERT_EQ(raise(SIGTERM), 0);
  auto done = std::async(std::launch::async, [&] { m_ifc->run(); });
  bool stopped = done.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
  if (!stopped)
    Ifc::handleSignal(SIGTERM);  // armed by now: ends the loop
  done.wait();
  EXPECT_TRUE(stopped) << "run() did not act on a SIGTERM that came before it";
  EXPECT_TRUE(m_log->contains("stop received"));
  EXPECT_EQ(m_ifc->state(), Ifc::IDLE);
}

// The controller creates the trace object when there is none, keeps one
// that exists, and deletes it either way.
TEST(IfcLifecycle, TraceObjectCreatedOrKeptAndRemoved) {
  g_traceObject = nullptr;
  {
    Ifc ifc("main");
    ASSERT_NE(g_traceObject, nullptr);
  }
  EXPECT_EQ(g_traceObject, nullptr);
  auto* t = new TraceObject("mine", 3);
  g_traceObject = t;
  {
    Ifc ifc("main");
    EXPECT_EQ(g_traceObject, t);
    EXPECT_EQ(g_traceObject->level(), 3);
  }
  EXPECT_EQ(g_traceObject, nullptr);
}

}  // namespace
