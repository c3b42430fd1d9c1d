#include "Chassis.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "FrontPanel.h"
#include "common/CommonRecords.h"
#include "common/commonStatCtrl.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"

namespace chassis {

namespace {

using CO = commonStatCtrl;
using namespace commonrec;

// More than a card of this kind registers: cells past its last answer
// "row out of range" and are left out.
constexpr size_t kHwErrors = 8, kOperAlarms = 4, kSensors = 8;
enum Cell : size_t { STATE, LEDS_ON, LEDS_SLOW, LEDS_FAST, LOADWARE, FIRST_ALARM };
constexpr size_t kFirstSensor = FIRST_ALARM + 2 * (kHwErrors + kOperAlarms);
constexpr size_t kCells = kFirstSensor + 3 * kSensors;

bool served(const ICSCTlv& c) {
  return c.status == icscwire::OK;
}

std::string html(const std::string& s) {
  std::string out;
  for (char c : printable(s)) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// One character per front LED: '*' lit, 's' slow, 'f' fast, '.' off.
std::string ledGlyphs(const Reading& r) {
  std::string g;
  for (const PanelLed& led : kPanel) {
    uint32_t bit = 1u << led.pin;
    g += (r.ledsOn & bit) ? '*' : (r.ledsFast & bit) ? 'f' : (r.ledsSlow & bit) ? 's' : '.';
  }
  return g;
}

const Sensor* hottest(const Reading& r) {
  const Sensor* best = nullptr;
  for (const Sensor& s : r.sensors)
    if (s.valid && (best == nullptr || s.value > best->value))
      best = &s;
  return best;
}

std::string alarmList(const Reading& r, const char* separator) {
  std::string out;
  for (const Alarm& a : r.alarms)
    out += (out.empty() ? "" : separator) + printable(a.name);
  return out;
}

const char* kind(const Alarm& a) {
  return a.hardware ? "hardware" : "operational";
}

// The page's geometry is fixed, so that a slot's LEDs are always at the
// same place: slots side by side as in the shelf.
constexpr int kSlotLeft = 10, kSlotPitch = 118;

const char kStyle[] =
    "body{margin:0;background:#1d1f21;color:#d8d8d8;font:12px sans-serif}"
    ".head{position:absolute;left:10px;top:10px}"
    ".slot{position:absolute;top:40px;width:110px;height:440px;background:#2d2f31;"
    "border:1px solid #555;box-sizing:border-box;overflow:hidden}"
    ".slot.lost,.slot.empty{background:#242424;color:#888}"
    ".num{position:absolute;top:4px;left:0;width:108px;text-align:center;font-weight:bold}"
    ".alarm{position:absolute;top:20px;left:45px;width:20px;height:20px;border-radius:50%;"
    "background:#444}"
    ".alarm.on{background:#ff2000}"
    ".leds{position:absolute;top:50px;left:12px}"
    ".led{display:inline-block;width:10px;height:10px;border-radius:50%;background:#444;"
    "margin:3px 6px 3px 0;vertical-align:middle}"
    ".FAIL.lit{background:#e00000}.DUMMY.lit{background:#f0a000}.port.lit{background:#20d040}"
    ".slow{animation:blink 1s step-end infinite}.fast{animation:blink .25s step-end infinite}"
    "@keyframes blink{50%{background:#444}}"
    ".text{position:absolute;top:225px;left:6px;width:98px;word-wrap:break-word}"
    ".state{font-weight:bold;margin-bottom:6px}.alarms{color:#ff6040;margin-bottom:6px}";

void slotPage(std::ostream& os, int index, unsigned number, bool seen, bool lost, unsigned missed,
              const Reading& r) {
  const char* cls = lost ? " lost" : seen ? "" : " empty";
  os << "<div class=\"slot" << cls << "\" id=\"slot" << number
     << "\" style=\"left:" << kSlotLeft + index * kSlotPitch << "px\">";
  os << "<div class=\"num\">slot " << number << "</div>";
  bool alarm = lost || (seen && !r.alarms.empty());
  os << "<div class=\"alarm" << (alarm ? " on" : "") << "\" title=\"alarm\"></div>";
  os << "<div class=\"leds\">";
  for (const PanelLed& led : kPanel) {
    uint32_t bit = 1u << led.pin;
    std::string label = led.label;
    std::string type = label[0] == 'P' ? "port" : label;
    const char* blink = (r.ledsOn & bit)     ? " lit"
                        : (r.ledsFast & bit) ? " lit fast"
                        : (r.ledsSlow & bit) ? " lit slow"
                                             : "";
    os << "<div><span class=\"led " << type << (seen && !lost ? blink : "") << "\"></span>" << label
       << "</div>";
  }
  os << "</div><div class=\"text\">";
  if (!seen) {
    os << "<div class=\"state\">no answer</div>";
  } else {
    os << "<div class=\"state\">"
       << (lost ? "lost (" + std::to_string(missed) + " polls unanswered)" : html(r.state))
       << "</div>";
    if (!r.alarms.empty())
      os << "<div class=\"alarms\">" << html(alarmList(r, "\n")) << "</div>";
    const Sensor* h = hottest(r);
    os << "<div>hottest: " << (h ? html(h->name) + " " + std::to_string(h->value) + " &deg;C" : "-")
       << "</div><div>loadware: " << html(r.loadware) << "</div>";
  }
  os << "</div></div>\n";
}

}  // namespace

std::vector<ICSCTlv> pollCells() {
  std::vector<ICSCTlv> cells(kCells);
  cells[STATE].oid = icscoid::common(CO::CO_CARD_STATE, CARDSTATE_NAME, 0);
  cells[LEDS_ON].oid = icscoid::common(CO::CO_CARD_STATE, CARDSTATE_LEDS_ON, 0);
  cells[LEDS_SLOW].oid = icscoid::common(CO::CO_CARD_STATE, CARDSTATE_LEDS_SLOW, 0);
  cells[LEDS_FAST].oid = icscoid::common(CO::CO_CARD_STATE, CARDSTATE_LEDS_FAST, 0);
  cells[LOADWARE].oid = icscoid::common(CO::CO_CARD, CARD_LOADWARE, 0);
  size_t at = FIRST_ALARM;
  for (unsigned i = 0; i < kHwErrors; ++i) {
    cells[at++].oid = icscoid::common(CO::CO_HW_ERROR, ERR_NAME, i);
    cells[at++].oid = icscoid::common(CO::CO_HW_ERROR, ERR_ACTIVE, i);
  }
  for (unsigned i = 0; i < kOperAlarms; ++i) {
    cells[at++].oid = icscoid::common(CO::CO_OPER_ALARM, ERR_NAME, i);
    cells[at++].oid = icscoid::common(CO::CO_OPER_ALARM, ERR_ACTIVE, i);
  }
  for (unsigned i = 0; i < kSensors; ++i) {
    cells[at++].oid = icscoid::common(CO::CO_TEMPERATURE, TEMP_NAME, i);
    cells[at++].oid = icscoid::common(CO::CO_TEMPERATURE, TEMP_VALUE, i);
    cells[at++].oid = icscoid::common(CO::CO_TEMPERATURE, TEMP_VALID, i);
  }
  return cells;
}

std::optional<Reading> readingOf(const std::vector<ICSCTlv>& a) {
  if (a.size() != kCells || !served(a[STATE]))
    return std::nullopt;
  Reading r;
  r.state = a[STATE].str;
  auto num = [&](size_t i) { return served(a[i]) ? static_cast<uint32_t>(a[i].num) : 0u; };
  r.ledsOn = num(LEDS_ON);
  r.ledsSlow = num(LEDS_SLOW);
  r.ledsFast = num(LEDS_FAST);
  r.loadware = served(a[LOADWARE]) ? a[LOADWARE].str : "";
  for (size_t i = FIRST_ALARM; i < kFirstSensor; i += 2) {
    if (served(a[i]) && served(a[i + 1]) && a[i + 1].num != 0)
      r.alarms.push_back({a[i].str, i < FIRST_ALARM + 2 * kHwErrors});
  }
  for (size_t i = kFirstSensor; i < kCells; i += 3) {
    if (served(a[i]) && served(a[i + 1]) && served(a[i + 2]))
      r.sensors.push_back({a[i].str, static_cast<int32_t>(a[i + 1].num), a[i + 2].num != 0});
  }
  return r;
}

std::string printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    }
  }
  return out;
}

Chassis::Chassis(const std::vector<unsigned>& slots, unsigned lostAfter)
    : m_lostAfter(lostAfter == 0 ? 1 : lostAfter) {
  for (unsigned s : slots)
    m_slots.push_back(Slot{s, false, false, 0, {}});
}

Chassis::Slot* Chassis::find(unsigned slot) {
  for (Slot& s : m_slots)
    if (s.number == slot)
      return &s;
  return nullptr;
}

std::vector<std::string> Chassis::record(unsigned slot, const std::optional<Reading>& reading) {
  std::vector<std::string> out;
  Slot* s = find(slot);
  if (s == nullptr)
    return out;
  const std::string who = "slot " + std::to_string(slot) + ": ";
  if (!reading) {
    if (s->seen && !s->lost && ++s->missed >= m_lostAfter) {
      s->lost = true;
      out.push_back(who + "card lost: no answer to " + std::to_string(s->missed) + " polls");
    } else if (s->lost) {
      ++s->missed;
    }
    return out;
  }
  const Reading& r = *reading;
  if (!s->seen) {
    out.push_back(who + "card found: state " + printable(r.state) + ", loadware " +
                  printable(r.loadware));
    s->last.alarms.clear();
  } else if (s->lost) {
    out.push_back(who + "card back after " + std::to_string(s->missed) +
                  " unanswered polls: state " + printable(r.state));
  } else if (r.state != s->last.state) {
    out.push_back(who + "state " + printable(s->last.state) + " -> " + printable(r.state));
  }
  for (const Alarm& a : r.alarms) {
    if (std::find(s->last.alarms.begin(), s->last.alarms.end(), a) == s->last.alarms.end())
      out.push_back(who + kind(a) + " alarm raised: " + printable(a.name));
  }
  for (const Alarm& a : s->last.alarms) {
    if (std::find(r.alarms.begin(), r.alarms.end(), a) == r.alarms.end())
      out.push_back(who + kind(a) + " alarm cleared: " + printable(a.name));
  }
  s->seen = true;
  s->lost = false;
  s->missed = 0;
  s->last = r;
  return out;
}

std::string Chassis::table() const {
  std::ostringstream os;
  char line[160];
  std::snprintf(line, sizeof line, "%4s  %-20s %-10s  %-13s  %-26s %s\n", "slot", "state", "LEDs",
                "hottest", "alarms", "loadware");
  os << line;
  for (const Slot& s : m_slots) {
    if (!s.seen) {
      std::snprintf(line, sizeof line, "%4u  no answer\n", s.number);
    } else if (s.lost) {
      std::snprintf(line, sizeof line, "%4u  lost: no answer to %u polls\n", s.number, s.missed);
    } else {
      const Sensor* h = hottest(s.last);
      std::string hot = h ? printable(h->name) + " " + std::to_string(h->value) + "C" : "-";
      std::string alarms = alarmList(s.last, ", ");
      std::snprintf(line, sizeof line, "%4u  %-20.20s %-10s  %-13.13s  ", s.number,
                    printable(s.last.state).c_str(), ledGlyphs(s.last).c_str(), hot.c_str());
      alarms = alarms.empty() ? "-" : alarms;
      alarms.resize(std::max<size_t>(alarms.size(), 26), ' ');
      os << line << alarms << " " << printable(s.last.loadware) << "\n";
      continue;
    }
    os << line;
  }
  os << "LEDs: fail, dummy, ports 1-8; * lit, s slow, f fast, . off\n";
  return os.str();
}

std::string Chassis::page(const std::string& when, unsigned refreshSeconds) const {
  std::ostringstream os;
  os << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
     << "<meta http-equiv=\"refresh\" content=\"" << refreshSeconds << "\">"
     << "<title>chassis</title><style>" << kStyle << "</style></head><body>\n"
     << "<div class=\"head\">chassis: " << m_slots.size() << " slots, polled " << html(when)
     << "</div>\n";
  int index = 0;
  for (const Slot& s : m_slots)
    slotPage(os, index++, s.number, s.seen, s.lost, s.missed, s.last);
  os << "</body></html>\n";
  return os.str();
}

}  // namespace chassis
