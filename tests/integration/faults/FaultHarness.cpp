#include "FaultHarness.h"

#include "TestSupport.h"

namespace faults {

bool emulated() {
  return !testsupport::execPrefix().empty();
}

Load::Load(unsigned workers, Clock::duration limit) : m_end(Clock::now() + limit) {
  for (unsigned i = 0; i < workers; ++i)
    m_threads.emplace_back([this] { run(); });
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
  testsupport::IcscClient c;
  const ICSCTlv read = testsupport::cellOf(kMappedOid);
  // Bounded in count as well as in time.
  for (size_t i = 0; i < 1000000 && !m_stop && Clock::now() < m_end; ++i) {
    Clock::duration took = seconds(3);
    uint8_t st = c.call(icscwire::GET, read, took, &took).status;
    std::lock_guard<std::mutex> lk(m_mutex);
    if (st == testsupport::kNoAnswer)
      ++m_stats.unanswered;
    else if (st == icscwire::OK)
      ++m_stats.ok;
    else
      ++m_stats.refused;
    if (took > m_stats.slowest)
      m_stats.slowest = took;
  }
}

}  // namespace faults
