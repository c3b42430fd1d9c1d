// The platform's child-process runner: what goes in and comes out, how the
// child ended, and the limit that no child can outlast.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <utility>

#include "ChildProcess.h"
#include "TestSupport.h"
#include "process/ChildProcess.h"

namespace {

using childprocess::Bounds;
using childprocess::Outcome;
using std::chrono::milliseconds;

Outcome sh(const std::string& script, const std::string& input = "", Bounds b = Bounds{}) {
  return childprocess::run({"/bin/sh", "-c", script}, input, b);
}

Bounds limited(milliseconds limit, bool separate = true) {
  Bounds b;
  b.limit = limit;
  b.separateErrors = separate;
  return b;
}

pid_t pidFrom(const std::string& path) {
  std::string text = testsupport::readFile(path);
  return text.empty() ? -1 : static_cast<pid_t>(std::stol(text));
}

TEST(ChildProcess, InputOutputErrorsAndExitStatus) {
  Outcome o = sh("cat; echo to-err >&2; exit 7", "line 1\nline 2\n", limited(milliseconds(60000)));
  ASSERT_TRUE(o.started);
  EXPECT_TRUE(o.exited());
  EXPECT_EQ(o.exitStatus, 7);
  EXPECT_EQ(o.output, "line 1\nline 2\n");
  EXPECT_EQ(o.errors, "to-err\n");
  Outcome merged = sh("echo out; echo err >&2", "", limited(milliseconds(60000), false));
  EXPECT_EQ(merged.output, "out\nerr\n");
  EXPECT_EQ(merged.errors, "");
  std::string text;
  EXPECT_EQ(childprocess::run({"/bin/sh", "-c", "echo hi; exit 3"}, "", &text), 3);
  EXPECT_EQ(text, "hi\n");
}

TEST(ChildProcess, AProgramThatCannotStartSaysWhy) {
  testsupport::writeFile("/tmp/not-executable", "#!/bin/sh\nexit 0\n");
  ASSERT_EQ(chmod("/tmp/not-executable", 0644), 0);
  const std::pair<const char*, const char*> cases[] = {
      {"/nonexistent/uploader", "No such file or directory"},
      {"/tmp/not-executable", "Permission denied"},
      {"/tmp", "Permission denied"},
  };
  for (const auto& [program, why] : cases) {
    SCOPED_TRACE(program);
    Outcome o = childprocess::run({program}, "x", limited(milliseconds(5000)));
    EXPECT_FALSE(o.started);
    EXPECT_FALSE(o.exited());
    EXPECT_EQ(o.startError, why);
  }
  std::string text;
  EXPECT_EQ(childprocess::run({"/nonexistent/uploader"}, "", &text), -1);
  EXPECT_EQ(text, "cannot start /nonexistent/uploader: No such file or directory");
}

TEST(ChildProcess, ASignalEndingTheChildIsReported) {
  Outcome o = sh("kill -SEGV $$", "", limited(milliseconds(60000)));
  EXPECT_FALSE(o.exited());
  EXPECT_FALSE(o.timedOut);
  EXPECT_EQ(o.signal, SIGSEGV);
}

// The child gets no blocked signal from the thread that starts it: here its
// own SIGTERM must end it at once instead of waiting in the mask.
TEST(ChildProcess, TheChildStartsWithNoSignalBlocked) {
  sigset_t term, old;
  sigemptyset(&term);
  sigaddset(&term, SIGTERM);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &term, &old), 0);
  Outcome o = sh("kill -TERM $$; exit 0", "", limited(milliseconds(60000)));
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  EXPECT_EQ(o.signal, SIGTERM);
}

TEST(ChildProcess, NoDescriptorOfTheCallerReachesTheChild) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);  // without close-on-exec
  Outcome o = sh("test -e /proc/self/fd/" + std::to_string(fds[0]) + " && echo leaked", "",
                 limited(milliseconds(60000)));
  close(fds[0]);
  close(fds[1]);
  EXPECT_TRUE(o.exited());
  EXPECT_EQ(o.output, "");
}

// The limit ends the child and everything it started; a child that closed
// its output is still held to it.
TEST(ChildProcess, TheLimitKillsTheChildAndItsGroup) {
  struct Case {
    const char* name;
    const char* script;
  };
  const Case cases[] = {
      {"sleeps with its output open", "sleep 600 & echo $! > /tmp/grandchild.pid; wait"},
      {"closed its output first", "exec >&- 2>&-; sleep 600 & echo $! > /tmp/grandchild.pid; wait"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove("/tmp/grandchild.pid");
    auto t0 = std::chrono::steady_clock::now();
    Outcome o = sh(c.script, "", limited(milliseconds(500)));
    auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_TRUE(o.started);
    EXPECT_TRUE(o.timedOut);
    EXPECT_FALSE(o.exited());
    EXPECT_EQ(o.signal, SIGKILL);
    EXPECT_LT(took, std::chrono::seconds(120)) << "waited for the child's own end";
    pid_t grandchild = pidFrom("/tmp/grandchild.pid");
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(testsupport::waitFor([&] { return !testsupport::processRunning(grandchild); },
                                     std::chrono::seconds(30)))
        << "the child's own child survived";
  }
}

// A stop from the caller ends the child and its group at once, limited or
// not, whether the child still holds its output or has closed it.
TEST(ChildProcess, AStopKillsTheChildAtOnce) {
  struct Case {
    const char* name;
    milliseconds limit;
    const char* script;
  };
  const Case cases[] = {
      {"no limit, output open", milliseconds(0),
       "echo $$ > /tmp/child.pid; sleep 600 & echo $! > /tmp/grandchild.pid; wait"},
      {"limited, output closed", milliseconds(600000),
       "exec >&- 2>&-; echo $$ > /tmp/child.pid; sleep 600 & echo $! > /tmp/grandchild.pid; "
       "wait"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::remove("/tmp/child.pid");
    std::remove("/tmp/grandchild.pid");
    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    std::thread stopper([&] {
      testsupport::waitFor([] { return pidFrom("/tmp/grandchild.pid") > 0; },
                           std::chrono::seconds(60));
      char b = 1;
      EXPECT_EQ(write(stop[1], &b, 1), 1);
    });
    Bounds b = limited(c.limit);
    b.stopFd = stop[0];
    auto t0 = std::chrono::steady_clock::now();
    Outcome o = sh(c.script, "", b);
    auto took = std::chrono::steady_clock::now() - t0;
    stopper.join();
    close(stop[0]);
    close(stop[1]);
    EXPECT_TRUE(o.stopped);
    EXPECT_FALSE(o.timedOut);
    EXPECT_FALSE(o.exited());
    EXPECT_EQ(o.signal, SIGKILL);
    EXPECT_LT(took, std::chrono::seconds(120));
    pid_t grandchild = pidFrom("/tmp/grandchild.pid");
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(testsupport::waitFor([&] { return !testsupport::processRunning(grandchild); },
                                     std::chrono::seconds(30)))
        << "the child's own child survived";
  }
}

// A child that reads nothing, or writes more than is kept, never holds the
// caller.
TEST(ChildProcess, UnreadInputAndOverlongOutputDoNotBlock) {
  Outcome o = sh("exit 0", std::string(4 << 20, 'x'));
  EXPECT_TRUE(o.exited());
  EXPECT_EQ(o.exitStatus, 0);
  Bounds b = limited(milliseconds(60000));
  b.maxOutput = 1000;
  o = sh("head -c 3000000 /dev/zero; echo done >&2", "", b);
  EXPECT_TRUE(o.exited());
  EXPECT_EQ(o.output.size(), 1000u);
  EXPECT_EQ(o.errors, "done\n");
}

}  // namespace
