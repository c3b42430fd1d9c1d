// The card's two load slots on its flash (ROOT/a, ROOT/b, ROOT being
// /flash/load) and the one small record that says which to boot:
//
//   fxs-load-state 1
//   default a          the slot booted when no trial is pending
//   trial b            the slot on trial, or "-"
//   attempts 2         boots of the trial left
//   commit-timer 600   seconds the trial has to be accepted in
//   valid a b          slots holding a complete, verified load ("-": none)
//   outcome 1          0 none, 1 the last trial was rolled back
//   reason TEXT        why ("-": none)
//
// The record is replaced whole (new file, fsync, rename, fsync of the
// folder), so a power cut leaves the old or the new one. The running slot's
// files are never written; only a download writes a slot, the other one.
#pragma once

#include <optional>
#include <string>

#include "load/Manifest.h"

namespace load {

constexpr const char* DEFAULT_ROOT = "/flash/load";
constexpr const char* STATE_NAME = "state";
// Boots a trial gets before it is rolled back.
constexpr unsigned BOOT_ATTEMPTS = 3;
constexpr size_t MAX_REASON = 200;

enum Outcome : unsigned { OUTCOME_NONE = 0, OUTCOME_ROLLED_BACK = 1 };

struct SlotRecord {
  char defaultSlot = 'a';
  char trialSlot = 0;  // 0: none
  unsigned attempts = 0;
  unsigned commitTimer = 0;
  bool valid[2] = {false, false};
  unsigned outcome = OUTCOME_NONE;
  std::string reason;

  bool isValid(char slot) const { return slot == 'a' || slot == 'b' ? valid[slot - 'a'] : false; }
  void setValid(char slot, bool v);
  // The trial becomes the default; the outcome is cleared.
  void accept();
  // The trial slot is given up (invalid) and the default booted again.
  void rollBack(const std::string& why);
};

inline char otherSlot(char slot) {
  return slot == 'a' ? 'b' : 'a';
}

std::string formatRecord(const SlotRecord& r);
std::optional<SlotRecord> parseRecord(const std::string& text, std::string* why = nullptr);

// What the slot chooser does at a start: the slot to boot ('\0': none can
// boot), whether the record changes (a trial boot counted, or a rollback),
// and the line that says so.
struct BootChoice {
  char slot = 0;
  bool trial = false;
  bool rewrite = false;
  SlotRecord record;
  std::string message;
};
// `record` is nullopt when there is none or it does not check out;
// `hasMain` tells which slots hold a program to boot.
BootChoice chooseBoot(const std::optional<SlotRecord>& record, const bool hasMain[2]);

// The record and the slots below one root folder.
class SlotStore {
 public:
  explicit SlotStore(std::string root = DEFAULT_ROOT) : m_root(std::move(root)) {}

  const std::string& root() const { return m_root; }
  std::string slotDir(char slot) const { return m_root + "/" + slot; }
  std::optional<SlotRecord> read(std::string* why = nullptr) const;
  bool write(const SlotRecord& r, std::string* why = nullptr) const;
  std::optional<Manifest> manifest(char slot, std::string* why = nullptr) const;
  bool hasMain(char slot) const;
  // The slot whose folder holds this process's program; '\0' when it runs
  // from elsewhere (a build tree).
  char runningSlot() const;

 private:
  std::string m_root;
};

}  // namespace load
