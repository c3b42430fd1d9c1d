// dldctl: upgrades one card's load over ICSC as the chassis controller
// does: it writes the FTP server of the log-transfer records and the
// download records, follows "Dld state" and "Dld progress" and prints each
// change, commits the verified load, waits for the card to come back on it
// and to reach ACTIVE, and accepts it.
//
//   dldctl [--host A] [--port N] [--timeout MS] --file NAME --server ADDR
//          [--ftp-port P] --user U --password-file F [--no-accept]
//          [--commit-timer S] [--deadline S]
//
// Exit: 0 the new load runs (accepted unless --no-accept), 1 the card
// refused or the download failed (its reason on stderr), 2 no answer
// within the deadline, 3 bad usage.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "SimCli.h"
#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscClient.h"
#include "icsc/IcscOid.h"
#include "load/LoadManager.h"

using namespace commonrec;
using Clock = std::chrono::steady_clock;
using LM = load::LoadManager;

namespace {

using simcli::NO_ANSWER;
using simcli::REFUSED;
using simcli::SERVED;
using simcli::USAGE;

const char kUsage[] =
    "usage: dldctl [--host A] [--port N] [--timeout MS] --file NAME --server ADDR\n"
    "              [--ftp-port P] --user U --password-file F [--no-accept]\n"
    "              [--commit-timer S] [--deadline S]\n"
    "  upgrades the card at A:N (ICSC over UDP; 127.0.0.1:5000) with the bundle NAME\n"
    "  on the FTP server ADDR: download, commit, wait for ACTIVE on the new load,\n"
    "  accept (not with --no-accept: the card rolls back after the commit timer S,\n"
    "  0 = the card's default). --deadline S bounds the whole (default 900 s).\n"
    "exit status: 0 the new load runs (accepted unless --no-accept), 1 refused or\n"
    "failed (the card's reason on stderr), 2 no answer, 3 bad usage\n";

struct Options {
  std::string host = "127.0.0.1";
  int port = 5000;
  int timeoutMs = 2000;
  std::string file, server, user, passwordFile;
  unsigned ftpPort = 21;
  bool accept = true;
  unsigned commitTimer = 0;
  unsigned deadline = 900;
};

class Card {
 public:
  explicit Card(const Options& o) : m_o(o) {}
  bool open() { return m_icsc.open(m_o.host, m_o.port); }

  // One cell; false when the card did not answer or refused.
  bool get(unsigned object, unsigned record, ICSCTlv& out) {
    ICSCTlv req;
    req.oid = icscoid::common(object, record, 0);
    return call(icscwire::GET, req, out) && out.status == icscwire::OK;
  }
  // A write; the card's status, or -1 when it did not answer.
  int set(unsigned object, unsigned record, const ICSCTlv& value) {
    ICSCTlv req = value;
    req.oid = icscoid::common(object, record, 0);
    ICSCTlv out;
    return call(icscwire::SET, req, out) ? out.status : -1;
  }
  int setNum(unsigned object, unsigned record, IcscType t, int64_t v) {
    ICSCTlv c;
    c.setNumber(t, v);
    return set(object, record, c);
  }
  int setStr(unsigned object, unsigned record, const std::string& v) {
    ICSCTlv c;
    c.setString(v);
    return set(object, record, c);
  }
  std::string text(unsigned object, unsigned record) {
    ICSCTlv c;
    return get(object, record, c) ? c.str : std::string();
  }
  int64_t number(unsigned object, unsigned record, int64_t otherwise) {
    ICSCTlv c;
    return get(object, record, c) ? c.num : otherwise;
  }

 private:
  bool call(uint8_t op, const ICSCTlv& req, ICSCTlv& out) {
    icscwire::Header h;
    std::vector<ICSCTlv> cells;
    if (m_icsc.call(op, {req}, m_o.timeoutMs, h, cells) != IcscClient::Result::ANSWERED ||
        cells.size() != 1)
      return false;
    out = cells[0];
    return true;
  }
  const Options& m_o;
  IcscClient m_icsc;
};

using CO = commonStatCtrl;

std::string seconds(Clock::duration d) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f s", std::chrono::duration<double>(d).count());
  return buf;
}

void line(const std::string& text) {
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
}

int failure(Card& card, const char* what) {
  uint32_t result = static_cast<uint32_t>(card.number(CO::CO_DOWNLOAD_RESULT, DLDRES_RESULT, 0));
  std::string reason = card.text(CO::CO_DOWNLOAD_RESULT, DLDRES_REASON);
  std::fprintf(stderr, "dldctl: %s: %s: %s\n", what, LM::resultText(result), reason.c_str());
  return REFUSED;
}

int refused(const char* what, int status) {
  if (status < 0) {
    std::fprintf(stderr, "dldctl: no answer from the card to %s\n", what);
    return NO_ANSWER;
  }
  std::fprintf(stderr, "dldctl: the card refused %s (status %d; see its log)\n", what, status);
  return REFUSED;
}

int upgrade(const Options& o) {
  std::ifstream pw(o.passwordFile);
  std::string password;
  std::getline(pw, password);
  if (!pw && password.empty()) {
    std::fprintf(stderr, "dldctl: cannot read the password file %s\n", o.passwordFile.c_str());
    return USAGE;
  }
  Card card(o);
  if (!card.open()) {
    std::fprintf(stderr, "dldctl: cannot reach %s:%d\n", o.host.c_str(), o.port);
    return NO_ANSWER;
  }
  Clock::time_point end = Clock::now() + std::chrono::seconds(o.deadline);
  std::string oldVersion = card.text(CO::CO_CARD, CARD_LOADWARE);
  std::string oldSlot = card.text(CO::CO_DOWNLOAD_RESULT, DLDRES_RUNNING_SLOT);
  struct Write {
    unsigned object, record;
    bool text;
    std::string s;
    int64_t n;
    IcscType type;
    const char* what;
  };
  const Write writes[] = {
      {CO::CO_LOG_TRANSFER, LOG_SERVER, true, o.server, 0, IcscType::STRING, "FTP Server"},
      {CO::CO_LOG_TRANSFER, LOG_PORT, false, "", o.ftpPort, IcscType::U32, "FTP Port"},
      {CO::CO_LOG_TRANSFER, LOG_USER, true, o.user, 0, IcscType::STRING, "FTP User"},
      {CO::CO_LOG_TRANSFER, LOG_PASSWORD, true, password, 0, IcscType::STRING, "FTP Password"},
      {CO::CO_DOWNLOAD, DLD_CLEAR_ERRORS, false, "", 1, IcscType::BOOL, "Dld Clear Errors"},
      {CO::CO_DOWNLOAD, DLD_COMMIT_TIMER, false, "", o.commitTimer, IcscType::U32,
       "Dld Set Commit timer"},
      {CO::CO_DOWNLOAD, DLD_FILENAME, true, o.file, 0, IcscType::STRING, "Dld Filename"},
      {CO::CO_DOWNLOAD, DLD_START, false, "", 1, IcscType::BOOL, "Dld Start Download"},
  };
  for (const Write& w : writes) {
    int st = w.text ? card.setStr(w.object, w.record, w.s)
                    : card.setNum(w.object, w.record, w.type, w.n);
    if (st != icscwire::OK)
      return refused(w.what, st);
  }
  line("download of " + o.file + " started on the card (running " + oldVersion + ")");
  Clock::time_point started = Clock::now();
  uint32_t lastState = 0xffffffff, lastProgress = 0xffffffff;
  for (;;) {
    if (Clock::now() > end) {
      std::fprintf(stderr, "dldctl: the download did not end within %u s\n", o.deadline);
      return NO_ANSWER;
    }
    int64_t state = card.number(CO::CO_DOWNLOAD, DLD_STATE, -1);
    int64_t progress = card.number(CO::CO_DOWNLOAD, DLD_PROGRESS, 0);
    if (state >= 0 && (state != lastState || progress != lastProgress)) {
      line(std::string("state ") + LM::stateName(static_cast<uint32_t>(state)) + ", " +
           std::to_string(progress) + " %");
      lastState = static_cast<uint32_t>(state);
      lastProgress = static_cast<uint32_t>(progress);
    }
    if (state == LM::FAILED)
      return failure(card, "download failed");
    if (state == LM::READY)
      break;
    // The start left it downloading or failed: idle, it lost the download.
    if (state == LM::IDLE) {
      std::fprintf(stderr, "dldctl: the card is idle: the download was lost (did it restart?)\n");
      return REFUSED;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  std::string newVersion = card.text(CO::CO_CARD, CARD_BACKUP_LOADWARE);
  line("ready " + seconds(Clock::now() - started) + " after the start");
  int st = card.setNum(CO::CO_DOWNLOAD, DLD_COMMIT, IcscType::BOOL, 1);
  if (st != icscwire::OK)
    return refused("Dld commit load", st);
  Clock::time_point committed = Clock::now();
  line("version " + newVersion + " committed; the card reboots into it");
  // Gone, then back on the other slot, on trial and ACTIVE.
  bool onTrial = false;
  for (;;) {
    if (Clock::now() > end) {
      std::fprintf(stderr, "dldctl: the card did not come back on the new load within %u s\n",
                   o.deadline);
      return NO_ANSWER;
    }
    int64_t state = card.number(CO::CO_DOWNLOAD, DLD_STATE, -1);
    std::string slot = card.text(CO::CO_DOWNLOAD_RESULT, DLDRES_RUNNING_SLOT);
    if (state == LM::ROLLED_BACK)
      return failure(card, "the new load was rolled back");
    if ((state == LM::TRIAL || state == LM::IDLE) && !slot.empty() && slot != oldSlot) {
      if (!onTrial)
        line("running " + card.text(CO::CO_CARD, CARD_LOADWARE) + " on trial in slot " + slot);
      onTrial = true;
      if (state == LM::IDLE) {
        line("already accepted: Loadware " + card.text(CO::CO_CARD, CARD_LOADWARE));
        return SERVED;
      }
      if (card.text(CO::CO_CARD_STATE, CARDSTATE_NAME) == "ACTIVE")
        break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  line("ACTIVE on the new load " + seconds(Clock::now() - committed) + " after the commit");
  if (!o.accept) {
    line("the card is ACTIVE on the trial load; not accepted: it rolls back in " +
         std::to_string(card.number(CO::CO_DOWNLOAD_RESULT, DLDRES_TRIAL_LEFT, 0)) + " s");
    return SERVED;
  }
  st = card.setNum(CO::CO_DOWNLOAD, DLD_ACCEPT, IcscType::BOOL, 1);
  if (st != icscwire::OK)
    return refused("Dld accept load", st);
  line("accepted: Loadware " + card.text(CO::CO_CARD, CARD_LOADWARE) + ", Backup loadware " +
       card.text(CO::CO_CARD, CARD_BACKUP_LOADWARE));
  return SERVED;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  int rc = simcli::parse(
      "dldctl", kUsage, argc, argv, simcli::ANYWHERE,
      {{"host", required_argument, nullptr, 'H'},
       {"port", required_argument, nullptr, 'p'},
       {"timeout", required_argument, nullptr, 't'},
       {"file", required_argument, nullptr, 'f'},
       {"server", required_argument, nullptr, 's'},
       {"ftp-port", required_argument, nullptr, 'P'},
       {"user", required_argument, nullptr, 'u'},
       {"password-file", required_argument, nullptr, 'w'},
       {"no-accept", no_argument, nullptr, 'n'},
       {"commit-timer", required_argument, nullptr, 'c'},
       {"deadline", required_argument, nullptr, 'd'}},
      [&](int c, const char* arg) -> std::string {
        switch (c) {
          case 'H':
            o.host = arg;
            return "";
          case 'p':
            return simcli::integer(arg, 1, 65535, o.port) ? "" : "--port wants 1-65535";
          case 't':
            return simcli::integer(arg, 1, 600000, o.timeoutMs) ? "" : "--timeout wants ms";
          case 'f':
            o.file = arg;
            return "";
          case 's':
            o.server = arg;
            return "";
          case 'P':
            return simcli::integer(arg, 1, 65535, o.ftpPort) ? "" : "--ftp-port wants 1-65535";
          case 'u':
            o.user = arg;
            return "";
          case 'w':
            o.passwordFile = arg;
            return "";
          case 'n':
            o.accept = false;
            return "";
          case 'c':
            return simcli::integer(arg, 0, LM::MAX_COMMIT_TIMER, o.commitTimer)
                       ? ""
                       : "--commit-timer wants seconds (0-86400)";
          default:
            return simcli::integer(arg, 1, 86400, o.deadline) ? "" : "--deadline wants seconds";
        }
      });
  if (rc == 2)
    return USAGE;
  if (rc >= 0)
    return rc;
  if (optind != argc)
    return simcli::badUsage("dldctl", "unexpected argument", kUsage), USAGE;
  if (o.file.empty() || o.server.empty() || o.user.empty() || o.passwordFile.empty())
    return simcli::badUsage("dldctl", "--file, --server, --user and --password-file are needed",
                            kUsage),
           USAGE;
  return upgrade(o);
}
