#include <gtest/gtest.h>

#include "FaultHarness.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

namespace faults {

bool emulated() {
  return !testsupport::execPrefix().empty();
}

bool waitFor(const std::function<bool()>& cond, Clock::duration limit) {
  auto deadline = Clock::now() + limit;
  for (;;) {
    if (cond())
      return true;
    if (Clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
}

Proc::Proc(const std::string& bin, const std::vector<std::string>& args, const std::string& env) {
  start(bin, args, env);
}

Proc::~Proc() {
  stop();
}

void Proc::start(const std::string& bin, const std::vector<std::string>& args,
                 const std::string& env) {
  static std::atomic<unsigned> serial{0};
  m_logPath = "/tmp/fault-" + bin + "-" + std::to_string(++serial) + ".log";
  std::string cmd = "exec " + (env.empty() ? "" : "env " + env + " ") + testsupport::execPrefix() +
                    " " + testsupport::binPath(bin);
  for (const std::string& a : args)
    cmd += " '" + a + "'";
  m_status = -1;
  m_pid = fork();
  if (m_pid == 0) {
    int fd = open(m_logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
}

bool Proc::alive() {
  if (m_pid <= 0)
    return false;
  int st = 0;
  pid_t r = waitpid(m_pid, &st, WNOHANG);
  if (r == m_pid) {
    m_status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    m_pid = -1;
    return false;
  }
  return true;
}

void Proc::signal(int sig) {
  if (m_pid > 0)
    kill(m_pid, sig);
}

bool Proc::waitExit(Clock::duration limit, int& status) {
  bool gone = waitFor([this] { return !alive(); }, limit);
  status = m_status;
  return gone;
}

void Proc::stop(Clock::duration grace) {
  if (m_pid <= 0)
    return;
  int st;
  kill(m_pid, SIGCONT);
  kill(m_pid, SIGTERM);
  if (!waitExit(grace, st)) {
    kill(m_pid, SIGKILL);
    waitExit(seconds(5), st);
  }
}

std::string Proc::log() const {
  std::ifstream in(m_logPath);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void Card::startVelmora() {
  velmora.start("velmora", {"--socket", "/tmp/velmora.sock", "--quiet"});
}

::testing::AssertionResult Card::start() {
  startVelmora();
  if (!waitFor([] { return access("/tmp/velmora.sock", F_OK) == 0; }, seconds(10)))
    return ::testing::AssertionFailure() << "velmora did not come up";
  main.start("main", {}, "FXS_TRACE_STDERR=1");
  udpfe.start("udpfe", {"--port", std::to_string(ICSC_PORT)});
  IcscClient c;
  uint32_t oid = icscoid::object(TIMERS_OBJECT, 3, 0);
  if (!waitFor([&] { return c.get(oid, milliseconds(200)) == icscwire::OK; }, seconds(20)))
    return ::testing::AssertionFailure() << "the card did not serve a GET; main's log:\n"
                                         << main.log();
  return ::testing::AssertionSuccess();
}

IcscClient::IcscClient() : m_id(static_cast<uint32_t>(rand()) << 8) {
  m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(ICSC_PORT);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

IcscClient::~IcscClient() {
  close(m_fd);
}

int IcscClient::get(uint32_t oid, Clock::duration timeout, Clock::duration* took) {
  icscwire::Header h;
  h.op = icscwire::GET;
  h.count = 1;
  h.requestId = ++m_id;
  ICSCTlv cell;
  cell.oid = oid;
  std::vector<uint8_t> bytes;
  if (!icscwire::encode(h, &cell, 1, bytes))
    return -1;
  auto t0 = Clock::now();
  if (send(m_fd, bytes.data(), bytes.size(), 0) < 0)
    return -1;
  auto deadline = t0 + timeout;
  std::vector<ICSCTlv> cells;
  uint8_t buf[4096];
  for (;;) {
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
      return -1;
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) != 1)
      continue;
    ssize_t n = recv(m_fd, buf, sizeof buf, 0);
    icscwire::Header a;
    // Late answers to earlier requests are skipped.
    if (n > 0 && icscwire::decode(buf, static_cast<size_t>(n), a, cells) == icscwire::Decode::OK &&
        a.requestId == h.requestId) {
      if (took)
        *took = Clock::now() - t0;
      return cells.size() == 1 ? cells[0].status : a.status;
    }
  }
}

Load::Load(unsigned workers, Clock::duration limit) : m_end(Clock::now() + limit) {
  for (unsigned i = 0; i < workers; ++i)
    m_threads.emplace_back([this] { run(); });
}

Load::~Load() {
  stop();
}

Load::Stats Load::stop() {
  m_stop = true;
  for (auto& t : m_threads)
    if (t.joinable())
      t.join();
  return snapshot();
}

Load::Stats Load::snapshot() {
  std::lock_guard<std::mutex> lk(m_mutex);
  return m_stats;
}

void Load::run() {
  IcscClient c;
  uint32_t oid = icscoid::object(TIMERS_OBJECT, 3, 0);
  // Bounded in count as well as in time.
  for (size_t i = 0; i < 1000000 && !m_stop && Clock::now() < m_end; ++i) {
    Clock::duration took{};
    int st = c.get(oid, seconds(3), &took);
    std::lock_guard<std::mutex> lk(m_mutex);
    if (st < 0) {
      ++m_stats.unanswered;
      took = seconds(3);
    } else if (st == icscwire::OK) {
      ++m_stats.ok;
    } else {
      ++m_stats.refused;
    }
    if (took > m_stats.slowest)
      m_stats.slowest = took;
  }
}

std::string console(const std::string& line, const std::string& until, Clock::duration limit) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(CONSOLE_PORT);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string text;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    std::string cmd = line + "\n";
    if (write(fd, cmd.data(), cmd.size()) == static_cast<ssize_t>(cmd.size())) {
      auto deadline = Clock::now() + limit;
      while (Clock::now() < deadline && text.find(until) == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
          continue;
        char buf[4096];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
          break;
        text.append(buf, static_cast<size_t>(n));
      }
    }
  }
  close(fd);
  return text;
}

std::string cardState() {
  std::string text = console("main internals", "m_allLedsOnCntr");
  const std::string key = "m_state            = ";
  size_t at = text.find(key);
  if (at == std::string::npos)
    return "";
  size_t end = text.find('\n', at);
  return text.substr(at + key.size(), end - at - key.size());
}

}  // namespace faults
