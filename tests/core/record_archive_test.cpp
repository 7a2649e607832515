// SPDX-License-Identifier: GPL-3.0-or-later
// The archive through the core: when a record is delivered, where, what the
// operator reads when it cannot be, the older store archived once, and the
// pieces of the message a mail reader cannot check for us.
#include <gtest/gtest.h>

#include "atml_expect.h"
#include "call_player.h"
#include "fake_archive.h"
#include "state/status_texts.h"
#include "store/archive_message.h"
#include "store/base64.h"

namespace ondrix {
namespace {

using namespace expect;

std::string messageOf(const FakeArchive::Delivery& d) {
  return std::string(d.message.begin(), d.message.end());
}

std::size_t count(const Text& haystack, TextView needle) {
  std::size_t n = 0;
  for (auto at = haystack.find(needle); at != Text::npos; at = haystack.find(needle, at + 1)) ++n;
  return n;
}

class Archived : public ::testing::Test {
 protected:
  Harness<> h;
  Form1& f = h.form;
  FakeArchive archive;
  void SetUp() override {
    f.archive = &archive;
    f.Form_Load();
    h.openLine();
    f.LineState = LineStateCode::Idle;
  }
};

// The reply leaves in the tick that stores the record; the message follows
// in the next one.
TEST_F(Archived, EachRecordIsDeliveredOnceAtTheTickAfterItsReply) {
  playCall(h, {
                  {u"RING:VOICE\r\n", u""},
                  {u"CALLING-ID=0123456789/12\r\n", u""},
                  {u"CONNECTED-ID=987/HELLO 42\r\n", u"ata\r"},
                  {u"\r\nCONNECT\r\n", u"*"},
              });
  EXPECT_TRUE(archive.delivered.empty());
  h.tick();
  ASSERT_EQ(archive.delivered.size(), 1u);
  EXPECT_EQ(archive.delivered[0].directory, f.AppDir);
  const std::string voice = messageOf(archive.delivered[0]);
  EXPECT_NE(voice.find("\nX-Ondrix-Kind: voice\n"), std::string::npos) << voice;
  EXPECT_NE(voice.find("\nFrom: 0123456789*12 <0123456789*12@caller.invalid>\n"), std::string::npos)
      << voice;
  EXPECT_NE(voice.find("\nMessage-ID: <1765170000.M1P2Q1.host@ondrix.invalid>\n"),
            std::string::npos)
      << voice;

  f.LineState = LineStateCode::OnlineData;
  f.CallerStage = CallerStageCode::Unknown;
  playCall(h, {{u"<ATML><HEAD><CON=2><TTL=x></HEAD><BODY>mail</BODY></ATML>", kSendEnd}});
  EXPECT_EQ(archive.delivered.size(), 1u);
  h.tick();
  ASSERT_EQ(archive.delivered.size(), 2u);
  EXPECT_NE(messageOf(archive.delivered[1]).find("\nX-Ondrix-Kind: mail\n"), std::string::npos);
}

// A refused delivery says so once, until one succeeds again; the store is
// untouched by it.
TEST_F(Archived, ARefusingArchiveIsToldOnceUntilItWorksAgain) {
  const struct {
    const char* name;
    std::vector<bool> refusals;  // one record each
    std::vector<bool> told;      // whether the status box says so after it
  } cases[] = {
      {"works", {false, false}, {false, false}},
      {"refuses twice", {true, true}, {true, false}},
      {"refuses, works, refuses", {true, false, true}, {true, false, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness<> x;
    FakeArchive a;
    x.form.archive = &a;
    x.form.Form_Load();
    std::vector<bool> told;
    for (const bool refused : c.refusals) {
      a.refusing = refused;
      x.form.StoreReceivedMail(u"hello", {}, {});
      x.form.recordStored(RecordKind::Mail);
      x.form.archivePending();
      told.push_back(count(x.form.Text3.text, status::kArchiveNotWritten) == 1);
    }
    EXPECT_EQ(told, c.told);
    EXPECT_EQ(x.form.MailStore.MailText[c.refusals.size()], u"hello");
    EXPECT_TRUE(x.form.recordsToArchive.empty());
  }
}

// The window's close takes the records the last tick did not.
TEST_F(Archived, TheCloseDeliversWhatIsLeft) {
  f.addMailRecord(u"late", {}, {});
  f.recordStored(RecordKind::Mail);
  f.Form_Unload();
  EXPECT_EQ(archive.delivered.size(), 1u);
}

// The store of a first start goes into the new archive oldest first, dated
// by its time stamps; a Maildir that stands there already is only cleaned.
TEST(ArchiveImport, AnOlderStoreIsArchivedOnceOldestFirst) {
  for (const bool present : {false, true}) {
    SCOPED_TRACE(present ? "Maildir present" : "no Maildir");
    Harness<> x;
    FakeArchive a;
    a.present = present;
    x.fakes.clock.set({2026, 1, 2, 8, 0, 0, 9 * 3600});
    x.form.archive = &a;
    x.form.Form_Load();
    auto& store = x.form.MailStore;
    const Text times[] = {u"01/02 07:59", u"12/31 23:00", u"02/29 10:00"};
    for (int slot = 1; slot <= 3; ++slot) {
      store.MailTime[slot] = times[slot - 1];
      store.MailCaller[slot] = u"09" + decimal(slot);
      store.MailText[slot] = slot == 2 ? u"CALL ME 5PM" : u"テキスト " + decimal(slot);
    }
    store.MailMelody[3] = u"<MEL=C4>";
    x.form.startArchive();
    if (present) {
      EXPECT_TRUE(a.delivered.empty());
      EXPECT_EQ(a.cleaned, std::vector<Text>{x.form.AppDir});
      continue;
    }
    ASSERT_EQ(a.delivered.size(), 3u);
    const char* expected[][3] = {
        {"Date: Thu, 29 Feb 2024 10:00:00 +0900\n", "From: 093 ", "X-Ondrix-Kind: mail"},
        {"Date: Wed, 31 Dec 2025 23:00:00 +0900\n", "From: 092 ", "X-Ondrix-Kind: voice"},
        {"Date: Fri, 02 Jan 2026 07:59:00 +0900\n", "From: 091 ", "X-Ondrix-Kind: mail"},
    };
    for (std::size_t i = 0; i < 3; ++i) {
      const std::string m = messageOf(a.delivered[i]);
      for (const char* part : expected[i]) EXPECT_NE(m.find(part), std::string::npos) << m;
    }
  }
}

TEST(ArchiveMessage, StoredRecordTimeIsTheLatestYearNotInTheFuture) {
  const LocalTime now{2026, 12, 8, 3, 14, 30, -5 * 3600};
  const LocalTime newYear{2027, 1, 1, 0, 0, 0, 0};
  const LocalTime leapDay{2024, 2, 28, 12, 0, 0, 0};
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
    SCOPED_TRACE(c.stamp);
    const auto t = storedRecordTime(fromUtf8(c.stamp), c.now);
    ASSERT_EQ(t.has_value(), c.year != 0);
    if (!t) continue;
    EXPECT_EQ(t->year, c.year);
    EXPECT_EQ(t->utcOffsetSeconds, c.now.utcOffsetSeconds);
    const std::string stamp = c.stamp;
    EXPECT_EQ(t->month, std::stoi(stamp.substr(0, 2)));
    EXPECT_EQ(t->minute, std::stoi(stamp.substr(9, 2)));
  }
}

// The reader parses the date without its day name and offset sign checks.
TEST(ArchiveMessage, DateCarriesTheDayNameAndTheLocalOffset) {
  const struct {
    LocalTime t;
    const char* date;
  } cases[] = {
      {{2026, 12, 8, 3, 4, 5, 9 * 3600}, "Tue, 08 Dec 2026 03:04:05 +0900"},
      {{2024, 2, 29, 23, 59, 59, -(3 * 3600 + 1800)}, "Thu, 29 Feb 2024 23:59:59 -0330"},
      {{2000, 1, 1, 0, 0, 0, 5 * 3600 + 2700}, "Sat, 01 Jan 2000 00:00:00 +0545"},
      {{2100, 3, 1, 12, 0, 0, 0}, "Mon, 01 Mar 2100 12:00:00 +0000"},
  };
  for (const auto& c : cases) EXPECT_EQ(messageDate(c.t), c.date);
}

// Every line within 78 characters, every word whole characters.
TEST(ArchiveMessage, EncodedWordsFoldWithoutSplittingACharacter) {
  const Text subjects[] = {
      Text(200, u'a'),
      Text(90, u'ア'),
      u"ｱｲｳｴｵ漢字😀x😀😀ab😀" + Text(40, u'ﾝ') + u"😀",
  };
  for (const Text& subject : subjects) {
    for (const std::size_t used : {6u, 9u, 30u}) {
      const std::string utf8 = toUtf8(subject);
      const std::string folded = encodedWords(utf8, used);
      std::string joined;
      std::size_t column = used;
      for (std::size_t at = 0; at < folded.size();) {
        const std::size_t end = std::min(folded.find('\n', at), folded.size());
        EXPECT_LE(column + end - at, 78u) << folded;
        column = 0;
        std::string line = folded.substr(at, end - at);
        if (!line.empty() && line[0] == ' ') line.erase(0, 1);
        ASSERT_TRUE(line.starts_with("=?UTF-8?B?") && line.ends_with("?=")) << line;
        const Bytes word = decodeBase64Tolerant(fromUtf8(line.substr(10, line.size() - 12)));
        const std::string piece(word.begin(), word.end());
        EXPECT_EQ(toUtf8(fromUtf8(piece)), piece) << "a word splits a character";
        joined += piece;
        at = end + 1;
      }
      EXPECT_EQ(joined, utf8);
    }
  }
}

}  // namespace
}  // namespace ondrix
