// Bench stand-in of the debug front end: posts one command line to the
// card as message 900 and waits for the card's ready message.
//
//   fdebug [--timeout MS] [--] WORD...
//
// Exit status 0 when the ready message came, 1 on timeout, 2 on bad use.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "SimCli.h"
#include "drivermsg/dbgMsg.h"
#include "drivermsg/hwMessages.h"
#include "mq/MessageQueue.h"

namespace {

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
  std::vector<uint8_t> msg = dbgmsg::encode(text);
  if (msg.empty())
    return simcli::badUsage("fdebug", "at most 1995 characters", kUsage);

  MessageQueue replies(dbgmsg::FDEBUG_QUEUE);
  MessageQueue card(mainqueue::NAME, mainqueue::MAX_MSG_SIZE, mainqueue::DEPTH);
  if (!replies.isOpen() || !card.isOpen()) {
    std::fprintf(stderr, "fdebug: message queues not available\n");
    return 1;
  }
  // Drop ready messages of earlier commands.
  replies.blocking(false);
  uint8_t buf[kMaxMsg];
  while (replies.receive(buf, sizeof buf) >= 0) {
  }
  replies.blocking(true);

  card.blocking(false);
  if (!card.send(msg.data(), msg.size())) {
    std::fprintf(stderr, "fdebug: cannot post to /queueToMain (queue full?)\n");
    return 1;
  }
  ssize_t n = replies.receive(buf, sizeof buf, timeoutMs);
  if (n < 0 || hwmsg::msgId(buf, static_cast<size_t>(n)) != MSG_DBG) {
    std::fprintf(stderr, "fdebug: no ready message within %u ms\n", timeoutMs);
    return 1;
  }
  std::printf("fdebug: '%s' done\n", text.c_str());
  return 0;
}
