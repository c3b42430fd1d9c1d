// The chassis controller's view of its slots: what each card answered to
// the last poll, what changed since the one before (state, alarms, a card
// lost and back), and that view as a text table and an HTML page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "icsc/ICSCTlv.h"

namespace chassis {

struct Alarm {
  std::string name;
  bool hardware = true;  // else an operational alarm
  bool operator==(const Alarm& o) const { return name == o.name && hardware == o.hardware; }
};

struct Sensor {
  std::string name;
  int32_t value = 0;
  bool valid = false;
};

// One card's answer to a poll.
struct Reading {
  std::string state;
  // LED driver pins lit, blinking slowly, blinking fast.
  uint32_t ledsOn = 0, ledsSlow = 0, ledsFast = 0;
  std::string loadware;
  std::vector<Alarm> alarms;  // the active ones
  std::vector<Sensor> sensors;
};

// The cells one poll asks each card for, and the reading their answers
// (in the same order) give; cells the card does not serve (more sensors or
// errors than it has) are left out.
std::vector<ICSCTlv> pollCells();
std::optional<Reading> readingOf(const std::vector<ICSCTlv>& answer);

// Text from a card, made safe for one log line: anything but printable
// ASCII as \xNN.
std::string printable(const std::string& s);

class Chassis {
 public:
  // `slots`: the slot numbers polled; a card that answered before is lost
  // once it has missed `lostAfter` polls in a row.
  Chassis(const std::vector<unsigned>& slots, unsigned lostAfter);

  // One poll of `slot`: the card's reading, or none when it did not answer
  // in time. Returns what changed, one line each, without the time.
  std::vector<std::string> record(unsigned slot, const std::optional<Reading>& reading);

  // One line per slot: state, LEDs, alarms, hottest sensor, loadware.
  std::string table() const;
  // A self-contained page (no scripts, no files beside it) that reloads
  // itself every `refreshSeconds`; `when` is the poll's time.
  std::string page(const std::string& when, unsigned refreshSeconds) const;

 private:
  struct Slot {
    unsigned number = 0;
    bool seen = false;  // answered at least once
    bool lost = false;
    unsigned missed = 0;
    Reading last;
  };
  Slot* find(unsigned slot);

  std::vector<Slot> m_slots;
  unsigned m_lostAfter;
};

}  // namespace chassis
