// The loads' records: the manifest and the slot state record refuse
// anything but their exact format, the slot chooser's decisions, and the
// record's replacement on the flash.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "TestSupport.h"
#include "load/Manifest.h"
#include "load/SlotState.h"

namespace {

using namespace load;

const std::string kHash(64, 'a');
const std::string kManifest =
    "fxs-load-manifest 1\nversion v1.2-3-gabc\ncard-type 15\narch armhf\n"
    "built 2026-12-06T10:00:00Z\nfile main 0755 1843200 " +
    kHash + "\nfile ftpupload 0755 12 " + kHash + "\n";
const std::string kLastLine = "ftpupload 0755 12 " + kHash + "\n";
const std::string kLastUnended = "ftpupload 0755 12 " + kHash;
const std::string kRecord =
    "fxs-load-state 1\ndefault a\ntrial b\nattempts 2\ncommit-timer 60\nvalid a b\noutcome 0\n"
    "reason -\n";

// A text made from a good one by replacing `from` with `to`; parsing it
// must fail with `why` in the reason.
struct Mutation {
  const char* name;
  const char* from;
  const char* to;
  const char* why;
};

std::string mutate(std::string text, const Mutation& m) {
  size_t at = text.find(m.from);
  EXPECT_NE(at, std::string::npos) << m.name;
  return text.replace(at, std::string(m.from).size(), m.to);
}

const Mutation kBadManifests[] = {
    {"other_header", "fxs-load-manifest 1", "fxs-load-manifest 2", "format"},
    {"no_final_newline", kLastLine.c_str(), kLastUnended.c_str(), "lines"},
    {"double_blank", "version v1", "version  v1", "lines"},
    {"control_character", "armhf", "arm\thf", "lines"},
    {"version_too_long", "v1.2-3-gabc", "v1234567890123456789012345678901", "too long"},
    {"fields_out_of_order", "card-type 15\narch armhf", "arch armhf\ncard-type 15", "line 3"},
    {"card_type_not_a_number", "card-type 15", "card-type 0x0f", "card type"},
    {"mode_of_3_digits", "main 0755", "main 755", "mode"},
    {"mode_not_octal", "main 0755", "main 0855", "mode"},
    {"size_above_the_limit", "1843200", "268435457", "size"},
    {"upper_case_hash", "main 0755 1843200 a", "main 0755 1843200 A", "SHA-256"},
    {"name_escaping", "file ftpupload", "file ../ftpupload", "plain name"},
    {"name_with_a_slash", "file ftpupload", "file bin/ftpupload", "plain name"},
    {"hidden_name", "file ftpupload", "file .ftpupload", "plain name"},
    {"listed_twice", "file ftpupload", "file main", "twice"},
    {"no_main", "file main", "file other", "no program 'main'"},
    {"extra_word", "arch armhf", "arch armhf x", "line 4"},
};

class BadManifest : public ::testing::TestWithParam<Mutation> {};

TEST_P(BadManifest, IsRefusedWithItsReason) {
  std::string why;
  EXPECT_FALSE(parseManifest(mutate(kManifest, GetParam()), &why));
  EXPECT_NE(why.find(GetParam().why), std::string::npos) << why;
}
INSTANTIATE_NAMED(Load, BadManifest, kBadManifests);

const Mutation kBadRecords[] = {
    {"other_header", "fxs-load-state 1", "fxs-load-state 0", "format"},
    {"trial_is_the_default", "trial b", "trial a", "slots"},
    {"slot_c", "default a", "default c", "slots"},
    {"attempts_above_the_boots", "attempts 2", "attempts 4", "range"},
    {"outcome_unknown", "outcome 0", "outcome 2", "range"},
    {"a_slot_twice_valid", "valid a b", "valid a a", "valid"},
    {"missing_line", "outcome 0\n", "", "format"},
    {"keys_swapped", "attempts 2\ncommit-timer 60", "commit-timer 60\nattempts 2", "line 4"},
};

class BadRecord : public ::testing::TestWithParam<Mutation> {};

TEST_P(BadRecord, IsRefusedWithItsReason) {
  std::string why;
  EXPECT_FALSE(parseRecord(mutate(kRecord, GetParam()), &why));
  EXPECT_NE(why.find(GetParam().why), std::string::npos) << why;
}
INSTANTIATE_NAMED(Load, BadRecord, kBadRecords);

TEST(LoadRecords, WellFormedTextsRoundTrip) {
  std::optional<Manifest> m = parseManifest(kManifest);
  ASSERT_TRUE(m);
  EXPECT_EQ(formatManifest(*m), kManifest);
  EXPECT_EQ(m->totalSize(), 1843212u);
  std::optional<SlotRecord> r = parseRecord(kRecord);
  ASSERT_TRUE(r);
  EXPECT_EQ(formatRecord(*r), kRecord);
  // A reason from outside keeps to one line of single blanks.
  r->rollBack("line one\n  line\ttwo ");
  std::optional<SlotRecord> back = parseRecord(formatRecord(*r));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->reason, "line one line two");
  EXPECT_FALSE(back->isValid('b'));
  EXPECT_EQ(back->trialSlot, 0);
}

struct BootCase {
  const char* name;
  const char* record;  // nullptr: none that checks out
  bool hasMain[2];
  char slot;
  bool rewrite;
  const char* after;  // the record written, lines that must be in it
  const char* message;
};

const BootCase kBoots[] = {
    {"first_start_factory_slot_a", nullptr, {true, true}, 'a', true, "default a\n", "no valid"},
    {"no_record_only_b_holds_a_load", nullptr, {false, true}, 'b', true, "valid b\n", "slot b"},
    {"nothing_to_boot", nullptr, {false, false}, 0, false, "", "no slot holds"},
    {"the_default", "default a\ntrial -\nattempts 0", {true, true}, 'a', false, "", "slot a"},
    {"a_trial_boot_is_counted",
     "default a\ntrial b\nattempts 3",
     {true, true},
     'b',
     true,
     "attempts 2\n",
     "on trial"},
    {"a_trial_out_of_boots_rolls_back",
     "default a\ntrial b\nattempts 0",
     {true, true},
     'a',
     true,
     "trial -\nattempts 0\ncommit-timer 60\nvalid a\noutcome 1\n",
     "did not come up in 3 boots"},
    {"a_trial_without_main_rolls_back",
     "default a\ntrial b\nattempts 2",
     {true, false},
     'a',
     true,
     "valid a\noutcome 1\n",
     "rolling back"},
    {"an_unusable_default_gives_way",
     "default b\ntrial -\nattempts 0",
     {true, false},
     'a',
     true,
     "default a\n",
     "holds no valid load"},
};

class ChooseBoot : public ::testing::TestWithParam<BootCase> {};

TEST_P(ChooseBoot, PicksTheSlotAndRecordsIt) {
  const BootCase& c = GetParam();
  std::optional<SlotRecord> in;
  if (c.record != nullptr) {
    in = parseRecord(std::string("fxs-load-state 1\n") + c.record +
                     "\ncommit-timer 60\nvalid a b\noutcome 0\nreason -\n");
    ASSERT_TRUE(in) << c.record;
  }
  BootChoice b = chooseBoot(in, c.hasMain);
  EXPECT_EQ(b.slot, c.slot);
  EXPECT_EQ(b.rewrite, c.rewrite);
  EXPECT_NE(formatRecord(b.record).find(c.after), std::string::npos) << formatRecord(b.record);
  EXPECT_NE(b.message.find(c.message), std::string::npos) << b.message;
}
INSTANTIATE_NAMED(Load, ChooseBoot, kBoots);

TEST(SlotStore, ReplacesTheRecordWholeAndReadsSlots) {
  const std::string root = "/tmp/slotstore";
  ::mkdir(root.c_str(), 0755);
  SlotStore store(root);
  std::string why;
  EXPECT_FALSE(store.read(&why));
  EXPECT_NE(why.find("cannot read"), std::string::npos) << why;
  // What a power cut during an earlier write left: never read.
  testsupport::writeFile(root + "/state.new", "fxs-load-state 1\ndefault");
  SlotRecord r = *parseRecord(kRecord);
  ASSERT_TRUE(store.write(r, &why)) << why;
  EXPECT_EQ(testsupport::readFile(root + "/state"), kRecord);
  EXPECT_FALSE(testsupport::exists(root + "/state.new"));
  ASSERT_TRUE(store.read());
  ::mkdir((root + "/b").c_str(), 0755);
  testsupport::writeFile(root + "/b/manifest", kManifest);
  EXPECT_EQ(store.manifest('b')->version, "v1.2-3-gabc");
  EXPECT_FALSE(store.manifest('a'));
  EXPECT_FALSE(store.hasMain('b'));
  EXPECT_EQ(store.runningSlot(), 0);  // the test runs from the build tree
  // A folder that is gone refuses the write and says where.
  SlotStore gone("/tmp/no-such-root");
  EXPECT_FALSE(gone.write(r, &why));
  EXPECT_NE(why.find("/tmp/no-such-root/state.new"), std::string::npos) << why;
}

}  // namespace
