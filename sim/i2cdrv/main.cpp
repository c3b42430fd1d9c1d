// Stand-in for the card's I2C driver on the bench. Answers the self-test
// requests read from "/queueToI2cDrv" and reports temperatures (26), ADC
// power (0) and the power monitor (19) to "/queueToMain" periodically.
//
//   sim_i2cdrv [--silent] [--fail-selftest] [--fail-sensor N] [--idle-pwrmon]
//              [--period-ms MS]
#include <fcntl.h>
#include <mqueue.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "drivermsg/hwMessages.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void onSignal(int) {
  g_stop = 1;
}

struct Options {
  bool silent = false;
  bool failSelfTest = false;
  int failSensor = -1;
  bool idlePwrmon = false;
  long periodMs = 2000;
};

bool parseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--silent")
      o.silent = true;
    else if (a == "--fail-selftest")
      o.failSelfTest = true;
    else if (a == "--idle-pwrmon")
      o.idlePwrmon = true;
    else if (a == "--fail-sensor" && i + 1 < argc)
      o.failSensor = std::atoi(argv[++i]);
    else if (a == "--period-ms" && i + 1 < argc)
      o.periodMs = std::atol(argv[++i]);
    else
      return false;
  }
  return o.failSensor < static_cast<int>(hwmsg::NBR_OF_TEMP_SENSORS) && o.periodMs > 0;
}

class MainQueue {
 public:
  ~MainQueue() {
    if (m_q != static_cast<mqd_t>(-1))
      mq_close(m_q);
  }
  // The card creates "/queueToMain"; until it exists reports are dropped.
  void send(const std::vector<uint8_t>& msg, const char* what) {
    if (m_q == static_cast<mqd_t>(-1))
      m_q = mq_open(mainqueue::NAME, O_WRONLY | O_NONBLOCK);
    if (m_q == static_cast<mqd_t>(-1))
      return;
    if (mq_send(m_q, reinterpret_cast<const char*>(msg.data()), msg.size(), 0) != 0)
      std::fprintf(stderr, "sim_i2cdrv: %s report lost: %s\n", what, std::strerror(errno));
  }

 private:
  mqd_t m_q = static_cast<mqd_t>(-1);
};

void sendReports(MainQueue& main, const Options& opt, unsigned round) {
  std::array<hwmsg::TempRecord, hwmsg::NBR_OF_TEMP_SENSORS> temps{};
  for (unsigned i = 0; i < temps.size(); ++i) {
    temps[i].temperature = 38 + static_cast<int32_t>(i) + static_cast<int32_t>(round % 3);
    temps[i].status = static_cast<int>(i) == opt.failSensor ? 0 : 1;
  }
  // Sensor status goes out once, in the first all-sensors report; later
  // rounds carry only values, so a status injected by hand stays until a
  // report says otherwise.
  if (round == 0) {
    main.send(hwmsg::encodeTempAll(temps), "temperature");
  } else {
    for (unsigned i = 0; i < temps.size(); ++i)
      main.send(hwmsg::encodeTemp(hwmsg::TEMP_PROP_VALUE, i, temps[i].temperature), "temperature");
  }
  main.send(hwmsg::encodeAdc(hwmsg::ADC_PROP_POWER, 2700 + static_cast<int32_t>(round % 5)),
            "power");
  hwmsg::PowerMonitorMsg pm;
  pm.text = "TPS217";
  pm.statusValue = 0;
  pm.state = opt.idlePwrmon ? hwmsg::PWRMON_STATE_IDLE : hwmsg::PWRMON_STATE_ACTIVE;
  pm.errorFlag = 0;
  const int32_t nominal[hwmsg::NBR_OF_REGULATORS] = {1500, 1100, 1100, 1800, 3300, 1800, 3300};
  for (unsigned i = 0; i < hwmsg::NBR_OF_REGULATORS; ++i) {
    pm.valid[i] = 1;
    pm.millivolts[i] = nominal[i] + static_cast<int32_t>(round % 4) - 2;
  }
  main.send(hwmsg::encodePwrMon(pm), "power monitor");
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (!parseOptions(argc, argv, opt)) {
    std::fprintf(stderr,
                 "usage: sim_i2cdrv [--silent] [--fail-selftest] [--fail-sensor 0..4] "
                 "[--idle-pwrmon] [--period-ms MS]\n");
    return 2;
  }
  std::signal(SIGTERM, onSignal);
  std::signal(SIGINT, onSignal);
  setvbuf(stdout, nullptr, _IOLBF, 0);

  // Room for the 16- and 20-byte self-test requests.
  mq_attr attr{};
  attr.mq_maxmsg = 10;
  attr.mq_msgsize = 64;
  mqd_t in = mq_open("/queueToI2cDrv", O_RDONLY | O_CREAT, 0600, &attr);
  if (in == static_cast<mqd_t>(-1)) {
    std::fprintf(stderr, "sim_i2cdrv: cannot open /queueToI2cDrv: %s\n", std::strerror(errno));
    return 1;
  }
  mq_getattr(in, &attr);
  std::printf("sim_i2cdrv: running%s%s%s%s, report period %ld ms\n", opt.silent ? ", silent" : "",
              opt.failSelfTest ? ", failing self tests" : "",
              opt.failSensor >= 0 ? ", failing a temperature sensor" : "",
              opt.idlePwrmon ? ", idle power monitor" : "", opt.periodMs);

  MainQueue main;
  std::vector<uint8_t> buf(static_cast<size_t>(attr.mq_msgsize));
  auto next = std::chrono::steady_clock::now();
  unsigned round = 0;
  while (!g_stop) {
    timespec until{};
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_nsec += 100 * 1000 * 1000;
    if (until.tv_nsec >= 1000000000) {
      until.tv_sec += 1;
      until.tv_nsec -= 1000000000;
    }
    ssize_t n =
        mq_timedreceive(in, reinterpret_cast<char*>(buf.data()), buf.size(), nullptr, &until);
    if (n > 0 && !opt.silent) {
      int32_t result = opt.failSelfTest ? 0 : 1;
      switch (hwmsg::classifySelfTestRequest(buf.data(), static_cast<size_t>(n))) {
        case hwmsg::SelfTestKind::ADC:
          main.send(hwmsg::encodeAdc(hwmsg::ADC_PROP_SELFTEST, result), "ADC self-test");
          break;
        case hwmsg::SelfTestKind::TEMP:
          main.send(hwmsg::encodeTemp(hwmsg::TEMP_PROP_SELFTEST, 0, result),
                    "temperature self-test");
          break;
        case hwmsg::SelfTestKind::NONE:
          std::fprintf(stderr, "sim_i2cdrv: ignored %zd-byte request\n", n);
          break;
      }
    }
    auto now = std::chrono::steady_clock::now();
    if (!opt.silent && now >= next) {
      sendReports(main, opt, round++);
      next = now + std::chrono::milliseconds(opt.periodMs);
    }
  }
  mq_close(in);
  return 0;
}
