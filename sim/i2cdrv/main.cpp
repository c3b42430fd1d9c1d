// Stand-in for the card's I2C driver on the bench. Answers the self-test
// requests read from "/queueToI2cDrv" and, as the real driver does, reports
// every sensor's temperature and status (26), the ADC power (0) and the
// power monitor (19) to "/queueToMain" once per period, so reports sent
// before the card's queue existed are made good by the next round. Reports
// arriving on its control socket (./dev inject) replace its readings.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "I2cReports.h"
#include "SimCli.h"
#include "SimLog.h"
#include "SimQueue.h"
#include "SimSocket.h"
#include "SimStop.h"
#include "mq/MessageQueue.h"

namespace {

const char kUsage[] =
    "usage: sim_i2cdrv [--silent] [--fail-selftest] [--fail-adc-selftest] [--fail-sensor N]...\n"
    "                  [--fail-pwrmon] [--idle-pwrmon] [--period-ms MS]\n"
    "  --silent             answer nothing, report nothing\n"
    "  --fail-selftest      answer the ADC and temperature self tests with 'failed'\n"
    "  --fail-adc-selftest  answer the ADC self test alone with 'failed'\n"
    "  --fail-sensor N      report temperature sensor N (0-4) as failed (repeatable)\n"
    "  --fail-pwrmon        report the power monitor failed (raises its error)\n"
    "  --idle-pwrmon        report the power monitor idle (raises its error)\n"
    "  --period-ms MS       report period (default 2000)\n";

struct Options {
  bool silent = false;
  long periodMs = 2000;
  i2cdrv::Readings readings;
};

// -1 to go on, else the exit status.
int parseOptions(int argc, char** argv, Options& o) {
  static const std::string usage = std::string(kUsage) + "Reports sent to " +
                                   i2cdrv::kControlSocket + " replace its readings.\n";
  i2cdrv::Readings& r = o.readings;
  int rc = simcli::parse("sim_i2cdrv", usage.c_str(), argc, argv, simcli::ANYWHERE,
                         {{"silent", no_argument, nullptr, 's'},
                          {"fail-selftest", no_argument, nullptr, 'f'},
                          {"fail-adc-selftest", no_argument, nullptr, 'a'},
                          {"fail-pwrmon", no_argument, nullptr, 'P'},
                          {"fail-sensor", required_argument, nullptr, 'n'},
                          {"idle-pwrmon", no_argument, nullptr, 'i'},
                          {"period-ms", required_argument, nullptr, 'p'}},
                         [&](int c, const char* arg) -> std::string {
                           unsigned sensor = 0;
                           switch (c) {
                             case 's':
                               o.silent = true;
                               return "";
                             case 'f':
                               r.adcSelfTest = r.tempSelfTest = 0;
                               return "";
                             case 'a':
                               r.adcSelfTest = 0;
                               return "";
                             case 'P':
                               r.pwrmon.state = hwmsg::PWRMON_STATE_FAIL;
                               return "";
                             case 'n':
                               if (!simcli::integer(arg, 0, hwmsg::NBR_OF_TEMP_SENSORS - 1, sensor))
                                 return "--fail-sensor wants 0-4";
                               r.sensorStatus[sensor] = 0;
                               return "";
                             case 'i':
                               r.pwrmon.state = hwmsg::PWRMON_STATE_IDLE;
                               return "";
                             default:
                               return simcli::integer(arg, 10, 3600000, o.periodMs)
                                          ? ""
                                          : "--period-ms wants 10-3600000";
                           }
                         });
  if (rc < 0 && optind != argc)
    return simcli::badUsage("sim_i2cdrv", "unexpected argument", usage.c_str());
  return rc;
}

int bindControl() {
  int fd = simsocket::serveUnix(i2cdrv::kControlSocket, SOCK_DGRAM);
  if (fd < 0)
    simlog::line("sim_i2cdrv: no control socket %s: %s", i2cdrv::kControlSocket,
                 std::strerror(errno));
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (int rc = parseOptions(argc, argv, opt); rc >= 0)
    return rc;
  simstop::onTermination();

  MessageQueue in(hwmsg::I2C_QUEUE,
                  MessageQueue::Receiver{hwmsg::I2C_QUEUE_MSG_SIZE, hwmsg::I2C_QUEUE_DEPTH, 0600});
  if (!in.isOpen()) {
    simlog::line("sim_i2cdrv: cannot open %s: %s", hwmsg::I2C_QUEUE, std::strerror(in.openError()));
    return 1;
  }
  int control = bindControl();
  const auto& r = opt.readings;
  unsigned failed = 0;
  for (int32_t s : r.sensorStatus)
    failed += s == 0;
  const char* selfTests = r.adcSelfTest == 1    ? ""
                          : r.tempSelfTest == 1 ? ", failing ADC self test"
                                                : ", failing self tests";
  const char* pwrmon = r.pwrmon.state == hwmsg::PWRMON_STATE_ACTIVE ? ""
                       : r.pwrmon.state == hwmsg::PWRMON_STATE_IDLE ? ", idle power monitor"
                                                                    : ", failed power monitor";
  simlog::line("sim_i2cdrv: running%s%s, %u failing sensor(s)%s, report period %ld ms",
               opt.silent ? ", silent" : "", selfTests, failed, pwrmon, opt.periodMs);

  // Until the card has created "/queueToMain" reports are dropped (the next
  // period sends them again); a full queue is waited for, as by the driver
  // on the card.
  simqueue::CardQueueSender main("sim_i2cdrv");
  std::vector<uint8_t> buf(static_cast<size_t>(in.msgSize()) + 2048);
  auto next = std::chrono::steady_clock::now();
  while (!simstop::requested()) {
    auto now = std::chrono::steady_clock::now();
    if (!opt.silent && now >= next) {
      for (const auto& report : i2cdrv::periodicReports(opt.readings))
        main.send(mainqueue::NAME, report);
      next = now + std::chrono::milliseconds(opt.periodMs);
    }
    auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
    pollfd fds[2] = {{in.fd(), POLLIN, 0}, {control, POLLIN, 0}};
    if (poll(fds, control >= 0 ? 2 : 1, static_cast<int>(std::max<long>(waitMs, 1))) <= 0)
      continue;
    if (fds[0].revents & POLLIN) {
      ssize_t n = in.receive(buf.data(), buf.size());
      if (n > 0 && !opt.silent) {
        auto answer = i2cdrv::selfTestAnswer(opt.readings, buf.data(), static_cast<size_t>(n));
        if (answer.empty())
          simlog::line("sim_i2cdrv: ignored %zd-byte request", n);
        else
          main.send(mainqueue::NAME, answer);
      }
    }
    if (control >= 0 && (fds[1].revents & POLLIN)) {
      ssize_t n = recv(control, buf.data(), buf.size(), 0);
      if (n > 0 && i2cdrv::adopt(opt.readings, buf.data(), static_cast<size_t>(n)))
        simlog::line("sim_i2cdrv: adopted injected report %u",
                     hwmsg::msgId(buf.data(), static_cast<size_t>(n)));
      else if (n > 0)
        simlog::line("sim_i2cdrv: ignored %zd bytes on the control socket", n);
    }
  }
  if (control >= 0) {
    close(control);
    unlink(i2cdrv::kControlSocket);
  }
  return 0;
}
