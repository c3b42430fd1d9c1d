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

#include "drivermsg/mainQueue.h"
#include "mq/MessageQueue.h"

namespace {

constexpr uint32_t kDbgMsgId = 900;
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
  if (text.size() + 5 > kMaxMsg || timeoutMs == 0) {
    std::fprintf(stderr, "usage: fdebug [--timeout MS] WORD... (at most %zu characters)\n",
                 kMaxMsg - 5);
    return 2;
  }

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
