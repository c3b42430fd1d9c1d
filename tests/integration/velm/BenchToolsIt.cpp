// The bench's log device and the ./dev velmora path: /dev/vocallog set up in
// a mount namespace of its own, the stand-in logging there, nbcat reading it.
#include <gtest/gtest.h>

#include <string>

#include "ChildProcess.h"

using testsupport::runShell;

TEST(BenchTools, VocallogDeviceCarriesTheRequestLog) {
  auto bin = testsupport::binCommand;
  // A nested mount namespace keeps this test's /dev as it was.
  std::string script =
      "set -e; sh " + std::string(FXS_SOURCE_DIR) + "/sim/velmora/bench-vocallog.sh; " +
      "echo probe > /dev/null; test -c /dev/null; test -f /dev/vocallog; " + bin("velmora") +
      " --socket /tmp/bench-velmora.sock --config /tmp/bench-velm.cfg --log /dev/vocallog & " +
      "pid=$!; i=0; while [ ! -S /tmp/bench-velmora.sock ] && [ $i -lt 400 ]; do sleep 0.05; " +
      "i=$((i+1)); done; export VELMORA_SOCKET=/tmp/bench-velmora.sock; " + bin("velmctl") +
      " set ipbx_interdigit_duration 2500 >/dev/null; " + bin("velmctl") +
      " get ipbx_interdigit_duration; " + bin("nbcat") + " /dev/vocallog; kill $pid; wait $pid";
  int st = -1;
  std::string out = runShell(
      "FXS_IN_NS=1 unshare --mount --propagation private sh -c '" + script + "' 2>&1", &st);
  EXPECT_EQ(st, 0) << out;
  EXPECT_NE(out.find("ipbx_interdigit_duration == 2500\n"), std::string::npos) << out;
  EXPECT_NE(out.find("velmora: set ipbx_interdigit_duration -1 -1 = 2500\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("velmora: get ipbx_interdigit_duration -1 -1 -> 0\n"), std::string::npos);
}

TEST(BenchTools, VocallogSetupRefusesToRunOutsideANamespace) {
  int st = -1;
  std::string out = runShell(
      "env -u FXS_IN_NS sh " + std::string(FXS_SOURCE_DIR) + "/sim/velmora/bench-vocallog.sh 2>&1",
      &st);
  EXPECT_NE(st, 0);
  EXPECT_NE(out.find("refusing"), std::string::npos) << out;
}
