// The software download end to end: main started by the slot chooser from a
// factory load on the test's own flash (a small tmpfs on /flash), with its
// peers and the board stand-in that ends it on a reboot request; the
// chassis' FTP server (pyftpdlib, one of them held to a slow rate); bundles
// made with the bundle library; every record written and read over ICSC as
// the chassis does. The test plays the card's init: whenever main ends, it
// starts the chooser again.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "CardWithPeers.h"
#include "FtpServer.h"
#include "TestSupport.h"
#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscOid.h"
#include "load/LoadManager.h"
#include "load/bundle/Bundle.h"

namespace {

using namespace testsupport;
using namespace commonrec;
using CO = commonStatCtrl;
using LM = load::LoadManager;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr unsigned kSlowPort = 2122;
constexpr unsigned kSlowRate = 24 * 1024;
const std::string kRoot = "/flash/load";
const std::string kStage = "/tmp/load";

// The build's load programs, stripped, as a bundle or the factory load
// takes them.
std::vector<std::string> loadFiles() {
  static std::vector<std::string> files;
  if (files.empty()) {
    ::mkdir(kStage.c_str(), 0755);
    for (const char* p : {"main", "ftpupload", "loadfetch"}) {
      int st = -1;
      std::string out = runShell("strip -o " + kStage + "/" + p + " " + binPath(p) + " 2>&1", &st);
      EXPECT_EQ(st, 0) << out;
      files.push_back(kStage + "/" + p);
    }
  }
  return files;
}

enum class Signature { GOOD, ALTERED, OTHER_KEY, NONE };

struct BundleParts {
  std::string version = "v-new";
  unsigned cardType = 15;
  std::string arch = FXS_LOAD_ARCH;
  Signature signature = Signature::GOOD;
  std::vector<std::string> files = loadFiles();
  std::vector<bundle::Member> extra;  // members beyond the manifest's
};

// Writes the bundle onto the FTP server; its path there.
std::string putBundle(const std::string& name, const BundleParts& parts) {
  load::Manifest m;
  m.version = parts.version;
  m.cardType = parts.cardType;
  m.arch = parts.arch;
  m.built = "2026-12-06T10:00:00Z";
  std::vector<bundle::Member> members = parts.extra;
  std::string why;
  for (const std::string& path : parts.files) {
    std::string base = path.substr(path.rfind('/') + 1);
    std::optional<load::ManifestFile> f = bundle::describeFile(path, base, why);
    EXPECT_TRUE(f) << why;
    m.files.push_back(*f);
    members.push_back({base, path});
  }
  std::string text = load::formatManifest(m);
  bundle::PublicKey pub;
  bundle::SecretKey sec = *bundle::secretKeyFromHex(
      readFile(std::string(FXS_SOURCE_DIR) + "/tools/dev/keys/dev-load-signing.sec"));
  if (parts.signature == Signature::OTHER_KEY)
    bundle::makeKeyPair(pub, sec);
  std::string sig = parts.signature == Signature::NONE ? "" : bundle::sign(text, sec);
  if (parts.signature == Signature::ALTERED)
    sig[7] ^= 0x20;
  ::mkdir((kFtpRoot + "/loads").c_str(), 0755);
  EXPECT_TRUE(bundle::write(kFtpRoot + "/loads/" + name, text, sig, members, why)) << why;
  return "loads/" + name;
}

class LoadIt : public ::testing::Test {
 public:
  void SetUp() override {
    if (!execPrefix().empty())
      GTEST_SKIP() << "the slot chooser execs the card's programs: only an ARM kernel runs "
                      "them (./dev test --vm)";
    ASSERT_TRUE(bundle::init());
    int st = -1;
    std::string out = runShell("mount -t tmpfs -o size=40m fxs-flash /flash 2>&1", &st);
    ASSERT_EQ(st, 0) << out;
    installFactory();
    ASSERT_TRUE(ftp.start());
    ASSERT_TRUE(slow.start(kSlowPort, kSlowRate));
    card.mainProgram = "bootslot";
    card.boardSlot = 3;
    card.env = "FXS_LOAD_STALL_SECONDS=2";
    ASSERT_TRUE(card.start());
    ASSERT_TRUE(waitActive());
    ASSERT_NO_FATAL_FAILURE(chassisServer());
    good = putBundle("good.bundle", BundleParts{});
  }

  // The chassis' FTP server in the log-transfer records (a started card has
  // none).
  void chassisServer() {
    for (auto [rec, value] : {std::pair<unsigned, std::string>{LOG_SERVER, "127.0.0.1"},
                              {LOG_USER, "chassis"},
                              {LOG_PASSWORD, kFtpPassword}})
      ASSERT_EQ(setText(CO::CO_LOG_TRANSFER, rec, value), icscwire::OK);
    useServer(kFtpPort);
  }

  void installFactory() {
    runShell("rm -rf " + kRoot);
    std::vector<std::string> args{"install", "--root", kRoot, "--version", "v-factory"};
    for (const std::string& f : loadFiles())
      args.push_back(f);
    ToolResult r = runTool("fxsbundle", args);
    ASSERT_EQ(r.status, 0) << r.out;
  }

  ICSCTlv get(unsigned object, unsigned record) {
    return icsc.call(icscwire::GET, cellOf(icscoid::common(object, record, 0)), seconds(2));
  }
  uint8_t set(unsigned object, unsigned record, IcscType type, int64_t v) {
    return icsc.call(icscwire::SET, cellOf(icscoid::common(object, record, 0), type, v)).status;
  }
  uint8_t setText(unsigned object, unsigned record, const std::string& v) {
    ICSCTlv c = cellOf(icscoid::common(object, record, 0), IcscType::STRING, 0, v);
    return icsc.call(icscwire::SET, c).status;
  }
  uint8_t write(unsigned record) { return set(CO::CO_DOWNLOAD, record, IcscType::BOOL, 1); }
  void useServer(unsigned port) {
    ASSERT_EQ(set(CO::CO_LOG_TRANSFER, LOG_PORT, IcscType::U32, port), icscwire::OK);
  }
  int64_t state() {
    ICSCTlv c = get(CO::CO_DOWNLOAD, DLD_STATE);
    return c.status == icscwire::OK ? c.num : -1;
  }
  std::string text(unsigned object, unsigned record) { return get(object, record).str; }
  bool waitFor(const std::function<bool()>& cond, Clock::duration limit) {
    return testsupport::waitFor(cond, limit);
  }
  bool waitActive(Clock::duration limit = seconds(30)) {
    return waitFor([&] { return text(CO::CO_CARD_STATE, CARDSTATE_NAME) == "ACTIVE"; }, limit);
  }
  bool waitState(int64_t want, Clock::duration limit = seconds(30)) {
    return waitFor([&] { return state() == want; }, limit);
  }
  bool waitProgress() {
    return waitFor([&] { return get(CO::CO_DOWNLOAD, DLD_PROGRESS).num > 0; }, seconds(20));
  }
  // Downloads `path` and waits for the end: READY or FAILED.
  int64_t download(const std::string& path, const std::function<void()>& during = nullptr) {
    EXPECT_EQ(setText(CO::CO_DOWNLOAD, DLD_FILENAME, path), icscwire::OK);
    EXPECT_EQ(write(DLD_START), icscwire::OK);
    if (during)
      during();
    int64_t s = -1;
    waitFor(
        [&] {
          s = state();
          return s == LM::READY || s == LM::FAILED;
        },
        seconds(40));
    return s;
  }
  // The card's init: main started again by the chooser whenever it ended,
  // until `done`; the number of starts.
  int runInit(const std::function<bool()>& done, Clock::duration limit = seconds(90)) {
    int boots = 0;
    auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end) {
      if (!card.main.alive()) {
        ++boots;
        card.main.start("bootslot", {}, "FXS_TRACE_STDERR=1 " + card.env, card.mainLog);
      }
      std::this_thread::sleep_for(milliseconds(100));
    }
    return boots;
  }
  std::string record() { return readFile(kRoot + "/state"); }

  FtpServer ftp, slow;
  CardWithPeers card{CardWithPeers::ENGINE | CardWithPeers::FRONT_END | CardWithPeers::DRIVERS};
  IcscClient icsc;
  std::string good;
};

// A failed download and what it takes to bring it about.
struct FailCase {
  const char* name;
  uint32_t result;
  const char* reason;
  std::function<std::string(LoadIt&)> prepare;  // the bundle's path on the server
  std::function<void(LoadIt&)> during;          // while it downloads
  std::function<void(LoadIt&)> restore;
};

std::string variant(const std::string& name, const std::function<void(BundleParts&)>& change) {
  BundleParts s;
  change(s);
  return putBundle(name, s);
}

const FailCase kFailures[] = {
    {"bad_signature", LM::RESULT_BAD_BUNDLE, "does not check out",
     [](LoadIt&) {
       return variant("altered.bundle", [](BundleParts& s) { s.signature = Signature::ALTERED; });
     },
     nullptr, nullptr},
    {"another_key", LM::RESULT_BAD_BUNDLE, "signed with another key",
     [](LoadIt&) {
       return variant("other.bundle", [](BundleParts& s) { s.signature = Signature::OTHER_KEY; });
     },
     nullptr, nullptr},
    {"unsigned", LM::RESULT_BAD_BUNDLE, "not signed",
     [](LoadIt&) {
       return variant("unsigned.bundle", [](BundleParts& s) { s.signature = Signature::NONE; });
     },
     nullptr, nullptr},
    {"wrong_architecture", LM::RESULT_WRONG_LOAD, "built for sparc64",
     [](LoadIt&) { return variant("arch.bundle", [](BundleParts& s) { s.arch = "sparc64"; }); },
     nullptr, nullptr},
    {"wrong_card_type", LM::RESULT_WRONG_LOAD, "card type 16",
     [](LoadIt&) { return variant("type.bundle", [](BundleParts& s) { s.cardType = 16; }); },
     nullptr, nullptr},
    {"truncated_archive", LM::RESULT_BAD_BUNDLE, "truncated",
     [](LoadIt& t) {
       std::string all = readFile(kFtpRoot + "/" + t.good);
       writeFile(kFtpRoot + "/loads/cut.bundle", all.substr(0, all.size() / 2));
       return std::string("loads/cut.bundle");
     },
     nullptr, nullptr},
    {"member_escaping_the_slot", LM::RESULT_BAD_BUNDLE, "not a plain file of the slot",
     [](LoadIt&) {
       return variant("escape.bundle", [](BundleParts& s) {
         s.extra.push_back({"../escaped", kStage + "/main"});
       });
     },
     nullptr,
     [](LoadIt&) {
       EXPECT_FALSE(exists(kRoot + "/escaped"));
       EXPECT_FALSE(exists("/flash/escaped"));
     }},
    {"server_refusing_login", LM::RESULT_LOGIN_REFUSED, "530",
     [](LoadIt& t) {
       EXPECT_EQ(t.setText(CO::CO_LOG_TRANSFER, LOG_PASSWORD, "wrong"), icscwire::OK);
       return t.good;
     },
     nullptr, [](LoadIt& t) { t.setText(CO::CO_LOG_TRANSFER, LOG_PASSWORD, kFtpPassword); }},
    {"server_killed_mid_transfer", LM::RESULT_TRANSFER_FAILED, "",
     [](LoadIt& t) {
       t.useServer(kSlowPort);
       return t.good;
     },
     [](LoadIt& t) {
       ASSERT_TRUE(t.waitProgress());
       t.slow.m_proc.signal(SIGKILL);
     },
     [](LoadIt& t) {
       t.slow.m_proc.stop();
       EXPECT_TRUE(t.slow.start(kSlowPort, kSlowRate));
       t.useServer(kFtpPort);
     }},
    {"server_stalled", LM::RESULT_TIMEOUT, "",
     [](LoadIt& t) {
       t.useServer(kSlowPort);
       return t.good;
     },
     [](LoadIt& t) {
       ASSERT_TRUE(t.waitProgress());
       t.slow.m_proc.signal(SIGSTOP);
     },
     [](LoadIt& t) {
       t.slow.m_proc.signal(SIGCONT);
       t.useServer(kFtpPort);
     }},
    {"flash_full", LM::RESULT_NO_SPACE, "KiB free",
     [](LoadIt& t) {
       // Less room than the load needs even once the other slot is emptied.
       runShell(
           "fallocate -l $(( $(df --output=avail -B1 /flash | tail -n 1) - 65536 )) "
           "/flash/filler");
       return t.good;
     },
     nullptr, [](LoadIt&) { std::remove("/flash/filler"); }},
    {"stop_during_download", LM::RESULT_STOPPED, "stopped by the chassis",
     [](LoadIt& t) {
       t.useServer(kSlowPort);
       return t.good;
     },
     [](LoadIt& t) {
       ASSERT_TRUE(t.waitProgress());
       EXPECT_EQ(t.write(DLD_STOP), icscwire::OK);
     },
     [](LoadIt& t) { t.useServer(kFtpPort); }},
};

// Each failure: the reason shown, the running load unchanged, the other
// slot invalid (it held a verified load before), the card ACTIVE and
// serving; Clear Errors returns the download to idle.
TEST_F(LoadIt, AFailedDownloadChangesNothingButTheOtherSlot) {
  for (const FailCase& c : kFailures) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(download(good), LM::READY);
    ASSERT_EQ(text(CO::CO_CARD, CARD_BACKUP_LOADWARE), "v-new");
    std::string path = c.prepare(*this);
    EXPECT_EQ(download(path, c.during ? std::function<void()>([&] { c.during(*this); }) : nullptr),
              LM::FAILED);
    EXPECT_EQ(get(CO::CO_DOWNLOAD_RESULT, DLDRES_RESULT).num, c.result);
    std::string reason = text(CO::CO_DOWNLOAD_RESULT, DLDRES_REASON);
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    EXPECT_NE(reason.find("slot b is left invalid"), std::string::npos) << reason;
    EXPECT_EQ(text(CO::CO_CARD, CARD_LOADWARE), "v-factory");
    EXPECT_EQ(text(CO::CO_DOWNLOAD_RESULT, DLDRES_RUNNING_SLOT), "a");
    EXPECT_EQ(text(CO::CO_CARD, CARD_BACKUP_LOADWARE), "");
    EXPECT_NE(record().find("default a\ntrial -\n"), std::string::npos) << record();
    EXPECT_NE(record().find("valid a\n"), std::string::npos) << record();
    EXPECT_EQ(text(CO::CO_CARD_STATE, CARDSTATE_NAME), "ACTIVE");
    EXPECT_EQ(icsc.call(icscwire::GET, cellOf(icscoid::object(kTimersObject, 3, 0))).status,
              icscwire::OK);
    if (c.restore)
      c.restore(*this);
    EXPECT_EQ(write(DLD_CLEAR_ERRORS), icscwire::OK);
    EXPECT_EQ(state(), LM::IDLE);
  }
}

struct TrialCase {
  const char* name;
  bool crashing;        // the new load's main dies at once
  unsigned timer;       // Dld Set Commit timer
  bool accept;          // written once the trial load is ACTIVE
  const char* running;  // the slot it ends on
  const char *loadware, *backup;
  uint32_t state;
  const char* reason;
};

// One card through three trials, each from slot a: the first two end back
// on it, the last stays on slot b.
const TrialCase kTrials[] = {
    {"not_accepted_in_time", false, 4, false, "a", "v-factory", "", LM::ROLLED_BACK,
     "was not accepted within 4 s"},
    {"crashing_at_start", true, 60, false, "a", "v-factory", "", LM::ROLLED_BACK,
     "did not come up in 3 boots"},
    {"accepted", false, 60, true, "b", "v-new", "v-factory", LM::IDLE, ""},
};

// Commit reboots into the new slot on trial; accepted it stays, else the
// card comes back on the previous load and says why.
TEST_F(LoadIt, ATrialEndsAcceptedOrRolledBack) {
  runShell("mkdir -p " + kStage + "/crashing && printf '#!/bin/sh\\nkill -SEGV $$\\n' > " + kStage +
           "/crashing/main && chmod 755 " + kStage + "/crashing/main");
  std::string crashing =
      variant("crashing.bundle", [](BundleParts& s) { s.files = {kStage + "/crashing/main"}; });
  for (const TrialCase& c : kTrials) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(download(c.crashing ? crashing : good), LM::READY);
    ASSERT_EQ(set(CO::CO_DOWNLOAD, DLD_COMMIT_TIMER, IcscType::U32, c.timer), icscwire::OK);
    ASSERT_EQ(write(DLD_COMMIT), icscwire::OK);
    int boots = runInit([&] {
      int64_t s = state();
      if (s == LM::TRIAL && c.accept && text(CO::CO_CARD_STATE, CARDSTATE_NAME) == "ACTIVE")
        return write(DLD_ACCEPT) == icscwire::OK;
      return s == LM::ROLLED_BACK;
    });
    EXPECT_EQ(boots, c.crashing ? 4 : c.accept ? 1 : 2);
    EXPECT_EQ(state(), c.state);
    EXPECT_EQ(text(CO::CO_DOWNLOAD_RESULT, DLDRES_RUNNING_SLOT), c.running);
    EXPECT_EQ(text(CO::CO_CARD, CARD_LOADWARE), c.loadware);
    EXPECT_EQ(text(CO::CO_CARD, CARD_BACKUP_LOADWARE), c.backup);
    EXPECT_EQ(text(CO::CO_CARD, CARD_BOOT_VERSION), c.loadware);
    EXPECT_NE(text(CO::CO_DOWNLOAD_RESULT, DLDRES_REASON).find(c.reason), std::string::npos)
        << text(CO::CO_DOWNLOAD_RESULT, DLDRES_REASON);
    ASSERT_TRUE(waitActive());
    ASSERT_NO_FATAL_FAILURE(chassisServer());
  }
}

}  // namespace
