// Log preparation and collection against the real pieces: the velmora
// stand-in, nbcat on /dev/vocallog, tar, and the console that starts a
// collection. Runs in the test's own namespaces (private /tmp, /vocal,
// /flash and /dev).
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "CardCommon.h"
#include "CardWithPeers.h"
#include "ConsoleClient.h"
#include "FtpServer.h"
#include "TestSupport.h"
#include "common/CommonRecords.h"
#include "common/FtpUpload.h"
#include "common/commonStatCtrl.h"
#include "debug/Odebug.h"
#include "fxsCGetLogEngine.h"

namespace {

const std::string kConfig = "/vocal/velm.cfg";
const std::string kCopy = "/flash/log/vocal.cfg";
const std::string kCurrent = "/flash/log/vocalcurrent.log";

using testsupport::CardCommon;
using testsupport::exists;
using testsupport::readFile;
using testsupport::writeFile;

// The card runs "nbcat" from PATH: put the built one there (through qemu on
// the armhf build) and give the namespace its /dev/vocallog.
void prepareCardTools() {
  ::mkdir("/tmp/cardbin", 0755);
  writeFile("/tmp/cardbin/nbcat",
            "#!/bin/sh\nexec " + testsupport::binCommand("nbcat") + " \"$@\"\n");
  ::chmod("/tmp/cardbin/nbcat", 0755);
  const char* path = std::getenv("PATH");
  std::string newPath = std::string("/tmp/cardbin:") + (path ? path : "/usr/bin:/bin");
  ::setenv("PATH", newPath.c_str(), 1);
  int st = -1;
  std::string out = testsupport::runShell(
      "sh " + std::string(FXS_SOURCE_DIR) + "/sim/velmora/bench-vocallog.sh 2>&1", &st);
  ASSERT_EQ(st, 0) << out;
  ::mkdir("/vocal", 0755);
  ::mkdir("/flash/log", 0755);
  // The card runs its uploader beside itself; under qemu an ARM program
  // needs the emulator in front of it.
  ::unsetenv("FXS_FTPUPLOAD");
  if (!testsupport::execPrefix().empty()) {
    writeFile("/tmp/cardbin/ftpupload",
              "#!/bin/sh\nexec " + testsupport::binCommand("ftpupload") + "\n");
    ::chmod("/tmp/cardbin/ftpupload", 0755);
    ::setenv("FXS_FTPUPLOAD", "/tmp/cardbin/ftpupload", 1);
  }
}

class GetLogIt : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("FXS_IN_NS"), nullptr) << "must run in its own namespaces";
    prepareCardTools();
    std::remove(kConfig.c_str());
    std::remove(kCopy.c_str());
    std::remove(kCurrent.c_str());
  }
  testsupport::VelmoraProcess m_engine{"/tmp/velmora.sock", kConfig, "/dev/vocallog"};
};

struct PrepareCase {
  const char* name;
  bool engineUp;
  std::optional<std::string> config;  // content of /vocal/velm.cfg before; none: missing
  std::optional<std::string> oldCopy;
};

const PrepareCase kPrepareCases[] = {
    {"engine down, no configuration", false, std::nullopt, std::nullopt},
    {"engine down, binary configuration replaces a longer copy", false,
     std::string("a=1\n\0\xff\x01tail", 11), std::string(4096, 'x')},
    {"engine up commits before the copy", true, std::nullopt, std::string("stale copy\n")},
};

}  // namespace

TEST_F(GetLogIt, PrepareLogCommitsCopiesAndDumps) {
  for (const PrepareCase& c : kPrepareCases) {
    SCOPED_TRACE(c.name);
    std::remove(kConfig.c_str());
    if (c.config)
      writeFile(kConfig, *c.config);
    if (c.oldCopy)
      writeFile(kCopy, *c.oldCopy);
    writeFile(kCurrent, "stale dump that must go\n");
    if (c.engineUp) {
      ASSERT_TRUE(m_engine.start());
    }
    testsupport::LogCapture log;
    fxsCGetLogEngine engine;
    EXPECT_EQ(engine.cardPrepareLog(), 1);
    m_engine.stop();

    EXPECT_TRUE(log.contains("cardgetlog called for 8fxs"));
    if (c.engineUp) {
      EXPECT_TRUE(log.contains("Successfully commited vocal configuration before get log"));
      EXPECT_FALSE(log.contains("could not commit"));
    } else {
      EXPECT_TRUE(log.contains("could not commit vocal configuration, with error number -"));
      EXPECT_FALSE(log.contains("Successfully commited"));
    }
    ASSERT_TRUE(exists(kCopy));
    // Byte for byte what the engine's file holds now (empty when missing);
    // after a commit that file is not empty.
    EXPECT_EQ(readFile(kCopy), readFile(kConfig));
    EXPECT_EQ(readFile(kCopy).empty(), !c.engineUp && !c.config);
    EXPECT_TRUE(log.contains("\"nbcat /dev/vocallog > /flash/log/vocalcurrent.log\"=1"));
    std::string dump = readFile(kCurrent);
    EXPECT_EQ(dump.find("stale dump"), std::string::npos) << dump;
    if (c.engineUp) {
      EXPECT_NE(dump.find("velmora: commit"), std::string::npos) << dump;
    }
  }
}

TEST_F(GetLogIt, RunPacksTheLogDirectoryAndTheCardLog) {
  writeFile(kConfig, "sip_local_port=5060\n");
  writeFile("/tmp/main.log", "[INFO] main.cpp:1 (main) - card log line\n");
  fxsCGetLogEngine engine;
  engine.setOutputDirectory("/tmp/collected");
  engine.setExtraFiles({"/tmp/main.log", "/tmp/not-there.log"});
  ASSERT_EQ(engine.run(), 1);
  std::string archive = engine.archivePath();
  EXPECT_EQ(archive, "/tmp/collected/card-logs.tar.gz");
  EXPECT_FALSE(exists(archive + ".part"));

  int st = -1;
  std::string list = testsupport::runShell("tar -tzf " + archive + " | sort", &st);
  ASSERT_EQ(st, 0) << list;
  for (const char* member : {"flash/log/vocal.cfg", "flash/log/vocalcurrent.log", "tmp/main.log"}) {
    EXPECT_NE(list.find(std::string(member) + "\n"), std::string::npos) << member << " in\n"
                                                                        << list;
  }
  EXPECT_EQ(list.find("not-there"), std::string::npos);
  std::string cfg = testsupport::runShell("tar -xzOf " + archive + " flash/log/vocal.cfg", &st);
  EXPECT_EQ(cfg, "sip_local_port=5060\n");
}

TEST_F(GetLogIt, RunWithoutAWritableOutputLeavesNoArchive) {
  testsupport::LogCapture log;
  fxsCGetLogEngine engine;
  engine.setOutputDirectory("/proc/no-such-dir/getlog");
  EXPECT_EQ(engine.run(), 0);
  EXPECT_FALSE(exists(engine.archivePath()));
  EXPECT_TRUE(log.contains("no archive"));
  // The card's files were still prepared.
  EXPECT_TRUE(exists(kCopy));
}

TEST_F(GetLogIt, ConsoleStartsACollectionAndReportsItsArchive) {
  Odebug::CdebugServer server(0);
  ASSERT_TRUE(server.start());
  CardCommon common(new fxsCGetLogEngine());
  testsupport::ConsoleClient console;
  ASSERT_TRUE(console.connect(server.port()));

  // The refusal names the check the directory failed.
  for (const char* dir : {"relative/dir", "/tmp/../etc", "/tmp/a;b"}) {
    std::string result;
    EXPECT_EQ(console.run(std::string("getlog start ") + dir, &result),
              std::string("getlog not started: directory ") + dir +
                  " refused (an absolute path of letters, digits, _ - . and /, without ..)\n");
    EXPECT_EQ(result, "ok");
  }
  std::string result;
  EXPECT_EQ(console.run("getlog start /tmp/chassis", &result),
            "getlog started into /tmp/chassis\n");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::string state;
  while ((state = console.run("getlog state")).find("state BUSY") != std::string::npos) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "collection did not finish";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(state, "state DONE\nresult ok\narchive /tmp/chassis/card-logs.tar.gz\n");
  EXPECT_TRUE(exists("/tmp/chassis/card-logs.tar.gz"));
  EXPECT_EQ(common.getLogState(), commonStatCtrl::GETLOG_DONE);
  console.run("getlog start /tmp/a /tmp/b", &result);
  EXPECT_EQ(result, "bad-argument-count");
  server.stop();
}

TEST(GetLogControl, WithoutAnEngineNothingStarts) {
  CardCommon common;
  EXPECT_FALSE(common.startGetLog("/tmp/x"));
  EXPECT_EQ(common.getLogState(), commonStatCtrl::GETLOG_IDLE);
  EXPECT_EQ(common.getLogArchive(), "");
}

namespace {

using namespace commonrec;
using CO = commonStatCtrl;
using testsupport::FtpServer;
using testsupport::kFtpPassword;
using testsupport::kFtpPort;
using testsupport::kFtpRoot;
using testsupport::makeCertificates;

ICSCTlv text(const std::string& s) {
  ICSCTlv c;
  c.setString(s);
  return c;
}

// Writes the log-transfer records as the chassis does; the directory last,
// which starts the collection. The status of that last write.
uint8_t startCollection(commonStatCtrl& common, const std::string& server,
                        const std::string& password, const std::string& dir) {
  ICSCTlv port;
  port.setNumber(IcscType::U32, kFtpPort);
  EXPECT_EQ(
      testsupport::writeCommon(common, CO::CO_LOG_TRANSFER, LOG_SERVER, 0, text(server)).status,
      icscwire::OK);
  EXPECT_EQ(testsupport::writeCommon(common, CO::CO_LOG_TRANSFER, LOG_PORT, 0, port).status,
            icscwire::OK);
  EXPECT_EQ(
      testsupport::writeCommon(common, CO::CO_LOG_TRANSFER, LOG_USER, 0, text("chassis")).status,
      icscwire::OK);
  EXPECT_EQ(
      testsupport::writeCommon(common, CO::CO_LOG_TRANSFER, LOG_PASSWORD, 0, text(password)).status,
      icscwire::OK);
  return testsupport::writeCommon(common, CO::CO_LOG_TRANSFER, LOG_DIRECTORY, 0, text(dir)).status;
}

// "GETLOG state" once it has left BUSY and UPLOADING (or -1 after 60 s).
int64_t finishedState(commonStatCtrl& common) {
  int64_t state = -1;
  testsupport::waitFor(
      [&] {
        state = testsupport::readCommon(common, CO::CO_LOG_TRANSFER, LOG_STATE).num;
        return state == CO::GETLOG_DONE || state == CO::GETLOG_FAILED;
      },
      std::chrono::seconds(60));
  return state;
}

struct Outcome {
  int64_t state;
  int64_t result;
};

// One collection started as the chassis does, with the password of the
// loopback server, awaited: its "GETLOG state" and "GETLOG result".
Outcome collect(commonStatCtrl& common, const std::string& dir, std::chrono::seconds limit) {
  common.setGetLogUploadLimit(limit);
  EXPECT_EQ(startCollection(common, "127.0.0.1", kFtpPassword, dir), icscwire::OK);
  int64_t state = finishedState(common);
  return {state, testsupport::readCommon(common, CO::CO_LOG_TRANSFER, LOG_RESULT).num};
}

// A child of this process whose command line holds `name`, or -1.
pid_t childRunning(const std::string& name) {
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr)
    return -1;
  pid_t found = -1;
  while (dirent* e = ::readdir(proc)) {
    char* end = nullptr;
    long pid = std::strtol(e->d_name, &end, 10);
    if (pid <= 0 || *end != '\0')
      continue;
    std::string stat = readFile("/proc/" + std::string(e->d_name) + "/stat");
    size_t close = stat.rfind(')');
    int ppid = 0;
    char state = 0;
    if (close == std::string::npos ||
        std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) != 2 || ppid != ::getpid() ||
        state == 'Z')
      continue;
    if (readFile("/proc/" + std::string(e->d_name) + "/cmdline").find(name) != std::string::npos) {
      found = static_cast<pid_t>(pid);
      break;
    }
  }
  ::closedir(proc);
  return found;
}

}  // namespace

// The chassis writes the log-transfer records and the card uploads a valid
// archive; a second start while the server holds the upload is refused.
TEST_F(GetLogIt, ChassisCollectionLandsAValidArchiveOnTheFtpServer) {
  testsupport::LogCapture log;
  FtpServer ftp;
  ASSERT_TRUE(ftp.start());
  CardCommon common(new fxsCGetLogEngine());
  common.setSlot(3);
  ftp.m_proc.signal(SIGSTOP);  // the upload waits for the server's greeting
  ASSERT_EQ(startCollection(common, "127.0.0.1", kFtpPassword, "cards/slot3"), icscwire::OK);
  ASSERT_TRUE(testsupport::waitFor([&] { return common.getLogState() == CO::GETLOG_UPLOADING; },
                                   std::chrono::seconds(30)));
  EXPECT_EQ(
      testsupport::writeCommon(common, CO::CO_LOG_TRANSFER, LOG_DIRECTORY, 0, text("again")).status,
      icscwire::NOT_SERVED);
  EXPECT_EQ(testsupport::readCommon(common, CO::CO_LOG_TRANSFER, LOG_DIRECTORY).str, "cards/slot3");
  ftp.m_proc.signal(SIGCONT);

  ASSERT_EQ(finishedState(common), CO::GETLOG_DONE);
  EXPECT_EQ(testsupport::readCommon(common, CO::CO_LOG_TRANSFER, LOG_RESULT).num,
            CO::GETLOG_RESULT_SENT_IN_CLEAR);
  EXPECT_TRUE(log.contains("in clear: the FTP server offers no TLS"));
  int st = -1;
  std::string list = testsupport::runShell(
      "for f in " + kFtpRoot + "/cards/slot3/card-logs-slot3-*.tar.gz; do tar -tzf $f; done", &st);
  EXPECT_EQ(st, 0) << list;
  EXPECT_NE(list.find("flash/log/vocal.cfg\n"), std::string::npos) << list;
  EXPECT_FALSE(log.contains(kFtpPassword));
  EXPECT_EQ(ftp.m_proc.log().find(kFtpPassword), std::string::npos);
}

// A server that offers TLS gets the login and the archive over TLS once its
// certificate verifies against the card's CA file; one whose certificate
// comes from another CA gets nothing, not even in clear.
TEST_F(GetLogIt, UploadsGoOverTlsWhenTheServerOffersItAndVerifies) {
  struct Case {
    const char* name;
    const char* serverCertificates;
    CO::GetLogResult result;
    const char* logged;
  };
  const Case kCases[] = {
      {"verified", "/tmp/tls-card-ca", CO::GETLOG_RESULT_SENT_ENCRYPTED,
       "archive uploaded to ftp://127.0.0.1:2121/tls/card-logs-slot0-"},
      {"another_ca", "/tmp/tls-other-ca", CO::GETLOG_RESULT_TLS_FAILED, "SSL certificate problem"},
  };
  ASSERT_TRUE(makeCertificates("/tmp/tls-card-ca"));
  ::setenv("FXS_FTP_CA_FILE", "/tmp/tls-card-ca/ca.pem", 1);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    testsupport::LogCapture log;
    FtpServer ftp;
    ASSERT_TRUE(ftp.start(kFtpPort, 0, c.serverCertificates));
    CardCommon common(new fxsCGetLogEngine());
    Outcome o = collect(common, "tls", ftpupload::DEFAULT_LIMIT);
    bool sent = c.result == CO::GETLOG_RESULT_SENT_ENCRYPTED;
    EXPECT_EQ(o.state, sent ? CO::GETLOG_DONE : CO::GETLOG_FAILED);
    EXPECT_EQ(o.result, c.result);
    EXPECT_TRUE(log.contains(c.logged));
    EXPECT_EQ(ftp.m_proc.log().find("control TLS, data TLS") != std::string::npos, sent)
        << ftp.m_proc.log();
    EXPECT_EQ(ftp.m_proc.log().find("logged in") != std::string::npos, sent)
        << "the login went to a server that did not verify";
    EXPECT_FALSE(log.contains(kFtpPassword));
  }
  ::unsetenv("FXS_FTP_CA_FILE");
}

struct RefusedCase {
  const char* name;
  bool serverUp;
  const char* password;
  const char* server;
  CO::GetLogResult result;
};

const RefusedCase kRefused[] = {
    {"wrong_password", true, "not-the-password", "127.0.0.1", CO::GETLOG_RESULT_LOGIN_REFUSED},
    {"server_down", false, kFtpPassword.c_str(), "127.0.0.1", CO::GETLOG_RESULT_CONNECT_FAILED},
    {"no_server", false, kFtpPassword.c_str(), "", CO::GETLOG_RESULT_NO_SERVER},
};

// A refused upload leaves "GETLOG state" failed and "GETLOG result" with
// the reason; the card's log says what the server answered.
TEST_F(GetLogIt, RefusedUploadsShowAFailedStateWithTheirReason) {
  for (const RefusedCase& c : kRefused) {
    SCOPED_TRACE(c.name);
    testsupport::LogCapture log;
    FtpServer ftp;
    if (c.serverUp) {
      ASSERT_TRUE(ftp.start());
    }
    CardCommon common(new fxsCGetLogEngine());
    ASSERT_EQ(startCollection(common, c.server, c.password, "refused"), icscwire::OK);
    EXPECT_EQ(finishedState(common), CO::GETLOG_FAILED);
    EXPECT_EQ(testsupport::readCommon(common, CO::CO_LOG_TRANSFER, LOG_RESULT).num, c.result);
    EXPECT_TRUE(
        log.contains(c.result == CO::GETLOG_RESULT_NO_SERVER ? "no FTP server set" : "failed:"));
    EXPECT_FALSE(log.contains(c.password));
    EXPECT_FALSE(exists(kFtpRoot + "/refused"));
  }
}

// A server that takes the connection and then says nothing: the upload ends
// at its limit with the timeout, not after the default five minutes.
// While it waits, the uploader's command line and environment (what any
// user of the card sees in /proc) do not hold the password.
TEST_F(GetLogIt, AStalledServerEndsTheUploadAtItsLimit) {
  testsupport::LogCapture log;
  FtpServer ftp;
  ASSERT_TRUE(ftp.start());
  ftp.m_proc.signal(SIGSTOP);
  CardCommon common(new fxsCGetLogEngine());
  common.setGetLogUploadLimit(std::chrono::seconds(3));
  ASSERT_EQ(startCollection(common, "127.0.0.1", kFtpPassword, "stalled"), icscwire::OK);
  pid_t uploader = -1;
  EXPECT_TRUE(testsupport::waitFor(
      [&] {
        uploader = childRunning("ftpupload");
        return uploader > 0;
      },
      std::chrono::seconds(30)))
      << "the uploader never ran";
  if (uploader > 0) {
    std::string pid = std::to_string(uploader);
    std::string cmdline = readFile("/proc/" + pid + "/cmdline");
    EXPECT_NE(cmdline.find("ftpupload"), std::string::npos) << "read after it ended";
    EXPECT_EQ(cmdline.find(kFtpPassword), std::string::npos) << cmdline;
    EXPECT_EQ(readFile("/proc/" + pid + "/environ").find(kFtpPassword), std::string::npos);
  }
  Outcome o{finishedState(common),
            testsupport::readCommon(common, CO::CO_LOG_TRANSFER, LOG_RESULT).num};
  EXPECT_EQ(o.state, CO::GETLOG_FAILED);
  EXPECT_EQ(o.result, CO::GETLOG_RESULT_TIMEOUT);
  EXPECT_TRUE(log.contains("getlog: upload to ftp://127.0.0.1:2121/stalled/card-logs-slot"));
  EXPECT_TRUE(log.contains("timed out")) << "the uploader's own timeout names it";
  EXPECT_FALSE(log.contains(kFtpPassword));
  ftp.m_proc.signal(SIGCONT);
}

namespace {

// A script in the uploader's place, and the card told to run it.
void fakeUploader(const std::string& script, mode_t mode = 0755) {
  writeFile("/tmp/cardbin/fake-uploader", "#!/bin/sh\n" + script);
  ::chmod("/tmp/cardbin/fake-uploader", mode);
  ::setenv("FXS_FTPUPLOAD", "/tmp/cardbin/fake-uploader", 1);
}

struct UploaderCase {
  const char* name;
  const char* script;  // none: the program is missing
  const char* logged;
  CO::GetLogResult result;
  mode_t mode = 0755;
};

// The password is known to the scripts so they can try to leak it.
const UploaderCase kUploaders[] = {
    {"missing", nullptr,
     "upload to ftp://127.0.0.1:2121/odd/card-logs-slot0-",  // then the reason below
     CO::GETLOG_RESULT_TRANSFER_FAILED},
    {"not executable", "cat /tmp/answer-ok\n",
     "cannot start the uploader /tmp/cardbin/fake-uploader: Permission denied",
     CO::GETLOG_RESULT_TRANSFER_FAILED, 0644},
    {"crashes after printing the password",
     "cat >/dev/null; echo \"got chassis-Pw-7 for chassis\" >&2; kill -SEGV $$\n",
     "the uploader /tmp/cardbin/fake-uploader was ended by signal 11 (SIGSEGV): got ******** for "
     "chassis",
     CO::GETLOG_RESULT_TRANSFER_FAILED},
    {"answers garbage", "cat >/dev/null; echo nonsense\n",
     "the uploader /tmp/cardbin/fake-uploader gave no valid answer (exit status 0)",
     CO::GETLOG_RESULT_TRANSFER_FAILED},
    {"exit status against its answer", "cat >/dev/null; cat /tmp/answer-ok; exit 3\n",
     "the uploader /tmp/cardbin/fake-uploader gave no valid answer (exit status 3)",
     CO::GETLOG_RESULT_TRANSFER_FAILED},
    {"login refused, the password in the reason",
     "cat >/dev/null; cat /tmp/answer-refused; exit 3\n",
     "failed: 530 login for chassis with ******** refused", CO::GETLOG_RESULT_LOGIN_REFUSED},
    {"reports success", "cat >/dev/null; cat /tmp/answer-ok\n", "getlog: archive uploaded to",
     CO::GETLOG_RESULT_SENT_IN_CLEAR},
};

}  // namespace

// Whatever the uploader does, the collection ends with a clear state and
// reason, and the password shows nowhere.
TEST_F(GetLogIt, AMissingOrMisbehavingUploaderEndsWithAReason) {
  writeFile("/tmp/answer-ok", ftpupload::encodeAnswer({ftpupload::Result::OK, ""}));
  writeFile("/tmp/answer-refused",
            ftpupload::encodeAnswer({ftpupload::Result::LOGIN_REFUSED,
                                     "530 login for chassis with " + kFtpPassword + " refused"}));
  for (const UploaderCase& c : kUploaders) {
    SCOPED_TRACE(c.name);
    if (c.script == nullptr)
      ::setenv("FXS_FTPUPLOAD", "/tmp/cardbin/no-such-uploader", 1);
    else
      fakeUploader(c.script, c.mode);
    testsupport::LogCapture log;
    CardCommon common(new fxsCGetLogEngine());
    Outcome o = collect(common, "odd", ftpupload::DEFAULT_LIMIT);
    EXPECT_EQ(o.state,
              c.result == CO::GETLOG_RESULT_SENT_IN_CLEAR ? CO::GETLOG_DONE : CO::GETLOG_FAILED);
    EXPECT_EQ(o.result, c.result);
    EXPECT_TRUE(log.contains(c.logged));
    if (c.script == nullptr) {
      EXPECT_TRUE(log.contains(
          "cannot start the uploader /tmp/cardbin/no-such-uploader: No such file or directory"));
    }
    EXPECT_FALSE(log.contains(kFtpPassword));
  }
  ::unsetenv("FXS_FTPUPLOAD");
}

// An uploader that hangs is killed with what it started once its limit and
// a grace have passed; the collection reports the timeout.
TEST_F(GetLogIt, AHungUploaderIsKilledAtTheDeadline) {
  struct Case {
    const char* name;
    const char* script;
    bool grandchild;
  };
  const Case cases[] = {
      {"waits on a child of its own",
       "echo $$ > /tmp/uploader.pid; sleep 600 & echo $! > /tmp/uploader-child.pid; wait\n", true},
      {"stopped", "echo $$ > /tmp/uploader.pid; kill -STOP $$\n", false},
  };
  CardCommon common(new fxsCGetLogEngine());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove("/tmp/uploader.pid");
    std::remove("/tmp/uploader-child.pid");
    fakeUploader(c.script);
    testsupport::LogCapture log;
    auto t0 = std::chrono::steady_clock::now();
    Outcome o = collect(common, "hung", std::chrono::seconds(1));
    // Killed at 1 s + 5 s; the bound only tells the kill from the script's
    // own end (600 s, or never when stopped).
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(50));
    EXPECT_EQ(o.state, CO::GETLOG_FAILED);
    EXPECT_EQ(o.result, CO::GETLOG_RESULT_TIMEOUT);
    EXPECT_TRUE(log.contains(
        "the uploader /tmp/cardbin/fake-uploader did not finish within 6 s and was killed"));
    std::string pid = readFile("/tmp/uploader.pid");
    ASSERT_FALSE(pid.empty());
    // Reaped: no zombie of it is left for this process to collect.
    errno = 0;
    EXPECT_EQ(::waitpid(std::stoi(pid), nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    if (c.grandchild) {
      std::string child = readFile("/tmp/uploader-child.pid");
      ASSERT_FALSE(child.empty());
      EXPECT_TRUE(testsupport::waitFor(
          [&] { return !testsupport::processRunning(std::stoi(child)); }, std::chrono::seconds(30)))
          << "the uploader's own child survived";
    }
  }
  // The worker is free again: the next collection starts.
  fakeUploader("cat >/dev/null; cat /tmp/answer-ok\n");
  writeFile("/tmp/answer-ok", ftpupload::encodeAnswer({ftpupload::Result::OK, ""}));
  Outcome o = collect(common, "again", std::chrono::seconds(1));
  EXPECT_EQ(o.state, CO::GETLOG_DONE);
  EXPECT_EQ(o.result, CO::GETLOG_RESULT_SENT_IN_CLEAR);
  ::unsetenv("FXS_FTPUPLOAD");
}

// A card that stops during an upload does not wait for the uploader's five
// minutes: the uploader is killed and reaped.
TEST_F(GetLogIt, StoppingTheCardKillsARunningUpload) {
  std::remove("/tmp/uploader.pid");
  fakeUploader("echo $$ > /tmp/uploader.pid; sleep 600 & wait\n");
  testsupport::LogCapture log;
  auto common = std::make_unique<CardCommon>(new fxsCGetLogEngine());
  ASSERT_EQ(startCollection(*common, "127.0.0.1", kFtpPassword, "stopping"), icscwire::OK);
  ASSERT_TRUE(testsupport::waitFor([] { return !readFile("/tmp/uploader.pid").empty(); },
                                   std::chrono::seconds(60)));
  auto t0 = std::chrono::steady_clock::now();
  common.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(50));
  EXPECT_TRUE(log.contains("the card is stopping; the uploader was killed"));
  errno = 0;
  EXPECT_EQ(::waitpid(std::stoi(readFile("/tmp/uploader.pid")), nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  ::unsetenv("FXS_FTPUPLOAD");
}
