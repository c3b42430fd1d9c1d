#include "load/SlotState.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "load/LineRecord.h"

namespace load {

namespace {

constexpr const char* kHeader = "fxs-load-state 1";
constexpr size_t kMaxRecord = 1024;

std::optional<SlotRecord> refuse(std::string* why, const std::string& text) {
  if (why != nullptr)
    *why = text;
  return std::nullopt;
}

bool slotWord(const std::string& w, bool noneAllowed, char& slot) {
  if (noneAllowed && w == "-") {
    slot = 0;
    return true;
  }
  if (w != "a" && w != "b")
    return false;
  slot = w[0];
  return true;
}

bool fail(std::string* why, const std::string& what) {
  if (why != nullptr)
    *why = what + ": " + std::strerror(errno);
  return false;
}

// A whole small file; nullopt when it cannot be read or exceeds `max`.
std::optional<std::string> readSmall(const std::string& path, size_t max, std::string* why) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    fail(why, "cannot read " + path);
    return std::nullopt;
  }
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0 && text.size() <= max)
    text.append(buf, static_cast<size_t>(n));
  int err = errno;
  close(fd);
  if (n < 0) {
    errno = err;
    fail(why, "cannot read " + path);
    return std::nullopt;
  }
  if (text.size() > max) {
    if (why != nullptr)
      *why = path + " is longer than " + std::to_string(max) + " bytes";
    return std::nullopt;
  }
  return text;
}

std::string oneLine(const std::string& text) {
  std::string out;
  for (char c : text.substr(0, MAX_REASON))
    out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
  // Single blanks only, none at the ends: the record's word rule.
  std::string squeezed;
  for (char c : out) {
    if (c == ' ' && (squeezed.empty() || squeezed.back() == ' '))
      continue;
    squeezed += c;
  }
  while (!squeezed.empty() && squeezed.back() == ' ')
    squeezed.pop_back();
  return squeezed;
}

}  // namespace

void SlotRecord::setValid(char slot, bool v) {
  if (slot == 'a' || slot == 'b')
    valid[slot - 'a'] = v;
}

void SlotRecord::accept() {
  if (trialSlot != 0)
    defaultSlot = trialSlot;
  trialSlot = 0;
  attempts = 0;
  outcome = OUTCOME_NONE;
  reason.clear();
}

void SlotRecord::rollBack(const std::string& why) {
  setValid(trialSlot, false);
  trialSlot = 0;
  attempts = 0;
  outcome = OUTCOME_ROLLED_BACK;
  reason = oneLine(why);
}

std::string formatRecord(const SlotRecord& r) {
  std::string valid;
  for (char s : {'a', 'b'}) {
    if (r.isValid(s))
      valid += std::string(valid.empty() ? "" : " ") + s;
  }
  std::string reason = oneLine(r.reason);
  return std::string(kHeader) + "\n" + "default " + r.defaultSlot + "\n" + "trial " +
         (r.trialSlot != 0 ? std::string(1, r.trialSlot) : std::string("-")) + "\n" + "attempts " +
         std::to_string(r.attempts) + "\n" + "commit-timer " + std::to_string(r.commitTimer) +
         "\n" + "valid " + (valid.empty() ? "-" : valid) + "\n" + "outcome " +
         std::to_string(r.outcome) + "\n" + "reason " + (reason.empty() ? "-" : reason) + "\n";
}

std::optional<SlotRecord> parseRecord(const std::string& text, std::string* why) {
  std::vector<std::vector<std::string>> l;
  if (text.size() > kMaxRecord || !linerec::split(text, l))
    return refuse(why, "the state record is not lines of single-blank-separated words");
  const char* keys[] = {"default", "trial",   "attempts", "commit-timer",
                        "valid",   "outcome", "reason"};
  if (l.size() != 8 || linerec::join(l[0]) != kHeader)
    return refuse(why, "the state record is not of this format (header or line count)");
  for (size_t i = 0; i < 7; ++i) {
    if (l[i + 1][0] != keys[i] || l[i + 1].size() < 2 || (i < 6 && i != 4 && l[i + 1].size() != 2))
      return refuse(why, std::string("state record line ") + std::to_string(i + 2) + " is not '" +
                             keys[i] + " VALUE'");
  }
  SlotRecord r;
  uint64_t attempts = 0, timer = 0, outcome = 0;
  if (!slotWord(l[1][1], false, r.defaultSlot) || !slotWord(l[2][1], true, r.trialSlot) ||
      r.trialSlot == r.defaultSlot)
    return refuse(why, "the state record's slots are not a/b (trial '-' or the other one)");
  if (!linerec::number(l[3][1], 10, BOOT_ATTEMPTS, attempts) ||
      !linerec::number(l[4][1], 10, 0xffffffffu, timer) ||
      !linerec::number(l[6][1], 10, OUTCOME_ROLLED_BACK, outcome))
    return refuse(why, "the state record's attempts, commit timer or outcome is out of range");
  r.attempts = static_cast<unsigned>(attempts);
  r.commitTimer = static_cast<unsigned>(timer);
  r.outcome = static_cast<unsigned>(outcome);
  const std::vector<std::string>& v = l[5];
  if (v.size() == 2 && v[1] == "-") {
    // no valid slot
  } else {
    for (size_t i = 1; i < v.size(); ++i) {
      char s = 0;
      if (v.size() > 3 || !slotWord(v[i], false, s) || r.isValid(s))
        return refuse(why, "the state record's valid slots are not 'a', 'b', 'a b' or '-'");
      r.setValid(s, true);
    }
  }
  std::string reason = linerec::join(l[7], 1);
  if (reason.size() > MAX_REASON)
    return refuse(why, "the state record's reason is too long");
  r.reason = reason == "-" ? "" : reason;
  return r;
}

BootChoice chooseBoot(const std::optional<SlotRecord>& record, const bool hasMain[2]) {
  BootChoice c;
  auto bootable = [&](char s) { return s != 0 && hasMain[s - 'a']; };
  if (!record) {
    char s = bootable('a') ? 'a' : bootable('b') ? 'b' : '\0';
    if (s == 0) {
      c.message = "no state record and no slot holds a load";
      return c;
    }
    c.slot = s;
    c.rewrite = true;
    c.record.defaultSlot = s;
    c.record.setValid(s, true);
    c.message = std::string("no valid state record: booting slot ") + s + " as the default";
    return c;
  }
  c.record = *record;
  SlotRecord& r = c.record;
  if (r.trialSlot != 0) {
    char t = r.trialSlot;
    if (r.attempts > 0 && bootable(t) && r.isValid(t)) {
      --r.attempts;
      c.slot = t;
      c.trial = true;
      c.rewrite = true;
      c.message = std::string("booting slot ") + t + " on trial (" + std::to_string(r.attempts) +
                  " more boots before a rollback)";
      return c;
    }
    r.rollBack(std::string("the trial load in slot ") + t + " did not come up in " +
               std::to_string(BOOT_ATTEMPTS) + " boots; rolled back to slot " + r.defaultSlot);
    c.rewrite = true;
    c.message = "rolling back: " + r.reason;
  }
  char d = r.defaultSlot;
  if (bootable(d) && r.isValid(d)) {
    c.slot = d;
    if (c.message.empty())
      c.message = std::string("booting slot ") + d;
    return c;
  }
  char o = otherSlot(d);
  if (bootable(o) && r.isValid(o)) {
    r.defaultSlot = o;
    c.slot = o;
    c.rewrite = true;
    c.message = std::string("the default slot ") + d + " holds no valid load: booting slot " + o;
    return c;
  }
  c.message = "no slot holds a valid load to boot";
  return c;
}

std::optional<SlotRecord> SlotStore::read(std::string* why) const {
  std::optional<std::string> text = readSmall(m_root + "/" + STATE_NAME, kMaxRecord, why);
  if (!text)
    return std::nullopt;
  return parseRecord(*text, why);
}

bool SlotStore::write(const SlotRecord& r, std::string* why) const {
  std::string path = m_root + "/" + STATE_NAME;
  std::string tmp = path + ".new";
  std::string text = formatRecord(r);
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0)
    return fail(why, "cannot create " + tmp);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      int err = errno;
      close(fd);
      unlink(tmp.c_str());
      errno = err;
      return fail(why, "cannot write " + tmp);
    }
    done += static_cast<size_t>(n);
  }
  if (fsync(fd) < 0) {
    int err = errno;
    close(fd);
    unlink(tmp.c_str());
    errno = err;
    return fail(why, "cannot sync " + tmp);
  }
  close(fd);
  if (rename(tmp.c_str(), path.c_str()) < 0) {
    int err = errno;
    unlink(tmp.c_str());
    errno = err;
    return fail(why, "cannot replace " + path);
  }
  int dir = open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0 || fsync(dir) < 0) {
    int err = errno;
    if (dir >= 0)
      close(dir);
    errno = err;
    return fail(why, "cannot sync the folder " + m_root);
  }
  close(dir);
  return true;
}

std::optional<Manifest> SlotStore::manifest(char slot, std::string* why) const {
  std::optional<std::string> text =
      readSmall(slotDir(slot) + "/" + MANIFEST_NAME, MAX_MANIFEST, why);
  if (!text)
    return std::nullopt;
  return parseManifest(*text, why);
}

bool SlotStore::hasMain(char slot) const {
  struct stat st;
  std::string path = slotDir(slot) + "/" + MAIN_NAME;
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

char SlotStore::runningSlot() const {
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0)
    return 0;
  std::string self(exe, static_cast<size_t>(n));
  std::string dir = self.substr(0, self.rfind('/'));
  char* real = realpath(m_root.c_str(), nullptr);
  if (real == nullptr)
    return 0;
  std::string root = real;
  std::free(real);
  for (char s : {'a', 'b'}) {
    if (dir == root + "/" + s)
      return s;
  }
  return 0;
}

}  // namespace load
