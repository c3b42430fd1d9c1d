// The fetch program "loadfetch" run beside main and watched from the card's
// loop: each poll takes what it reported so far and never waits.
#include <algorithm>

#include "common/FtpProgram.h"
#include "load/LoadManager.h"
#include "process/ChildProcess.h"

namespace load {

namespace {

class ProgramFetcher : public Fetcher {
 public:
  bool start(const ftpupload::Request& request, std::string& reason) override {
    m_program = ftpupload::programPath("loadfetch", "FXS_LOADFETCH");
    if (m_program.empty()) {
      reason = "cannot tell where the fetch program is (no /proc/self/exe)";
      return false;
    }
    std::string bytes = ftpupload::requestBytes(request, reason);
    if (bytes.empty())
      return false;
    m_password = request.target.password;
    m_bounds = ftpupload::boundsFor(std::chrono::seconds(request.limitSeconds), -1);
    m_stream.clear();
    m_last = Report{};
    m_child = std::make_unique<childprocess::Child>();
    bool started = m_child->start({m_program}, bytes, m_bounds);
    std::fill(bytes.begin(), bytes.end(), '\0');
    if (!started) {
      ftpupload::judge(m_child->outcome(), m_bounds, "the fetch program", m_program, "", m_password,
                       reason);
      m_child.reset();
    }
    return started;
  }

  Report poll() override {
    if (!m_child)
      return m_last;
    bool done = m_child->pump(false);
    m_stream += m_child->takeOutput();
    for (const ftpupload::Progress& p : ftpupload::takeProgress(m_stream)) {
      m_last.phase = p.phase;
      m_last.percent = p.percent;
    }
    if (done) {
      m_last.ended = true;
      m_last.result = ftpupload::judge(m_child->outcome(), m_bounds, "the fetch program", m_program,
                                       m_stream, m_password, m_last.reason);
      m_child.reset();
      std::fill(m_password.begin(), m_password.end(), '\0');
    }
    return m_last;
  }

  void stop() override {
    if (m_child)
      m_child->stop();
    m_child.reset();
  }

 private:
  std::string m_program;
  std::string m_password;
  childprocess::Bounds m_bounds;
  std::unique_ptr<childprocess::Child> m_child;
  std::string m_stream;  // reports not taken yet, then the answer
  Report m_last;
};

}  // namespace

std::unique_ptr<Fetcher> programFetcher() {
  return std::make_unique<ProgramFetcher>();
}

}  // namespace load
