// Bench stand-in of the debug front end: posts one command line to the
// card as message 900 and waits for the card's ready message.
//
//   fdebug [--timeout MS] [--] WORD...
//
// Exit status 0 when the ready message came, 1 on timeout, 2 on bad use.
#include <cstdio>
#include <cstring>
#include <string>

#include "SimCli.h"
#include "drivermsg/mainQueue.h"
#include "mq/MessageQueue.h"

namespace {

constexpr uint32_t kDbgMsgId = 900;
constexpr size_t kMaxMsg = mainqueue::MAX_MSG_SIZE;

const char kUsage[] =
    "usage: ./dev fdebug WORD... on the bench, where it runs fdebug [--timeout MS] [--] WORD...\n"
    "  posts the words as one command line to /queueToMain (message 900)\n"
    "  and waits for the card's ready message on /queueToFdebug\n"
    "  --timeout MS   how long to wait (default 5000)\n"
    "exit status: 0 ready message came, 1 none or no queue, 2 bad usage\n";

}  // namespace

int main(int argc, char** argv) {
  unsigned timeoutMs = 5000;
  // Command words may themselves start with '-'.
  int rc = simcli::parse(
      "fdebug", kUsage, argc, argv, simcli::BEFORE_ARGUMENTS,
      {{"timeout", required_argument, nullptr, 't'}}, [&](int, const char* arg) -> std::string {
        return simcli::integer(arg, 1, 600000, timeoutMs) ? "" : "--timeout wants 1-600000 ms";
      });
  if (rc >= 0)
    return rc;
  std::string text;
  for (int i = optind; i < argc; ++i) {
    if (!text.empty())
      text += ' ';
    text += argv[i];
  }
  if (text.empty())
    return simcli::badUsage("fdebug", "no command words", kUsage);
  if (text.size() + 5 > kMaxMsg)
    return simcli::badUsage("fdebug", "at most 1995 characters", kUsage);

  MessageQueue replies("/queueToFdebug");
  MessageQueue card(mainqueue::NAME, mainqueue::MAX_MSG_SIZE, mainqueue::DEPTH);
  if (!replies.isOpen() || !card.isOpen()) {
    std::fprintf(stderr, "fdebug: message queues not available\n");
    return 1;
  }
  // Drop ready messages of earlier commands.
  replies.blocking(false);
  char buf[kMaxMsg];
  while (replies.receive(buf, sizeof buf) >= 0) {
  }
  replies.blocking(true);

  char msg[kMaxMsg] = {};
  std::memcpy(msg, &kDbgMsgId, sizeof kDbgMsgId);
  std::memcpy(msg + 4, text.c_str(), text.size() + 1);
  card.blocking(false);
  if (!card.send(msg, 4 + text.size() + 1)) {
    std::fprintf(stderr, "fdebug: cannot post to /queueToMain (queue full?)\n");
    return 1;
  }
  ssize_t n = replies.receive(buf, sizeof buf, timeoutMs);
  uint32_t id = 0;
  if (n >= 4)
    std::memcpy(&id, buf, sizeof id);
  if (n < 4 || id != kDbgMsgId) {
    std::fprintf(stderr, "fdebug: no ready message within %u ms\n", timeoutMs);
    return 1;
  }
  std::printf("fdebug: '%s' done\n", text.c_str());
  return 0;
}
