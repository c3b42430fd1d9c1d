// The queue wrapper against the kernel's queues (private IPC namespace).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mqueue.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "TestSupport.h"
#include "mq/MessageQueue.h"

namespace {

struct QueueName {
  std::string name;
  explicit QueueName(const char* n) : name(n) { mq_unlink(n); }
  ~QueueName() { mq_unlink(name.c_str()); }
};

TEST(MessageQueue, ExistingQueueKeepsItsAttributes) {
  QueueName q("/mqtest_attrs");
  MessageQueue first(q.name, 100, 3);
  MessageQueue second(q.name, 2000, 10);
  EXPECT_EQ(second.msgSize(), 100);
  EXPECT_EQ(second.maxMsgs(), 3);
}

TEST(MessageQueue, NonBlockingSendFailsOnFullQueueAndReceiveOnEmpty) {
  QueueName q("/mqtest_full");
  MessageQueue mq(q.name, 16, 2);
  ASSERT_TRUE(mq.blocking(false));
  char b[16] = {};
  EXPECT_TRUE(mq.send(b, 4));
  EXPECT_TRUE(mq.send(b, 4));
  EXPECT_FALSE(mq.send(b, 4));
  EXPECT_EQ(mq.pending(), 2);
  EXPECT_EQ(mq.receive(b, sizeof b), 4);
  EXPECT_EQ(mq.receive(b, sizeof b), 4);
  EXPECT_EQ(mq.receive(b, sizeof b), -1);
  std::ostringstream os;
  mq.dbgInfo(os);
  EXPECT_NE(os.str().find("non-blocking"), std::string::npos) << os.str();
  EXPECT_NE(os.str().find("sent 2, send failures 1, received 2"), std::string::npos) << os.str();
}

TEST(MessageQueue, OversizedMessageAndSmallBufferAreRefused) {
  QueueName q("/mqtest_sizes");
  MessageQueue mq(q.name, 8, 2);
  mq.blocking(false);
  char big[9] = {};
  EXPECT_FALSE(mq.send(big, sizeof big));
  EXPECT_TRUE(mq.send(big, 8));
  char small[4];
  EXPECT_EQ(mq.receive(small, sizeof small), -1);
  EXPECT_EQ(mq.pending(), 1);
}

TEST(MessageQueue, TimedReceiveReturnsAfterTimeout) {
  QueueName q("/mqtest_timed");
  MessageQueue mq(q.name, 8, 2);
  char b[8];
  EXPECT_EQ(mq.receive(b, sizeof b, 50), -1);
}

TEST(MessageQueue, DepthAboveKernelLimitFailsLoudly) {
  QueueName q("/mqtest_limit");
  testsupport::LogCapture log(6);
  MessageQueue mq(q.name, 2000, 100000);
  EXPECT_FALSE(mq.isOpen());
  EXPECT_NE(mq.openError(), 0);
  EXPECT_TRUE(log.contains("msg_max")) << "the log line must name the kernel limit";
  char b[4] = {};
  EXPECT_FALSE(mq.send(b, 4));
  EXPECT_EQ(mq.receive(b, sizeof b), -1);
  std::ostringstream os;
  mq.dbgInfo(os);
  EXPECT_NE(os.str().find("not open"), std::string::npos);
}

// A sender never creates its receiver's queue and never waits on it.
TEST(MessageQueue, SendOnlyNeedsTheReceiversQueueAndNeverBlocks) {
  QueueName q("/mqtest_sendonly");
  testsupport::LogCapture log;
  MessageQueue missing(q.name, MessageQueue::SendOnly{});
  EXPECT_FALSE(missing.isOpen());
  EXPECT_EQ(missing.openError(), ENOENT);
  EXPECT_EQ(mq_open(q.name.c_str(), O_RDONLY), static_cast<mqd_t>(-1));
  EXPECT_TRUE(log.lines().empty()) << "the owner reports a missing queue";

  MessageQueue receiver(q.name, 8, 1);
  MessageQueue sender(q.name, MessageQueue::SendOnly{});
  ASSERT_TRUE(sender.isOpen());
  char b[8] = {};
  EXPECT_TRUE(sender.send(b, 4));
  EXPECT_FALSE(sender.send(b, 4));
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_EQ(receiver.receive(b, sizeof b, 1000), 4);
  EXPECT_EQ(sender.receive(b, sizeof b, 10), -1);
}

// The receiver creates its queue as asked, or takes the one there.
TEST(MessageQueue, ReceiverCreatesWithItsAttributesAndNeverBlocks) {
  QueueName q("/mqtest_receiver");
  testsupport::LogCapture log;
  mode_t old = umask(0);
  MessageQueue receiver(q.name, MessageQueue::Receiver{24, 3, 0600});
  umask(old);
  ASSERT_TRUE(receiver.isOpen());
  EXPECT_EQ(receiver.msgSize(), 24);
  EXPECT_EQ(receiver.maxMsgs(), 3);
  struct stat st {};
  ASSERT_EQ(fstat(receiver.fd(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  char b[24] = {};
  EXPECT_EQ(receiver.receive(b, sizeof b), -1) << "an empty queue must not block";
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_FALSE(receiver.send(b, 4)) << "opened to receive only";

  MessageQueue again(q.name, MessageQueue::Receiver{2000, 10, 0666});
  ASSERT_TRUE(again.isOpen());
  EXPECT_EQ(again.msgSize(), 24);
  MessageQueue bad("/mqtest_receiver_bad", MessageQueue::Receiver{2000, 100000, 0600});
  EXPECT_FALSE(bad.isOpen());
  EXPECT_EQ(bad.openError(), EINVAL);
  EXPECT_TRUE(log.lines().empty()) << "the owner reports a failed open";
}

// A blocking sender waits for room, but only so long.
TEST(MessageQueue, SendWithinWaitsForRoomAtMostItsTimeout) {
  QueueName q("/mqtest_within");
  MessageQueue receiver(q.name, MessageQueue::Receiver{8, 1, 0600});
  MessageQueue sender(q.name, MessageQueue::SendOnly{});
  ASSERT_TRUE(sender.blocking(true));
  char b[8] = {};
  EXPECT_TRUE(sender.sendWithin(b, 4, 1000));
  EXPECT_FALSE(sender.sendWithin(b, 5, 50));
  EXPECT_EQ(errno, ETIMEDOUT);
  EXPECT_EQ(receiver.receive(b, sizeof b), 4);
  EXPECT_TRUE(sender.sendWithin(b, 5, 1000));
  EXPECT_EQ(receiver.receive(b, sizeof b), 5);

  MessageQueue gone("/mqtest_within_gone", MessageQueue::SendOnly{});
  EXPECT_FALSE(gone.sendWithin(b, 4, 10));
  EXPECT_EQ(errno, EBADF);
}

}  // namespace
