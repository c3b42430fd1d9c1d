// The download's state machine with a scripted fetch: what it refuses in
// which state, and what it writes to the state record on the way. The
// fetch itself, commit, trial, accept and rollback across real reboots are
// forced end to end in tests/integration/load.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestSupport.h"
#include "icsc/IcscWire.h"
#include "load/LoadManager.h"

namespace {

using namespace load;
using LM = LoadManager;
using ftpupload::Phase;

const std::string kRoot = "/tmp/loadroot";

class FakeFetcher : public Fetcher {
 public:
  bool start(const ftpupload::Request& r, std::string&) override {
    request = r;
    ++starts;
    return true;
  }
  Report poll() override { return next; }
  void stop() override { ++stops; }
  ftpupload::Request request;
  Report next;
  int starts = 0, stops = 0;
};

class LoadManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::runShell("rm -rf " + kRoot + " && mkdir -p " + kRoot + "/a");
    testsupport::writeFile(kRoot + "/a/manifest", manifest("v-old"));
    SlotRecord r;
    r.setValid('a', true);
    ASSERT_TRUE(SlotStore(kRoot).write(r));
  }
  static std::string manifest(const std::string& version) {
    return "fxs-load-manifest 1\nversion " + version +
           "\ncard-type 15\narch x\nbuilt t\nfile main 0755 1 " + std::string(64, '0') + "\n";
  }
  void make(char running = 'a') {
    LM::Config c;
    c.root = kRoot;
    c.running = running;
    c.cardType = 15;
    auto f = std::make_unique<FakeFetcher>();
    fetcher = f.get();
    c.fetcher = std::move(f);
    c.reboot = [this] {
      ++reboots;
      return true;
    };
    lm = std::make_unique<LM>(std::move(c));
  }
  SlotRecord record() { return *SlotStore(kRoot).read(); }
  uint8_t start() {
    ftpupload::Target t;
    t.host = "172.30.20.10";
    t.password = "pw";
    return lm->startDownload(t);
  }
  // A download that the fake fetch completes into slot b.
  void downloadToReady() {
    ASSERT_EQ(lm->setFilename("loads/new.bundle"), icscwire::OK);
    ASSERT_EQ(start(), icscwire::OK);
    ::mkdir((kRoot + "/b").c_str(), 0755);
    testsupport::writeFile(kRoot + "/b/manifest", manifest("v-new"));
    fetcher->next = {Phase::VERIFY, 100, true, ftpupload::Result::OK, ""};
    lm->tick();
    ASSERT_EQ(lm->view().state, LM::READY);
  }
  std::unique_ptr<LM> lm;
  FakeFetcher* fetcher = nullptr;
  int reboots = 0;
};

TEST_F(LoadManagerTest, ADownloadMarksTheOtherSlotInvalidUntilItIsReady) {
  testsupport::runShell("mkdir -p " + kRoot + "/b");
  testsupport::writeFile(kRoot + "/b/manifest", manifest("v-stale"));
  SlotRecord r = record();
  r.setValid('b', true);
  ASSERT_TRUE(SlotStore(kRoot).write(r));
  make();
  EXPECT_EQ(lm->view().backup, "v-stale");
  ASSERT_EQ(lm->setFilename("loads/new.bundle"), icscwire::OK);
  ASSERT_EQ(start(), icscwire::OK);
  EXPECT_EQ(lm->view().state, LM::DOWNLOADING);
  EXPECT_FALSE(record().isValid('b'));
  EXPECT_EQ(lm->view().backup, "");
  EXPECT_EQ(fetcher->request.op, ftpupload::Op::FETCH);
  EXPECT_EQ(fetcher->request.localFile, kRoot + "/b");
  EXPECT_EQ(fetcher->request.target.directory, "loads");
  EXPECT_EQ(fetcher->request.remoteName, "new.bundle");
  EXPECT_EQ(fetcher->request.cardType, 15u);
  // While it runs nothing else may start or be committed.
  EXPECT_EQ(start(), icscwire::NOT_SERVED);
  EXPECT_EQ(lm->commit(), icscwire::NOT_SERVED);
  fetcher->next = {Phase::TRANSFER, 40, false, ftpupload::Result::FAILED, ""};
  lm->tick();
  EXPECT_EQ(lm->view().progress, 40u);
  testsupport::writeFile(kRoot + "/b/manifest", manifest("v-new"));
  fetcher->next = {Phase::VERIFY, 100, true, ftpupload::Result::OK, ""};
  lm->tick();
  EXPECT_EQ(lm->view().state, LM::READY);
  EXPECT_TRUE(record().isValid('b'));
  EXPECT_EQ(lm->view().backup, "v-new");
  EXPECT_EQ(lm->view().loadware, "v-old");
}

TEST_F(LoadManagerTest, CommitWritesTheTrialAndAsksForTheReboot) {
  make();
  ASSERT_NO_FATAL_FAILURE(downloadToReady());
  EXPECT_EQ(lm->setCommitTimer(LM::MAX_COMMIT_TIMER + 1), icscwire::BAD_VALUE);
  EXPECT_EQ(lm->setCommitTimer(45), icscwire::OK);
  EXPECT_EQ(lm->commit(), icscwire::OK);
  EXPECT_EQ(lm->view().state, LM::COMMITTING);
  EXPECT_EQ(reboots, 1);
  SlotRecord r = record();
  EXPECT_EQ(r.trialSlot, 'b');
  EXPECT_EQ(r.defaultSlot, 'a');
  EXPECT_EQ(r.attempts, BOOT_ATTEMPTS);
  EXPECT_EQ(r.commitTimer, 45u);
}

TEST_F(LoadManagerTest, TheTrialLoadIsAcceptedOnlyOnceActive) {
  SlotRecord r = record();
  testsupport::runShell("mkdir -p " + kRoot + "/b");
  testsupport::writeFile(kRoot + "/b/manifest", manifest("v-new"));
  r.setValid('b', true);
  r.trialSlot = 'b';
  r.commitTimer = 30;
  ASSERT_TRUE(SlotStore(kRoot).write(r));
  make('b');
  LM::View v = lm->view();
  EXPECT_EQ(v.state, LM::TRIAL);
  EXPECT_EQ(v.trialSecondsLeft, 30u);
  EXPECT_EQ(v.loadware, "v-new");
  EXPECT_EQ(v.boot, "v-old");
  EXPECT_EQ(start(), icscwire::NOT_SERVED);  // the rollback target must stay
  EXPECT_EQ(lm->accept(false), icscwire::NOT_SERVED);
  lm->tick();
  EXPECT_EQ(lm->view().trialSecondsLeft, 29u);
  EXPECT_EQ(lm->accept(true), icscwire::OK);
  v = lm->view();
  EXPECT_EQ(v.state, LM::IDLE);
  EXPECT_EQ(v.boot, "v-new");
  EXPECT_EQ(v.backup, "v-old");
  EXPECT_EQ(record().defaultSlot, 'b');
  EXPECT_EQ(record().trialSlot, 0);
  EXPECT_EQ(lm->accept(true), icscwire::OK);  // once more: already the default
}

TEST_F(LoadManagerTest, WritesAreRefusedWhereTheyCannotAct) {
  make(0);  // outside the slots: a build tree
  ASSERT_EQ(lm->setFilename("new.bundle"), icscwire::OK);
  EXPECT_EQ(start(), icscwire::NOT_SERVED);
  make();
  EXPECT_EQ(start(), icscwire::NOT_SERVED);  // no file name yet
  for (const std::string& bad :
       std::vector<std::string>{"../x.bundle", "a b", "dir/", "/abs/../x", std::string(201, 'x')})
    EXPECT_EQ(lm->setFilename(bad), icscwire::BAD_VALUE) << bad;
  EXPECT_EQ(lm->commit(), icscwire::NOT_SERVED);
  EXPECT_EQ(lm->accept(true), icscwire::OK);  // the running load is the default
  EXPECT_EQ(lm->stopDownload(), icscwire::OK);
  ASSERT_EQ(lm->setFilename("new.bundle"), icscwire::OK);
  EXPECT_EQ(lm->startDownload(ftpupload::Target{}), icscwire::OK);
  EXPECT_EQ(lm->view().state, LM::FAILED);
  EXPECT_EQ(lm->view().result, LM::RESULT_NO_SERVER);
  EXPECT_EQ(fetcher->starts, 0);
  EXPECT_EQ(lm->clearErrors(), icscwire::OK);
  EXPECT_EQ(lm->view().state, LM::IDLE);
}

TEST_F(LoadManagerTest, ARolledBackTrialShowsWhyUntilCleared) {
  SlotRecord r = record();
  r.trialSlot = 'b';
  r.rollBack("the trial load in slot b did not come up in 3 boots");
  ASSERT_TRUE(SlotStore(kRoot).write(r));
  make();
  EXPECT_EQ(lm->view().state, LM::ROLLED_BACK);
  EXPECT_EQ(lm->view().result, LM::RESULT_ROLLED_BACK);
  EXPECT_EQ(lm->view().reason, "the trial load in slot b did not come up in 3 boots");
  EXPECT_EQ(lm->clearErrors(), icscwire::OK);
  EXPECT_EQ(lm->view().state, LM::IDLE);
  EXPECT_EQ(record().outcome, OUTCOME_NONE);
  make();
  EXPECT_EQ(lm->view().state, LM::IDLE);
}

}  // namespace
