// Four cards in one chassis (one start shared by every check): each in its
// slot with its own backplane address, a fault on one slot seen on that
// slot alone (over ICSC, in the controller's lines, on its rendered page),
// a pulled and inserted card reported within three polls, the logs of all
// cards collected at once, and a clean stop.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>

#include "ChildProcess.h"
#include "DevBench.h"
#include "TestSupport.h"

namespace {

using std::chrono::seconds;
using testsupport::DevBench;
using testsupport::readFile;
using testsupport::runShell;
using testsupport::shellQuoted;
using testsupport::waitFor;

constexpr int kCards = 4;

std::string icsc(const DevBench& b, int slot, const std::string& args) {
  return b.run("./dev icsc --slot " + std::to_string(slot) + " " + args + " 2>&1", nullptr, 30);
}

// The colour of one pixel of a PNG screenshot, "R,G,B".
std::string pixel(const std::string& png, int x, int y) {
  static const char kScript[] = R"(
import struct, sys, zlib
data = open(sys.argv[1], 'rb').read()
pos, idat = 8, b''
while pos < len(data):
    n, kind = struct.unpack('>I4s', data[pos:pos + 8])
    if kind == b'IHDR':
        w, h, depth, ctype = struct.unpack('>IIBB', data[pos + 8:pos + 18])
    if kind == b'IDAT':
        idat += data[pos + 8:pos + 8 + n]
    pos += 12 + n
bpp = {2: 3, 6: 4}[ctype]
raw, rows, prev = zlib.decompress(idat), [], bytearray(w * bpp)
for r in range(h):
    f, line = raw[r * (w * bpp + 1)], bytearray(raw[r * (w * bpp + 1) + 1:(r + 1) * (w * bpp + 1)])
    for i in range(len(line)):
        a = line[i - bpp] if i >= bpp else 0
        b, c = prev[i], prev[i - bpp] if i >= bpp else 0
        p = a + b - c
        pr = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c
        line[i] = (line[i] + [0, a, b, (a + b) // 2, pr][f]) & 255
    rows.append(line)
    prev = line
x, y = int(sys.argv[2]), int(sys.argv[3])
print('%d,%d,%d' % tuple(rows[y][x * bpp:x * bpp + 3]))
)";
  return runShell("python3 -c " + shellQuoted(kScript) + " " + shellQuoted(png) + " " +
                  std::to_string(x) + " " + std::to_string(y) + " 2>&1");
}

TEST(Chassis, FourCardsEachInItsSlot) {
  if (!testsupport::execPrefix().empty())
    GTEST_SKIP() << "the chassis runs this host's build, not an emulated one";
  DevBench bench("chassis");
  int st = -1;
  std::string out = bench.run("./dev chassis start 4", &st, 300);
  ASSERT_EQ(st, 0) << out;
  EXPECT_NE(out.find("chassis: 4 card(s) in slots 1-4 (4 ACTIVE"), std::string::npos) << out;
  const std::string dir = bench.chassisDir(), log = dir + "/controller.log";
  out = bench.run("./dev chassis status", &st, 60);
  EXPECT_EQ(st, 0) << out;
  for (int slot = 1; slot <= kCards; ++slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    const std::string n = std::to_string(slot);
    EXPECT_NE(out.find("slot " + n + ": ACTIVE"), std::string::npos) << out;
    EXPECT_EQ(icsc(bench, slot, "get common card \"Ifc Slot\""), n + "\n");
    EXPECT_NE(bench.inCard("ip -4 -o addr show eth0", slot).find(" 172.30.30." + n + "/24 "),
              std::string::npos);
    // The controller found it over the backplane.
    EXPECT_TRUE(waitFor(
        [&] { return readFile(log).find("slot " + n + ": card found") != std::string::npos; },
        seconds(10)))
        << readFile(log);
  }

  // A fault on slot 3 shows there alone.
  out = bench.run("./dev inject --slot 3 temp status 2 0", &st, 30);
  ASSERT_EQ(st, 0) << out;
  for (int slot = 1; slot <= kCards; ++slot)
    EXPECT_EQ(icsc(bench, slot, "get common hw-error 3 active"), slot == 3 ? "true\n" : "false\n")
        << "slot " << slot;
  EXPECT_TRUE(waitFor(
      [&] {
        return readFile(log).find("slot 3: hardware alarm raised: MAX6602 TempSensor") !=
               std::string::npos;
      },
      seconds(5)))
      << readFile(log);
  EXPECT_FALSE(std::regex_search(readFile(log), std::regex("slot [124]: hardware alarm")))
      << readFile(log);
  ASSERT_TRUE(waitFor(
      [&] {
        return readFile(dir + "/index.html").find("slot 3</div><div class=\"alarm on\"") !=
               std::string::npos;
      },
      seconds(5)));
  // The page as a browser renders it: the alarm LED of each slot sits at
  // a fixed place; lit (red) on slot 3 only.
  std::string installed = runShell(
      "cd " + shellQuoted(FXS_SOURCE_DIR) +
      " && FXS_ROOT=$PWD bash -c '. tools/dev/common.sh && ensure_packages chromium' 2>&1");
  std::string png = dir + "/page.png";
  out = installed +
        runShell(
            "timeout 120 chromium --headless --no-sandbox --disable-gpu "
            "--force-device-scale-factor=1 --window-size=600,500 --screenshot=" +
            shellQuoted(png) + " " + shellQuoted("file://" + dir + "/index.html") + " 2>&1");
  ASSERT_TRUE(testsupport::exists(png)) << out;
  for (int slot = 1; slot <= kCards; ++slot)
    EXPECT_EQ(pixel(png, 66 + (slot - 1) * 118, 71), slot == 3 ? "255,32,0\n" : "68,68,68\n")
        << "slot " << slot;

  // Pulled, then inserted: each reported within three polls (one a second).
  auto reported = [&](const std::string& line) {
    return waitFor([&] { return readFile(log).find(line) != std::string::npos; }, seconds(4));
  };
  out = bench.run("./dev chassis pull 2", &st, 60);
  ASSERT_EQ(st, 0) << out;
  EXPECT_TRUE(reported("slot 2: card lost")) << readFile(log);
  out = bench.run("./dev chassis status", &st, 60);
  EXPECT_EQ(st, 0) << out;
  EXPECT_NE(out.find("slot 2: empty"), std::string::npos) << out;
  out = bench.run("./dev chassis insert 2", &st, 120);
  ASSERT_EQ(st, 0) << out;
  EXPECT_NE(out.find("slot 2 inserted, card ACTIVE"), std::string::npos) << out;
  EXPECT_TRUE(reported("slot 2: card back")) << readFile(log);

  // One archive per slot, collected at once.
  out = bench.run("./dev chassis collect-logs", &st, 300);
  EXPECT_EQ(st, 0) << out;
  for (int slot = 1; slot <= kCards; ++slot) {
    std::smatch m;
    std::regex archive("slot " + std::to_string(slot) + ": (\\S+/card-logs-slot" +
                       std::to_string(slot) + "-\\S+\\.tar\\.gz)");
    ASSERT_TRUE(std::regex_search(out, m, archive)) << out;
    EXPECT_NE(runShell("tar -tzf " + shellQuoted(m[1]) + " 2>&1").find("flash/log/vocal.cfg"),
              std::string::npos)
        << m[1];
  }

  out = bench.run("./dev chassis stop", &st, 120);
  EXPECT_EQ(st, 0) << out;
  EXPECT_EQ(testsupport::countOf(out, "main exited with status 0"), static_cast<size_t>(kCards))
      << out;
}

}  // namespace
