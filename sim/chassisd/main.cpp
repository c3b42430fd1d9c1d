// chassisd: the chassis controller on the bench. Polls every card's state,
// LEDs, hardware errors, operational alarms and temperatures over ICSC, one
// request per card and poll, all cards at once; logs each change as a
// timestamped line and writes the chassis's view after every poll: a text
// table (./dev chassis watch) and a self-contained HTML page.
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Chassis.h"
#include "SimCli.h"
#include "SimLog.h"
#include "SimStop.h"
#include "icsc/IcscClient.h"
#include "trace/TraceObject.h"

namespace {

const char kUsage[] =
    "usage: chassisd --card SLOT=ADDRESS[:PORT]... [--interval-ms MS] [--lost-after N]\n"
    "                [--page FILE] [--table FILE]\n"
    "  --card SLOT=ADDRESS[:PORT]  a card to poll: its slot (1-64) and ICSC address\n"
    "                              (port 5000 by default); repeatable\n"
    "  --interval-ms MS            poll period (default 1000); a poll waits for the\n"
    "                              answers up to 80 % of it\n"
    "  --lost-after N              polls a card may miss before it is lost (default 3)\n"
    "  --page FILE                 the HTML page, written after every poll\n"
    "  --table FILE                the text table, written after every poll\n"
    "Each change is one line on stderr: a card found, its state, an alarm raised or\n"
    "cleared, a card lost and back.\n";

struct Card {
  unsigned slot = 0;
  std::string host;
  int port = icscwire::UDP_PORT;
  std::unique_ptr<IcscClient> client;
  uint32_t id = 0;
  bool sent = false;
};

std::string cardOption(const char* arg, std::vector<Card>& cards) {
  std::string a = arg;
  size_t eq = a.find('='), colon = a.find(':', eq == std::string::npos ? 0 : eq);
  Card c;
  if (eq == std::string::npos || !simcli::integer(a.substr(0, eq).c_str(), 1, 64, c.slot))
    return "--card wants SLOT=ADDRESS[:PORT] with a slot 1-64";
  c.host = a.substr(eq + 1, colon == std::string::npos ? std::string::npos : colon - eq - 1);
  if (colon != std::string::npos && !simcli::integer(a.substr(colon + 1).c_str(), 1, 65535, c.port))
    return "--card: the port wants 1-65535";
  for (const Card& o : cards)
    if (o.slot == c.slot)
      return "--card: slot " + std::to_string(c.slot) + " twice";
  c.client = std::make_unique<IcscClient>();
  if (!c.client->open(c.host, c.port))
    return "--card: " + c.host + " is no IPv4 address";
  cards.push_back(std::move(c));
  return "";
}

// Replaces `path` as a whole, so a reader never sees half a file.
void writeFile(const std::string& path, const std::string& text) {
  if (path.empty())
    return;
  std::string tmp = path + ".tmp";
  std::ofstream f(tmp, std::ios::trunc);
  f << text;
  f.close();
  if (!f || std::rename(tmp.c_str(), path.c_str()) != 0)
    simlog::line("chassisd: cannot write %s: %s", path.c_str(), std::strerror(errno));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Card> cards;
  long intervalMs = 1000;
  unsigned lostAfter = 3;
  std::string page, table;
  int rc = simcli::parse(
      "chassisd", kUsage, argc, argv, simcli::ANYWHERE,
      {{"card", required_argument, nullptr, 'c'},
       {"interval-ms", required_argument, nullptr, 'i'},
       {"lost-after", required_argument, nullptr, 'l'},
       {"page", required_argument, nullptr, 'p'},
       {"table", required_argument, nullptr, 't'}},
      [&](int c, const char* arg) -> std::string {
        switch (c) {
          case 'c':
            return cardOption(arg, cards);
          case 'i':
            return simcli::integer(arg, 50, 3600000, intervalMs) ? ""
                                                                 : "--interval-ms wants 50-3600000";
          case 'l':
            return simcli::integer(arg, 1, 1000, lostAfter) ? "" : "--lost-after wants 1-1000";
          case 'p':
            page = arg;
            return "";
          default:
            table = arg;
            return "";
        }
      });
  if (rc >= 0)
    return rc;
  if (optind != argc)
    return simcli::badUsage("chassisd", "unexpected argument", kUsage);
  if (cards.empty())
    return simcli::badUsage("chassisd", "no --card to poll", kUsage);
  simstop::onTermination();

  std::vector<unsigned> slots;
  slots.reserve(cards.size());
  for (const Card& c : cards)
    slots.push_back(c.slot);
  chassis::Chassis view(slots, lostAfter);
  const std::vector<ICSCTlv> cells = chassis::pollCells();
  const auto interval = std::chrono::milliseconds(intervalMs);
  const auto wait = interval * 8 / 10;
  simlog::line("chassisd: polling %zu slot(s) every %ld ms", cards.size(), intervalMs);
  while (!simstop::requested()) {
    auto start = std::chrono::steady_clock::now();
    std::vector<std::optional<chassis::Reading>> readings(cards.size());
    for (Card& c : cards)
      c.sent = c.client->send(icscwire::GET, cells.data(), cells.size(), c.id);
    // All cards' answers as they come, until the last or the deadline: a
    // card that does not answer delays none of the others.
    for (;;) {
      std::vector<pollfd> fds;
      std::vector<size_t> which;
      for (size_t i = 0; i < cards.size(); ++i) {
        if (cards[i].sent) {
          fds.push_back({cards[i].client->fd(), POLLIN, 0});
          which.push_back(i);
        }
      }
      auto left = std::chrono::ceil<std::chrono::milliseconds>(start + wait -
                                                               std::chrono::steady_clock::now())
                      .count();
      if (fds.empty() || left <= 0 || simstop::requested())
        break;
      if (poll(fds.data(), fds.size(), static_cast<int>(left)) <= 0)
        continue;
      for (size_t k = 0; k < fds.size(); ++k) {
        if ((fds[k].revents & (POLLIN | POLLERR)) == 0)
          continue;
        Card& c = cards[which[k]];
        icscwire::Header h;
        std::vector<ICSCTlv> out;
        // The header carries the first refused cell's status: cells past
        // the card's rows are refused, the others are served all the same.
        if (c.client->await(c.id, 1, h, out) == IcscClient::Result::ANSWERED) {
          readings[which[k]] = chassis::readingOf(out);
          c.sent = false;
        }
      }
    }
    // From the requests out to the last answer (or the deadline).
    double pollMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (size_t i = 0; i < cards.size(); ++i) {
      for (const std::string& line : view.record(cards[i].slot, readings[i]))
        simlog::line("chassisd: %s", line.c_str());
    }
    char head[96];
    std::snprintf(head, sizeof head, "  every %ld ms, last poll %.1f ms\n", intervalMs, pollMs);
    writeFile(table, trace::utcStamp() + head + view.table());
    writeFile(page, view.page(trace::utcStamp(), static_cast<unsigned>((intervalMs + 999) / 1000)));
    // Short steps: a stop is acted on at once.
    while (!simstop::requested() && std::chrono::steady_clock::now() < start + interval)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  simlog::line("chassisd: stopped");
  return 0;
}
