// Posts one hand-made message to "/queueToMain" on the bench. A report of
// the I2C driver goes to the driver stand-in too, when it runs, so that its
// periodic reports carry on saying what was injected.
//
//   sim_inject [--] KIND [SUB] ARGS      (sim_inject --help lists the kinds)
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "I2cReports.h"
#include "InjectCommand.h"
#include "SimCli.h"
#include "drivermsg/hwMessages.h"
#include "mq/MessageQueue.h"

namespace {

const char kUsage[] = "usage: ./dev inject KIND [SUB] ARGS (sim_inject [--] KIND [SUB] ARGS)\n";

// Hands a report to the I2C driver stand-in; false when none listens.
bool handToDriver(const std::vector<uint8_t>& msg) {
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, i2cdrv::kControlSocket, sizeof addr.sun_path - 1);
  bool sent = fd >= 0 && sendto(fd, msg.data(), msg.size(), 0, reinterpret_cast<sockaddr*>(&addr),
                                sizeof addr) == static_cast<ssize_t>(msg.size());
  if (fd >= 0)
    close(fd);
  return sent;
}

}  // namespace

int main(int argc, char** argv) {
  // Values such as -5 are arguments, not options.
  const std::string usage = std::string(kUsage) + "kinds:\n" + injectUsage();
  int rc = simcli::parse("sim_inject", usage.c_str(), argc, argv, simcli::BEFORE_ARGUMENTS, {},
                         [](int, const char*) { return std::string(); });
  if (rc >= 0)
    return rc;
  std::vector<std::string> words(argv + optind, argv + argc);
  std::vector<uint8_t> msg;
  std::string error;
  if (!buildInjectMessage(words, msg, error))
    return simcli::badUsage("sim_inject", error, usage.c_str());

  // First the driver, so that no round of its reports undoes the message.
  i2cdrv::Readings probe;
  bool driverReport = i2cdrv::adopt(probe, msg.data(), msg.size());
  if (driverReport && handToDriver(msg))
    std::printf("sim_inject: the I2C driver stand-in reports the same from now on\n");

  MessageQueue q(mainqueue::NAME, MessageQueue::SendOnly{});
  if (!q.isOpen()) {
    std::fprintf(stderr, "sim_inject: %s: %s (is the card running?)\n", mainqueue::NAME,
                 std::strerror(q.openError()));
    return 1;
  }
  rc = 0;
  if (!q.send(msg.data(), msg.size())) {
    std::fprintf(stderr, "sim_inject: send failed: %s\n", std::strerror(errno));
    rc = 1;
  } else {
    std::printf("sim_inject: sent %zu bytes, message %u\n", msg.size(),
                hwmsg::msgId(msg.data(), msg.size()));
  }
  return rc;
}
