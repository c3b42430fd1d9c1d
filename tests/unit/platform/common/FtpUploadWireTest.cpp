// The card and its uploader agree on one request and one answer: what one
// side encodes the other decodes unchanged, and nothing malformed passes.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <iterator>
#include <set>
#include <string>

#include "common/FtpUpload.h"
#include "common/FtpUploadWire.h"

namespace {

using namespace ftpupload;

Request sample() {
  Request r;
  r.target = {"192.0.2.7", 2121, "chassis", std::string("p\0w\n:x", 6), "cards/slot3"};
  r.localFile = "/tmp/chassis/card-logs.tar.gz";
  r.remoteName = "card-logs-slot3-20260101-000000.tar.gz";
  r.limitSeconds = 300;
  return r;
}

void put16(std::string& bytes, size_t at, uint16_t v) {
  bytes[at] = static_cast<char>(v & 0xff);
  bytes[at + 1] = static_cast<char>(v >> 8);
}

TEST(FtpUploadWire, RequestRoundTripKeepsEveryByte) {
  Request r = sample();
  std::string bytes = encodeRequest(r);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.substr(0, 4), "FTPQ");
  std::optional<Request> back = decodeRequest(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->target.host, r.target.host);
  EXPECT_EQ(back->target.port, r.target.port);
  EXPECT_EQ(back->target.user, r.target.user);
  EXPECT_EQ(back->target.password, r.target.password);
  EXPECT_EQ(back->target.directory, r.target.directory);
  EXPECT_EQ(back->localFile, r.localFile);
  EXPECT_EQ(back->remoteName, r.remoteName);
  EXPECT_EQ(back->limitSeconds, r.limitSeconds);
}

TEST(FtpUploadWire, EveryTruncationAndAnyTrailingByteIsRefused) {
  std::string bytes = encodeRequest(sample());
  for (size_t n = 0; n < bytes.size(); ++n)
    EXPECT_FALSE(decodeRequest(bytes.substr(0, n))) << "cut at " << n;
  EXPECT_FALSE(decodeRequest(bytes + '\0'));
  std::string answer = encodeAnswer({Result::LOGIN_REFUSED, "Access denied: 530"});
  for (size_t n = 0; n < answer.size(); ++n)
    EXPECT_FALSE(decodeAnswer(answer.substr(0, n))) << "cut at " << n;
  EXPECT_FALSE(decodeAnswer(answer + 'x'));
}

struct BadRequest {
  const char* name;
  void (*spoil)(Request&);
};

const BadRequest kBadRequests[] = {
    {"port 0", [](Request& r) { r.target.port = 0; }},
    {"limit 0", [](Request& r) { r.limitSeconds = 0; }},
    {"limit past the maximum", [](Request& r) { r.limitSeconds = MAX_LIMIT_SECONDS + 1; }},
    {"no host", [](Request& r) { r.target.host.clear(); }},
    {"no local file", [](Request& r) { r.localFile.clear(); }},
    {"no remote name", [](Request& r) { r.remoteName.clear(); }},
    {"remote name with a directory", [](Request& r) { r.remoteName = "../x.tar.gz"; }},
};

TEST(FtpUploadWire, RequestsTheUploaderCannotActOnAreRefused) {
  for (const BadRequest& c : kBadRequests) {
    SCOPED_TRACE(c.name);
    Request r = sample();
    c.spoil(r);
    std::string bytes = encodeRequest(r);
    ASSERT_FALSE(bytes.empty());
    EXPECT_FALSE(decodeRequest(bytes));
  }
  Request r = sample();
  std::string bytes = encodeRequest(r);
  bytes[0] = 'X';
  EXPECT_FALSE(decodeRequest(bytes)) << "wrong magic";
  // A host length field one past the limit, with that many bytes behind it.
  bytes = encodeRequest(r).substr(0, 8);
  bytes += std::string(2, '\0') + std::string(MAX_TEXT + 1, 'h');
  put16(bytes, 8, MAX_TEXT + 1);
  EXPECT_FALSE(decodeRequest(bytes)) << "over-long text";
}

TEST(FtpUploadWire, EncodingRefusesWhatCannotTravel) {
  Request r = sample();
  r.target.password = std::string(MAX_TEXT, 'p');
  EXPECT_FALSE(encodeRequest(r).empty()) << "the longest text still fits";
  r.target.password += 'p';
  EXPECT_TRUE(encodeRequest(r).empty());
  r = sample();
  r.target.port = 65536;
  EXPECT_TRUE(encodeRequest(r).empty());
  EXPECT_TRUE(encodeAnswer({Result::FAILED, std::string(MAX_TEXT + 1, 'r')}).empty());
}

TEST(FtpUploadWire, AnswersCarryEachResultAndItsExitStatus) {
  const Result all[] = {
      Result::OK,      Result::CONNECT_FAILED, Result::LOGIN_REFUSED, Result::UPLOAD_REFUSED,
      Result::TIMEOUT, Result::FAILED,         Result::TLS_FAILED};
  std::set<int> statuses;
  for (Result res : all) {
    SCOPED_TRACE(resultName(res));
    for (bool encrypted : {false, true}) {
      std::optional<Answer> back = decodeAnswer(encodeAnswer({res, "why", encrypted}));
      ASSERT_TRUE(back);
      EXPECT_EQ(back->result, res);
      EXPECT_EQ(back->reason, "why");
      EXPECT_EQ(back->encrypted, encrypted);
    }
    statuses.insert(exitStatusOf(res));
  }
  EXPECT_EQ(statuses.size(), std::size(all)) << "two results share an exit status";
  EXPECT_EQ(exitStatusOf(Result::OK), 0);
  std::string bytes = encodeAnswer({Result::FAILED, ""});
  bytes[4] = static_cast<char>(static_cast<uint8_t>(Result::TLS_FAILED) + 1);
  EXPECT_FALSE(decodeAnswer(bytes)) << "unknown result";
  bytes = encodeAnswer({Result::OK, ""});
  bytes[5] = 2;
  EXPECT_FALSE(decodeAnswer(bytes)) << "encrypted is a flag";
}

TEST(FtpUploadProgram, BesideTheCardUnlessTheEnvironmentSaysOtherwise) {
  unsetenv("FXS_FTPUPLOAD");
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  std::string self(exe, static_cast<size_t>(n));
  EXPECT_EQ(programPath(), self.substr(0, self.rfind('/')) + "/ftpupload");
  setenv("FXS_FTPUPLOAD", "/opt/other/uploader", 1);
  EXPECT_EQ(programPath(), "/opt/other/uploader");
  setenv("FXS_FTPUPLOAD", "", 1);
  EXPECT_EQ(programPath(), self.substr(0, self.rfind('/')) + "/ftpupload") << "empty is unset";
  unsetenv("FXS_FTPUPLOAD");
}

}  // namespace
