// Wrapper of one POSIX message queue, opened for sending and receiving.
//
// A queue is opened if it exists and created otherwise, with the given
// message size and depth; an existing queue keeps its own attributes. A
// queue that cannot be opened stays usable as an object: every send fails
// and every receive returns -1, and isOpen() tells the owner why nothing
// flows.
//
// SendOnly opens a queue that its receiver created, write-only and
// non-blocking, and never creates it: a missing receiver is not faked and a
// full queue never blocks the sender. It logs nothing; the owner reports
// openError().
//
// Receiver opens the queue its owner receives on, read-only and
// non-blocking, creating it with the given size, depth and mode when
// missing. It logs nothing either.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <ostream>
#include <string>

class MessageQueue {
 public:
  static constexpr long kDefaultMsgSize = 2000;
  static constexpr long kDefaultMaxMsgs = 10;

  struct SendOnly {};
  struct Receiver {
    long msgSize;
    long maxMsgs;
    mode_t mode;
  };

  explicit MessageQueue(const std::string& name, long msgSize = kDefaultMsgSize,
                        long maxMsgs = kDefaultMaxMsgs);
  MessageQueue(const std::string& name, SendOnly);
  MessageQueue(const std::string& name, const Receiver& attributes);
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  bool isOpen() const { return m_fd >= 0; }
  const std::string& name() const { return m_name; }
  // errno of the failed open, 0 when open.
  int openError() const { return m_openErrno; }
  // For poll(): readable while a message waits; -1 when not open.
  int fd() const { return m_fd; }

  // Non-blocking: send fails at once on a full queue, receive returns -1 on
  // an empty one.
  bool blocking(bool on);
  // On failure errno says why.
  bool send(const void* msg, size_t len, unsigned priority = 0);
  // In blocking mode waits at most `timeoutMs` for room (errno ETIMEDOUT).
  bool sendWithin(const void* msg, size_t len, unsigned timeoutMs);
  // Receives one message into `buf` (at least the queue's message size).
  // timeoutMs 0 waits as the blocking mode says; otherwise at most that
  // long. Returns the message length, or -1 (empty, timeout, interrupted,
  // buffer too small, not open).
  ssize_t receive(void* buf, size_t len, unsigned timeoutMs = 0);
  // Messages currently queued, -1 when unknown.
  long pending() const;
  long msgSize() const;
  long maxMsgs() const;

  void dbgInfo(std::ostream& os) const;

 private:
  // Counts a send's outcome (0: sent), keeping its errno.
  bool counted(int sendResult);

  std::string m_name;
  int m_fd;
  int m_openErrno;
  // Read by the debug console's threads while the owner sends.
  std::atomic<unsigned long> m_sent;
  std::atomic<unsigned long> m_sendFailed;
  std::atomic<unsigned long> m_received;
};
