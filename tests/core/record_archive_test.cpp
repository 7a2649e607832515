// SPDX-License-Identifier: GPL-3.0-or-later
// The archive through the core: a refusing archive is told once, and the
// year of a store time stamp.
#include <gtest/gtest.h>

#include "fake_archive.h"
#include "form1_harness.h"
#include "state/status_texts.h"
#include "store/archive_message.h"

namespace ondrix {
namespace {

TEST(Archive, ARefusingArchiveIsToldOnceUntilItTakesOneAgain) {
  Harness<> x;
  FakeArchive archive;
  x.form.archive = &archive;
  x.form.Form_Load();
  // Refused or not, record by record; whether the status box says so after it.
  const bool refused[] = {false, true, true, false, true};
  const bool told[] = {false, true, false, false, true};
  for (std::size_t i = 0; i < std::size(refused); ++i) {
    archive.refusing = refused[i];
    x.form.StoreReceivedMail(u"hello", {}, {});
    x.form.recordStored(RecordKind::Mail);
    x.form.archivePending();
    EXPECT_EQ(x.form.Text3.text.find(status::kArchiveNotWritten) != Text::npos, told[i]) << i;
  }
  EXPECT_EQ(x.form.MailStore.MailText[std::size(refused)], u"hello");
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
