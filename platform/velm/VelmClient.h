// Connection to the velmora engine: one request, one reply, with a bounded
// wait. Used by Velm_util and by the bench tools. The connection is opened
// on first use and reopened after the engine restarts; one caller at a time
// owns the connection, and the wait for it counts against the caller's
// timeout.
//
// Once a call has timed out the engine counts as stalled: every call fails
// at once, unsent, until the engine answers again. Whatever it answers ends
// the stall: the late reply, or that of a probe (an unnamed GET sent without
// waiting, at most once per PROBE_INTERVAL_MS, by a call that fails anyway).
// So a stalled engine costs its callers one timeout, not one per call.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "velm/VelmWire.h"

class VelmClient {
 public:
  static constexpr int DEFAULT_TIMEOUT_MS = 500;
  static constexpr int PROBE_INTERVAL_MS = 1000;

  explicit VelmClient(std::string socketPath = defaultSocketPath(),
                      int timeoutMs = DEFAULT_TIMEOUT_MS);
  ~VelmClient();
  VelmClient(const VelmClient&) = delete;
  VelmClient& operator=(const VelmClient&) = delete;

  // The engine's result code, or a transport code (velmwire::RC_*). On a
  // zero result the reply's text goes to `valueOut` when given; DUMP
  // replies hand their text over whatever the code.
  int32_t call(velmwire::Op op, const char* name, const char* value, int32_t index1, int32_t index2,
               std::string* valueOut);

  const std::string& socketPath() const { return m_path; }

  // "/tmp/velmora.sock", or $VELMORA_SOCKET when set.
  static std::string defaultSocketPath();

 private:
  bool connectLocked();
  void closeLocked();
  int32_t sendLocked(size_t len, int64_t deadlineMs);
  int32_t awaitReplyLocked(uint32_t seq, int64_t deadlineMs, velmwire::Reply& reply);
  // While stalled: whether the engine answered since (what it sent is
  // dropped); a closed connection ends the stall as well.
  bool answeredLocked();
  void probeLocked();
  void reportDown(const char* what, int err);
  void reportStalled(velmwire::Op op);
  void reportAnswering();

  // Owning the connection: the members below are the owner's alone.
  bool acquire(std::chrono::steady_clock::time_point until);
  void release();

  std::mutex m_mutex;
  std::condition_variable m_released;
  bool m_busy = false;
  std::string m_path;
  int m_timeoutMs;
  int m_fd = -1;
  uint32_t m_seq = 0;
  bool m_down = false;     // the outage has been logged
  bool m_stalled = false;  // a call timed out and no reply came since
  int64_t m_nextProbeMs = 0;
  uint8_t m_tx[velmwire::MAX_REQUEST_SIZE];
  uint8_t m_rx[velmwire::MAX_REPLY_SIZE + 1];
};
