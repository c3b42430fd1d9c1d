// Posts one hand-made message to "/queueToMain" on the bench.
#include <fcntl.h>
#include <mqueue.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "InjectCommand.h"
#include "drivermsg/mainQueue.h"

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  std::vector<uint8_t> msg;
  std::string error;
  if (!buildInjectMessage(words, msg, error)) {
    std::fprintf(stderr, "sim_inject: %s\nusage: sim_inject KIND ARGS\n%s", error.c_str(),
                 injectUsage());
    return 2;
  }
  mqd_t q = mq_open(mainqueue::NAME, O_WRONLY | O_NONBLOCK);
  if (q == static_cast<mqd_t>(-1)) {
    std::fprintf(stderr, "sim_inject: /queueToMain: %s (is the card running?)\n",
                 std::strerror(errno));
    return 1;
  }
  int rc = 0;
  if (mq_send(q, reinterpret_cast<const char*>(msg.data()), msg.size(), 0) != 0) {
    std::fprintf(stderr, "sim_inject: send failed: %s\n", std::strerror(errno));
    rc = 1;
  } else {
    std::printf("sim_inject: sent %zu bytes, message %u\n", msg.size(),
                msg.size() >= 4 ? msg[0] | (msg[1] << 8) | (msg[2] << 16) | (msg[3] << 24) : 0);
  }
  mq_close(q);
  return rc;
}
