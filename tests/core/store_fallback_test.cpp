// SPDX-License-Identifier: GPL-3.0-or-later
// The mail store when the program directory cannot be written: where the
// store goes, and what the operator reads when the call ends.
#include <gtest/gtest.h>

#include "form1_harness.h"

namespace ondrix {
namespace {

const Text kProgramDir = u"/opt/ondrix";
const Text kDataDir = u"/home/op/.local/share/Ondrix Server";

struct Case {
  const char* name;
  bool programDirWritable;
  Text fallback;  // empty: there is none
  bool fallbackWritable;
  Text notice;   // the line after the end-of-call notice, if any
  Text savedIn;  // the one directory whose "amp.dat" holds the mail, if any
};

bool holdsMail(FakeFiles& files, const Text& dir) {
  const auto store = files.readText(dir + u"\\amp.dat");
  return store && store->find(u"\"hello\"") != Text::npos;
}

// A data call stores a mail and the carrier drops.
void callWithAMail(Harness<>& x) {
  x.form.Form_Load();
  x.form.LineState = LineStateCode::OnlineData;
  x.form.addMailRecord(u"hello", {}, {});
  x.form.MailReceived = 1;
  x.form.LineEvent = LineEventCode::CarrierLost;
  x.form.HandleModemEvent();
}

TEST(StoreFallback, MailGoesWhereItCanAndTheOperatorIsTold) {
  const Case cases[] = {
      {"program directory writable", true, kDataDir, true, {}, kProgramDir},
      {"read-only: the data directory takes it", false, kDataDir, true,
       u"メールの保存先：" + kDataDir, kDataDir},
      {"read-only, no data directory", false, {}, true, u"メールを保存できません", {}},
      {"read-only, data directory too", false, kDataDir, false, u"メールを保存できません", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness<> x;
    FakeFiles& files = x.fakes.files;
    files.setProgramDirectory(kProgramDir);
    files.setFallbackDirectory(c.fallback);
    files.setReadOnly(kProgramDir, !c.programDirWritable);
    files.setReadOnly(kDataDir, !c.fallbackWritable);
    callWithAMail(x);
    x.form.recordStored(RecordKind::Mail);
    x.fakes.fileRecords();
    // The Maildir goes where the store went.
    EXPECT_EQ(x.fakes.archive.directories,
              std::vector<Text>{c.savedIn.empty() ? kProgramDir : c.savedIn});

    const Text ended = u"通信終了\r\nTAVIXメールあり\r\n";
    EXPECT_EQ(x.form.Text3.text, c.notice.empty() ? ended : ended + c.notice + u"\r\n");
    for (const Text& dir : {kProgramDir, kDataDir}) {
      EXPECT_EQ(holdsMail(files, dir), dir == c.savedIn) << toUtf8(dir);
    }
  }
}

// The mail kept in memory reaches the program directory at exit once it can
// be written again, and the next call ends without the notice.
TEST(StoreFallback, ExitWritesWhereTheStoreBelongsAgain) {
  Harness<> x;
  FakeFiles& files = x.fakes.files;
  files.setProgramDirectory(kProgramDir);
  files.setReadOnly(kProgramDir);
  callWithAMail(x);
  ASSERT_FALSE(holdsMail(files, kProgramDir));

  files.setReadOnly(kProgramDir, false);
  x.form.Form_Unload();
  EXPECT_TRUE(holdsMail(files, kProgramDir));
  EXPECT_EQ(x.form.storeDirectory, kProgramDir);
}

}  // namespace
}  // namespace ondrix
