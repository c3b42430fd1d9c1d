#include "tick/TickQueue.h"

#include <fcntl.h>
#include <mqueue.h>

#include <cerrno>
#include <cstring>

PosixTickQueue::~PosixTickQueue() {
  if (m_mqd >= 0)
    mq_close(m_mqd);
}

bool PosixTickQueue::open(const char* name, std::string& error) {
  mqd_t q = mq_open(name, O_WRONLY | O_NONBLOCK);
  if (q == static_cast<mqd_t>(-1)) {
    error = std::strerror(errno);
    return false;
  }
  m_mqd = q;
  return true;
}

bool PosixTickQueue::send(const void* msg, size_t len, std::string& error) {
  if (mq_send(m_mqd, static_cast<const char*>(msg), len, 0) != 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}
