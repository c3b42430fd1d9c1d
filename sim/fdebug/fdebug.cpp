// Bench stand-in of the debug front end: posts one command line to the
// card as message 900 and waits for the card's ready message.
//
//   fdebug [--timeout MS] WORD...
//
// Exit status 0 when the ready message came, 1 on timeout, 2 on bad use.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drivermsg/dbgMsg.h"
#include "drivermsg/hwMessages.h"
#include "mq/MessageQueue.h"

namespace {

constexpr size_t kMaxMsg = mainqueue::MAX_MSG_SIZE;

}  // namespace

int main(int argc, char** argv) {
  unsigned timeoutMs = 5000;
  int i = 1;
  if (i + 1 < argc && std::strcmp(argv[i], "--timeout") == 0) {
    timeoutMs = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 0));
    i += 2;
  }
  std::string text;
  for (; i < argc; ++i) {
    if (!text.empty())
      text += ' ';
    text += argv[i];
  }
  std::vector<uint8_t> msg = dbgmsg::encode(text);
  if (msg.empty() || timeoutMs == 0) {
    std::fprintf(stderr, "usage: fdebug [--timeout MS] WORD... (at most %zu characters)\n",
                 dbgmsg::MAX_TEXT);
    return 2;
  }

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
