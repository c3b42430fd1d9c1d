// Console commands on the debug server's threads against ICSC traffic on
// this (the main) thread, all sharing the registry and its engine access.
// Built and run under ThreadSanitizer by ./dev test --sanitize thread.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "CardCommon.h"
#include "CardObjects.h"
#include "CardWithPeers.h"
#include "ConsoleClient.h"
#include "EngineCall.h"
#include "TestSupport.h"
#include "common/commonStatCtrl.h"
#include "debug/Odebug.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscProtocol.h"
#include "icsc/IcscWire.h"

namespace {

constexpr unsigned kInterdigitColumn = 3;
constexpr int kIcscRounds = 150;
constexpr int kConsoleRounds = 60;
constexpr unsigned kConsoleClients = 2;

}  // namespace

TEST(ConsoleConcurrency, ConsoleGetsAndDumpsBesideIcscTraffic) {
  ASSERT_NE(std::getenv("FXS_IN_NS"), nullptr) << "must run in its own namespaces";
  ::mkdir("/vocal", 0755);
  testsupport::VelmoraProcess engine("/tmp/velmora.sock", "/vocal/velm.cfg", "/tmp/vocallog");
  ASSERT_TRUE(engine.start());

  testsupport::CardCommon common;
  auto registry = std::make_unique<CardObjects>();
  testsupport::LastAnswerSink sink;
  IcscProtocolIfc icsc(&common, registry.get(), &sink);
  Odebug::CdebugServer server(0);
  ASSERT_TRUE(server.start());

  // Each reply must belong to its own request: a swapped engine answer
  // shows up as the other parameter's value. Compiled once, before the
  // threads: regex construction touches the shared locale cache.
  const std::regex interdigit("ipbx_interdigit_duration == (4000|250|300)\n");
  const std::regex hookflash("ipbx_hookflash_enable\\.3 == [01]\n");
  std::atomic<int> consoleFailures{0};
  std::atomic<int> consoleRounds{0};
  std::vector<std::thread> consoles;
  for (unsigned t = 0; t < kConsoleClients; ++t) {
    consoles.emplace_back([&, t] {
      testsupport::ConsoleClient console;
      if (!console.connect(server.port())) {
        ++consoleFailures;
        return;
      }
      for (int i = 0; i < kConsoleRounds; ++i) {
        std::string r1, r2, r3, r4;
        std::string get = console.run("velm get ipbx_interdigit_duration", &r1);
        std::string set = console.run(
            "velm set ipbx_hookflash_enable " + std::to_string((i + t) % 2) + " 3", &r2);
        std::string flash = console.run("velm get ipbx_hookflash_enable 3", &r3);
        std::string dump = console.run(i % 2 ? "card dump table 24" : "card dump scalar 11", &r4);
        bool ok = r1 == "ok" && r2 == "ok" && r3 == "ok" && r4 == "ok" &&
                  std::regex_match(get, interdigit) && std::regex_match(flash, hookflash) &&
                  set.find("SUCCESS\n") != std::string::npos &&
                  (i % 2 ? dump.rfind("FeaturesCodesTable", 0) == 0 &&
                               dump.find("row 7:\n") != std::string::npos
                         : dump.rfind("TimersScalar", 0) == 0);
        if (!ok) {
          ADD_FAILURE() << "console round " << i << ":\n" << get << set << flash << dump;
          ++consoleFailures;
          return;
        }
        ++consoleRounds;
      }
    });
  }

  int icscFailures = 0;
  for (int i = 0; i < kIcscRounds && icscFailures == 0; ++i) {
    int64_t value = i % 2 ? 300 : 250;
    const uint32_t oid = icscoid::object(testsupport::kTimersObject, kInterdigitColumn, 0);
    ICSCTlv set = testsupport::cellOf(oid, IcscType::U16, value);
    ICSCTlv w = testsupport::engineCall(icsc, sink, icscwire::SET, set, 2 * i + 1);
    ICSCTlv r =
        testsupport::engineCall(icsc, sink, icscwire::GET, testsupport::cellOf(oid), 2 * i + 2);
    if (w.status != icscwire::OK || r.status != icscwire::OK || r.num != value) {
      ADD_FAILURE() << "ICSC round " << i << ": set status " << int(w.status) << ", get status "
                    << int(r.status) << ", value " << r.num << " (wanted " << value << ")";
      ++icscFailures;
    }
  }
  for (std::thread& c : consoles)
    c.join();
  server.stop();
  EXPECT_EQ(icscFailures, 0);
  EXPECT_EQ(consoleFailures.load(), 0);
  EXPECT_EQ(consoleRounds.load(), static_cast<int>(kConsoleClients) * kConsoleRounds);
}
