#include "CardStatusIcsc.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

namespace {

// More than any card registers; cells past the last answer "row out of range".
constexpr unsigned kMaxHwErrors = 16;

}  // namespace

CardStatus queryCardStatus(const std::string& host, int port, int timeoutMs) {
  using namespace icscwire;
  CardStatus status;
  std::vector<ICSCTlv> cells(1 + 2 * kMaxHwErrors);
  cells[0].oid = icscoid::common(commonStatCtrl::CO_CARD_STATE, commonrec::CARDSTATE_NAME, 0);
  for (unsigned i = 0; i < kMaxHwErrors; ++i) {
    cells[1 + 2 * i].oid = icscoid::common(commonStatCtrl::CO_HW_ERROR, commonrec::ERR_NAME, i);
    cells[2 + 2 * i].oid = icscoid::common(commonStatCtrl::CO_HW_ERROR, commonrec::ERR_ACTIVE, i);
  }
  Header req;
  req.op = GET;
  req.requestId = static_cast<uint32_t>(getpid()) ^ 0x50414e00u;
  std::vector<uint8_t> bytes;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  if (!encode(req, cells.data(), cells.size(), bytes) ||
      inet_pton(AF_INET, host.c_str(), &to.sin_addr) != 1)
    return status;
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return status;
  if (sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
    close(fd);
    return status;
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<uint8_t> answer(MAX_MESSAGE + 64);
  std::vector<ICSCTlv> out;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
      break;
    ssize_t n = recv(fd, answer.data(), answer.size(), 0);
    Header h;
    if (n <= 0 || decode(answer.data(), static_cast<size_t>(n), h, out) != Decode::OK ||
        h.requestId != req.requestId || out.size() != cells.size())
      continue;
    if (out[0].status == OK)
      status.state = out[0].str;
    for (unsigned i = 0; i < kMaxHwErrors; ++i) {
      const ICSCTlv& name = out[1 + 2 * i];
      const ICSCTlv& active = out[2 + 2 * i];
      if (name.status == OK && active.status == OK && active.num != 0)
        status.alarms.push_back(name.str);
    }
    break;
  }
  close(fd);
  return status;
}
