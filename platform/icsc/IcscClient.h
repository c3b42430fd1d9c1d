// The chassis side of ICSC over UDP, as the bench's tools and stand-ins
// speak it to the card's front end: each request gets an id of its own and
// each answer is matched to its request by that id within a deadline.
//
// While waiting, datagrams too short to carry an id and answers to other
// ids (late answers to earlier requests) are skipped. An answer with the
// awaited id that does not decode is refused at once, not waited past. No
// request is sent twice: UDP on the bench loses nothing unless the card is
// stopped, and whether to ask again is the caller's choice.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "icsc/ICSCTlv.h"
#include "icsc/IcscWire.h"

class IcscClient {
 public:
  enum class Result { ANSWERED, NO_ANSWER, MALFORMED, NOT_SENT };

  IcscClient();
  ~IcscClient();
  IcscClient(const IcscClient&) = delete;
  IcscClient& operator=(const IcscClient&) = delete;

  // A UDP socket connected to `host` (dotted IPv4) and `port`; false with
  // errno set (EINVAL for a host that is no IPv4 address).
  bool open(const std::string& host, int port);
  // Takes `fd`, a connected datagram socket, instead.
  void adopt(int fd);
  bool isOpen() const { return m_fd >= 0; }
  // The socket, for a caller that waits on several clients at once (poll);
  // await() then takes the answer that arrived.
  int fd() const { return m_fd; }

  // One request with a fresh id, stored in `id`; false when it does not
  // encode (errno EMSGSIZE) or cannot be sent.
  bool send(uint8_t op, const ICSCTlv* cells, size_t count, uint32_t& id);
  // The answer to request `id` within `timeoutMs`; `why` tells what did not
  // decode when the result is MALFORMED.
  Result await(uint32_t id, int timeoutMs, icscwire::Header& h, std::vector<ICSCTlv>& cells,
               icscwire::Decode* why = nullptr);
  // send and await.
  Result call(uint8_t op, const std::vector<ICSCTlv>& cells, int timeoutMs, icscwire::Header& h,
              std::vector<ICSCTlv>& out, icscwire::Decode* why = nullptr);
  // Any answer that decodes, whatever its id, within `timeoutMs` (for
  // callers that keep several requests in flight).
  bool receive(int timeoutMs, icscwire::Header& h, std::vector<ICSCTlv>& cells);

  // Datagrams as they are, for requests built by hand.
  bool sendBytes(const uint8_t* bytes, size_t len);
  bool receiveBytes(int timeoutMs, std::vector<uint8_t>& datagram);

  size_t bytesSent() const { return m_bytesSent; }
  size_t bytesReceived() const { return m_bytesReceived; }

 private:
  // One datagram into m_answer before `deadline`; its
  // length, or -1 when the time is up.
  long nextDatagram(std::chrono::steady_clock::time_point deadline);

  int m_fd = -1;
  uint32_t m_nextId;
  std::vector<uint8_t> m_request;
  std::vector<uint8_t> m_answer;
  size_t m_bytesSent = 0;
  size_t m_bytesReceived = 0;
};
