// SPDX-License-Identifier: GPL-3.0-or-later
// The archive through the core: a refusing archive is told once and caught
// up, what a start files by the ledger and the Maildir, and the year of a
// store time stamp.
#include <gtest/gtest.h>

#include "form1_harness.h"
#include "records/archive_ledger.h"
#include "state/status_texts.h"
#include "store/archive_message.h"

namespace ondrix {
namespace {

// Refused records wait and are filed in order once the archive takes them
// again, each once, equal records as two; the refusal is told once until it
// takes one again.
TEST(Archive, ARefusingArchiveIsToldOnceUntilItTakesOneAgain) {
  Harness<> x;
  FakeArchive& archive = x.fakes.archive;
  x.form.Form_Load();
  x.fakes.fileRecords();
  // Refused or not, record by record; whether the status box says so after it.
  const bool refused[] = {false, true, true, false, true};
  const bool told[] = {false, true, false, false, true};
  for (std::size_t i = 0; i < std::size(refused); ++i) {
    archive.refusing = refused[i];
    x.form.StoreReceivedMail(u"hello", {}, {});
    x.form.recordStored(RecordKind::Mail);
    x.fakes.recordsTimer.fire();
    EXPECT_EQ(x.form.Text3.text.find(status::kArchiveNotWritten) != Text::npos, told[i]) << i;
  }
  EXPECT_GT(x.fakes.recordsTimer.interval(), RecordRoad::kSliceMs);
  archive.refusing = false;
  x.fakes.fileRecords();
  ASSERT_EQ(archive.paths.size(), std::size(refused));
  const StoreIds ids = storeIds(x.form.MailStore);
  for (std::size_t i = 0; i < std::size(refused); ++i) {
    EXPECT_EQ(idOfMessage(archive.paths[i]), ids[std::size(refused) - i]) << i;
  }
  EXPECT_EQ(x.fakes.recordsTimer.interval(), 0);
}

// The store's records against the ledger and the Maildir at a start: what
// is filed (and forwarded), what is forwarded only, what is left alone.
TEST(Archive, CatchUpAtTheStart) {
  // Three records, oldest first: what the ledger says of each ('-': nothing)
  // and whether the Maildir shows it.
  struct Row {
    const char* name;
    const char* ledgerHead;  // nullptr: no ledger
    const char* states;
    const char* shown;  // 'y': a message with its identity; 'o': one of an earlier version
    bool maildir;
    std::size_t filed, forwarded;
    bool rebuilt;
    bool hookGone = false;  // no new-mail any more
  };
  const char* sound = "ondrix archive ledger 1\n";
  const Row rows[] = {
      {"first start: imported, never forwarded", nullptr, "---", "nnn", false, 3, 0, false},
      {"archive of an earlier version", nullptr, "---", "ooo", true, 0, 0, false},
      {"killed before filing", sound, "DD-", "yyn", true, 1, 1, false},
      {"killed before the ledger's line", sound, "DD-", "yyy", true, 0, 1, false},
      {"hook cut off", sound, "DAA", "yyy", true, 0, 2, false},
      {"hook owed, message deleted", sound, "DDA", "yyn", true, 0, 0, false},
      {"hook owed, hook removed since", sound, "DAA", "yyy", true, 0, 0, false, true},
      {"deleted by the operator", sound, "DDD", "nnn", true, 0, 0, false},
      {"import cut short", sound, "DNN", "ynn", true, 2, 0, false},
      {"ledger of a newer version", "ondrix archive ledger 2\n", "DDD", "ynn", true, 2, 2, true},
      {"empty ledger", "", "---", "yyn", true, 1, 1, true},
      {"torn first line", "ondrix arch", "---", "ynn", true, 2, 2, true},
      {"torn last line", sound, "DDt", "yyy", true, 0, 1, false},
      {"garbled line", "ondrix archive ledger 1\nX ~~\n", "DDD", "yyy", true, 0, 0, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Harness<> x;
    FakeArchive& archive = x.fakes.archive;
    x.form.Form_Load();
    for (const Text text : {u"one", u"two", u"three"}) x.form.addMailRecord(text, {}, {});
    const StoreIds ids = storeIds(x.form.MailStore);
    const Text hook = x.form.AppDir + u"\\new-mail";
    if (!r.hookGone) x.fakes.hooks.files[hook] = {true, true, 0700, true, 0700, true};
    archive.made = r.maildir;
    std::string ledger = r.ledgerHead ? r.ledgerHead : "";
    for (int i = 0; i < 3; ++i) {
      const std::string& id = ids[static_cast<std::size_t>(3 - i)];
      if (r.states[i] == 't') ledger += "D " + id;  // cut short: no line end
      if (r.states[i] != '-' && r.states[i] != 't') ledger += r.states[i] + (" " + id + "\n");
      if (r.shown[i] == 'y')
        archive.paths.push_back(u"/m/cur/1.x,ondrix=" + fromUtf8(id) + u":2,S");
      if (r.shown[i] == 'o') archive.paths.push_back(u"/m/cur/1.x:2,S");
    }
    if (r.ledgerHead) archive.ledger = Bytes(ledger.begin(), ledger.end());
    // Loaded as a start finds it.
    x.fakes.road.storeLoaded(x.form.MailStore, x.form.AppDir);
    x.fakes.fileRecords();
    std::size_t forwarded = 0;
    for (; forwarded < x.fakes.hooks.runs.size(); ++forwarded) {
      EXPECT_EQ(idOfMessage(x.fakes.hooks.runs[forwarded].standardInput).empty(), false);
      x.fakes.hooks.finishRun({});
    }
    EXPECT_EQ(archive.messages.size(), r.filed);
    EXPECT_EQ(forwarded, r.forwarded);
    EXPECT_EQ(x.form.Text3.text.find(status::kArchiveLedgerRebuilt) != Text::npos, r.rebuilt);
    const Text caughtUp = u"保管庫に入っていなかった記録 " +
                          decimal(static_cast<std::int32_t>(r.filed)) + u" 件を保管しました";
    // Said for records a run stored and left out, not for an older store's import.
    EXPECT_EQ(x.form.Text3.text.find(caughtUp) != Text::npos, r.filed > 0 && r.forwarded > 0);
    // Never twice in the Maildir; every record done in the ledger.
    const LedgerRead after = readLedgerBytes(archive.ledger);
    EXPECT_EQ(after.health, LedgerRead::Health::Sound);
    for (int slot = 1; slot <= 3; ++slot) {
      const std::string& id = ids[static_cast<std::size_t>(slot)];
      std::size_t copies = 0;
      for (const Text& path : archive.paths) copies += idOfMessage(path) == id;
      EXPECT_LE(copies, 1u) << slot;
      EXPECT_EQ(after.filed.count(id) ? static_cast<char>(after.filed.at(id)) : '-', 'D') << slot;
    }
  }
}

TEST(Archive, StoredRecordTimeIsTheLatestYearNotInTheFuture) {
  const LocalTime now{2026, 12, 8, 3, 14, 30, -5 * 3600};
  const LocalTime newYear{2027, 1, 1, 0, 0, 0, 0}, leapDay{2024, 2, 28, 12, 0, 0, 0};
  const struct {
    const char* stamp;
    LocalTime now;
    int year;  // 0: no time
  } cases[] = {
      {"12/07 10:00", now, 2026},
      {"12/08 03:14", now, 2026},
      {"12/08 03:15", now, 2025},
      {"12/31 23:59", newYear, 2026},
      {"02/29 12:00", now, 2024},
      {"02/29 12:00", leapDay, 2020},
      {"02/30 00:00", now, 0},
      {"13/01 00:00", now, 0},
      {"1/02 03:04", now, 0},
      {"12/07 24:00", now, 0},
      {"", now, 0},
  };
  for (const auto& c : cases) {
    const auto t = storedRecordTime(fromUtf8(c.stamp), c.now);
    EXPECT_EQ(t ? t->year : 0, c.year) << c.stamp;
    EXPECT_EQ(t ? t->utcOffsetSeconds : 0, t ? c.now.utcOffsetSeconds : 0) << c.stamp;
  }
}

}  // namespace
}  // namespace ondrix
