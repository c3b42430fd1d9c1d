// ./dev run as a user runs it, against a bench of the test's own: its state
// under the build tree, this build's binaries.
#pragma once

#include <string>

namespace testsupport {

// Single quotes for a shell word.
std::string shellQuoted(const std::string& s);

class DevBench {
 public:
  // State in <build>/dev-bench/<name>; the bench is stopped on destruction.
  explicit DevBench(const std::string& name);
  ~DevBench();
  DevBench(const DevBench&) = delete;
  DevBench& operator=(const DevBench&) = delete;

  // The settings that make ./dev use this bench, then a cd to the sources.
  std::string env() const;
  // Runs a shell line as written (stdin from /dev/null, stderr with
  // stdout); its output and exit status (-1 when it did not exit).
  std::string run(const std::string& line, int* status = nullptr, int seconds = 180) const;
  // A command inside the card's namespaces (slot 0: the bench's card).
  std::string inCard(const std::string& command, int slot = 0) const;
  // ./dev bench status succeeds; the chassis's namespace exists.
  bool running() const;
  bool chassisRunning() const;
  const std::string& dir() const { return m_dir; }
  // The bench's own directory (FXS_BENCH_DIR) and the chassis's.
  std::string benchDir() const { return m_dir + "/bench"; }
  std::string chassisDir() const { return m_dir + "/chassis"; }

 private:
  std::string m_dir;
};

}  // namespace testsupport
