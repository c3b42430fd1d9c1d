// velmora stand-in: serves Velm_util requests on a Unix seqpacket socket.
//
//   velmora [--socket PATH] [--config FILE] [--log FILE] [--quiet]
//
// --log appends the request log (one line per get/set/commit/...) to FILE,
// e.g. /dev/vocallog on the bench; otherwise it goes to stderr unless --quiet.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "SimCli.h"
#include "SimLog.h"
#include "SimSocket.h"
#include "SimStop.h"
#include "VelmoraEngine.h"
#include "velm/VelmClient.h"

namespace {

constexpr size_t MAX_CLIENTS = 32;
constexpr off_t LOG_LIMIT_BYTES = 4 * 1024 * 1024;

class RequestLog {
 public:
  RequestLog(const std::string& path, bool quiet) : m_path(path), m_quiet(quiet) {
    if (!path.empty())
      m_file = std::fopen(path.c_str(), "a");
    if (!path.empty() && !m_file)
      simlog::line("velmora: cannot open log %s: %s; logging to stderr", path.c_str(),
                   std::strerror(errno));
  }
  ~RequestLog() {
    if (m_file)
      std::fclose(m_file);
  }
  void write(const std::string& line) {
    if (m_file) {
      // Keep the bench's log device bounded: start over when it grows too big.
      if (std::ftell(m_file) > LOG_LIMIT_BYTES) {
        std::FILE* f = std::freopen(m_path.c_str(), "w", m_file);
        m_file = f;
        if (!m_file)
          return;
        std::fputs("velmora: log restarted (size limit)\n", m_file);
      }
      std::fprintf(m_file, "velmora: %s\n", line.c_str());
      std::fflush(m_file);
    } else if (!m_quiet) {
      simlog::line("velmora: %s", line.c_str());
    }
  }

 private:
  std::string m_path;
  bool m_quiet;
  std::FILE* m_file = nullptr;
};

const char kUsage[] =
    "usage: velmora [--socket PATH] [--config FILE] [--log FILE] [--quiet]\n"
    "  --socket PATH   where to serve requests (VELMORA_SOCKET or /tmp/velmora.sock)\n"
    "  --config FILE   the configuration it loads and commits (/vocal/velm.cfg)\n"
    "  --log FILE      append the request log to FILE (e.g. /dev/vocallog)\n"
    "  --quiet         without --log: no request log at all (default: stderr)\n";

int listenOn(const std::string& path) {
  int fd = simsocket::serveUnix(path, SOCK_SEQPACKET, 16);
  if (fd < 0)
    simlog::line("velmora: cannot listen on %s: %s", path.c_str(), std::strerror(errno));
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  std::string socketPath = VelmClient::defaultSocketPath();
  std::string configPath = "/vocal/velm.cfg";
  std::string logPath;
  bool quiet = false;
  int rc = simcli::parse("velmora", kUsage, argc, argv, simcli::ANYWHERE,
                         {{"socket", required_argument, nullptr, 's'},
                          {"config", required_argument, nullptr, 'c'},
                          {"log", required_argument, nullptr, 'l'},
                          {"quiet", no_argument, nullptr, 'q'}},
                         [&](int c, const char* arg) -> std::string {
                           if (c == 'q')
                             quiet = true;
                           else
                             (c == 's' ? socketPath : c == 'c' ? configPath : logPath) = arg;
                           return "";
                         });
  if (rc >= 0)
    return rc;
  if (optind != argc)
    return simcli::badUsage("velmora", "unexpected argument", kUsage);

  simstop::onTermination();
  signal(SIGPIPE, SIG_IGN);

  RequestLog requestLog(logPath, quiet);
  velmora::Engine engine(configPath, [&](const std::string& l) { requestLog.write(l); });
  engine.start();

  int listenFd = listenOn(socketPath);
  if (listenFd < 0)
    return 1;
  requestLog.write("listening on " + socketPath);

  std::vector<pollfd> fds{{listenFd, POLLIN, 0}};
  std::vector<uint8_t> rx(velmwire::MAX_REQUEST_SIZE + 1);
  std::vector<uint8_t> tx(velmwire::MAX_REPLY_SIZE);
  while (!simstop::requested()) {
    int n = ::poll(fds.data(), fds.size(), 1000);
    if (n < 0 && errno != EINTR)
      break;
    if (n <= 0)
      continue;
    for (size_t i = fds.size(); i-- > 1;) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
        continue;
      ssize_t len = ::recv(fds[i].fd, rx.data(), rx.size(), 0);
      if (len <= 0) {
        ::close(fds[i].fd);
        fds.erase(fds.begin() + static_cast<long>(i));
        continue;
      }
      velmwire::Request req;
      velmwire::Status st = velmwire::decodeRequest(rx.data(), static_cast<size_t>(len), req);
      if (st != velmwire::Status::OK) {
        // No trustworthy seq to answer with: drop the client.
        requestLog.write(std::string("bad request dropped (") + velmwire::statusText(st) + ", " +
                         std::to_string(len) + " bytes); connection closed");
        ::close(fds[i].fd);
        fds.erase(fds.begin() + static_cast<long>(i));
        continue;
      }
      velmwire::Reply rep = engine.handle(req);
      size_t out = velmwire::encodeReply(rep, tx.data(), tx.size(), st);
      if (out == 0 || ::send(fds[i].fd, tx.data(), out, MSG_NOSIGNAL) < 0) {
        ::close(fds[i].fd);
        fds.erase(fds.begin() + static_cast<long>(i));
      }
    }
    if (fds[0].revents & POLLIN) {
      int c = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c >= 0 && fds.size() > MAX_CLIENTS) {
        requestLog.write("too many clients; connection refused");
        ::close(c);
      } else if (c >= 0) {
        fds.push_back({c, POLLIN, 0});
      }
    }
  }
  for (auto& p : fds)
    ::close(p.fd);
  ::unlink(socketPath.c_str());
  requestLog.write("stopped");
  return 0;
}
