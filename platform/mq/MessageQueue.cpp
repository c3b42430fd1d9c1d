#include "mq/MessageQueue.h"

#include <fcntl.h>
#include <mqueue.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>

#include "trace/TraceObject.h"

namespace {

long readProcLimit(const char* path) {
  std::ifstream in(path);
  long v = -1;
  if (in >> v)
    return v;
  return -1;
}

timespec deadlineAfter(unsigned ms) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  ts.tv_sec += ms / 1000;
  ts.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
  if (ts.tv_nsec >= 1000000000L) {
    ts.tv_sec += 1;
    ts.tv_nsec -= 1000000000L;
  }
  return ts;
}

}  // namespace

MessageQueue::MessageQueue(const std::string& name, long msgSize, long maxMsgs)
    : m_name(name), m_fd(-1), m_openErrno(0), m_sent(0), m_sendFailed(0), m_received(0) {
  mq_attr attr{};
  attr.mq_maxmsg = maxMsgs;
  attr.mq_msgsize = msgSize;
  m_fd = mq_open(m_name.c_str(), O_RDWR | O_CREAT, 0666, &attr);
  if (m_fd >= 0)
    return;
  m_openErrno = errno;
  if (m_openErrno == EINVAL) {
    // The usual cause on a host: the kernel's per-queue limits are lower
    // than what this queue needs.
    long limMsgs = readProcLimit("/proc/sys/fs/mqueue/msg_max");
    long limSize = readProcLimit("/proc/sys/fs/mqueue/msgsize_max");
    LOG_CRITICAL(
        "cannot create message queue %s (%ld messages of %ld bytes): %s; the kernel allows %ld "
        "messages of %ld bytes (/proc/sys/fs/mqueue/msg_max, msgsize_max): raise them or run in "
        "an IPC namespace where they are raised",
        m_name.c_str(), maxMsgs, msgSize, std::strerror(m_openErrno), limMsgs, limSize);
  } else {
    LOG_ERROR("cannot open message queue %s: %s", m_name.c_str(), std::strerror(m_openErrno));
  }
}

MessageQueue::MessageQueue(const std::string& name, SendOnly)
    : m_name(name), m_fd(-1), m_openErrno(0), m_sent(0), m_sendFailed(0), m_received(0) {
  m_fd = mq_open(m_name.c_str(), O_WRONLY | O_NONBLOCK);
  if (m_fd < 0)
    m_openErrno = errno;
}

MessageQueue::MessageQueue(const std::string& name, const Receiver& attributes)
    : m_name(name), m_fd(-1), m_openErrno(0), m_sent(0), m_sendFailed(0), m_received(0) {
  mq_attr attr{};
  attr.mq_maxmsg = attributes.maxMsgs;
  attr.mq_msgsize = attributes.msgSize;
  m_fd = mq_open(m_name.c_str(), O_RDONLY | O_NONBLOCK | O_CREAT, attributes.mode, &attr);
  if (m_fd < 0)
    m_openErrno = errno;
}

MessageQueue::~MessageQueue() {
  if (m_fd >= 0)
    mq_close(m_fd);
}

bool MessageQueue::blocking(bool on) {
  if (m_fd < 0)
    return false;
  mq_attr attr{};
  attr.mq_flags = on ? 0 : O_NONBLOCK;
  return mq_setattr(m_fd, &attr, nullptr) == 0;
}

bool MessageQueue::send(const void* msg, size_t len, unsigned priority) {
  return counted(m_fd >= 0 ? mq_send(m_fd, static_cast<const char*>(msg), len, priority) : -1);
}

bool MessageQueue::sendWithin(const void* msg, size_t len, unsigned timeoutMs) {
  timespec deadline = deadlineAfter(timeoutMs);
  return counted(m_fd >= 0 ? mq_timedsend(m_fd, static_cast<const char*>(msg), len, 0, &deadline)
                           : -1);
}

bool MessageQueue::counted(int sendResult) {
  if (m_fd < 0)
    errno = EBADF;
  if (sendResult != 0) {
    int err = errno;
    ++m_sendFailed;
    errno = err;
    return false;
  }
  ++m_sent;
  return true;
}

ssize_t MessageQueue::receive(void* buf, size_t len, unsigned timeoutMs) {
  if (m_fd < 0)
    return -1;
  ssize_t n;
  if (timeoutMs == 0) {
    n = mq_receive(m_fd, static_cast<char*>(buf), len, nullptr);
  } else {
    timespec ts = deadlineAfter(timeoutMs);
    n = mq_timedreceive(m_fd, static_cast<char*>(buf), len, nullptr, &ts);
  }
  if (n >= 0)
    ++m_received;
  return n;
}

long MessageQueue::pending() const {
  mq_attr attr{};
  if (m_fd < 0 || mq_getattr(m_fd, &attr) != 0)
    return -1;
  return attr.mq_curmsgs;
}

long MessageQueue::msgSize() const {
  mq_attr attr{};
  if (m_fd < 0 || mq_getattr(m_fd, &attr) != 0)
    return -1;
  return attr.mq_msgsize;
}

long MessageQueue::maxMsgs() const {
  mq_attr attr{};
  if (m_fd < 0 || mq_getattr(m_fd, &attr) != 0)
    return -1;
  return attr.mq_maxmsg;
}

void MessageQueue::dbgInfo(std::ostream& os) const {
  os << "MessageQueue " << m_name << ": ";
  mq_attr attr{};
  if (m_fd < 0) {
    os << "not open (" << std::strerror(m_openErrno) << ")\n";
  } else if (mq_getattr(m_fd, &attr) != 0) {
    os << "fd " << m_fd << ", attributes unreadable\n";
  } else {
    os << "fd " << m_fd << ", " << ((attr.mq_flags & O_NONBLOCK) ? "non-blocking" : "blocking")
       << ", " << attr.mq_curmsgs << "/" << attr.mq_maxmsg << " messages of max " << attr.mq_msgsize
       << " bytes queued\n";
  }
  os << "  sent " << m_sent << ", send failures " << m_sendFailed << ", received " << m_received
     << "\n";
}
