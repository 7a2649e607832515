// SPDX-License-Identifier: GPL-3.0-or-later
// What the operator is told of each record stored: the notice's texts, the
// new-mail hook's verdicts and status lines, and what a record leads to.
#include <gtest/gtest.h>

#include "form1_harness.h"
#include "records/desktop_notice.h"
#include "records/new_mail_hook.h"
#include "state/caller_text.h"

namespace ondrix {
namespace {

StoredRecord stored(RecordKind kind, Text caller, Text text) {
  return {kind, {}, std::move(caller), std::move(text), {}, {}};
}

TEST(RecordAnnounce, NoticeOfEachRecord) {
  const Text mail = u"TAVIXメールが届きました";
  const std::tuple<StoredRecord, Text, Text> rows[] = {
      {stored(RecordKind::Mail, u"0123456789*12", u"こんにちは\r\n二行目"), mail,
       u"差出人：0123456789*12\nこんにちは"},
      {stored(RecordKind::Voice, u"5", u"HI"), u"音声メッセージが届きました", u"差出人：5\nHI"},
      {stored(RecordKind::Mail, u"", u"\r\nafter"), mail, u"差出人：番号通知なし"},
      {stored(RecordKind::Mail, u"<5>", u"a&b"), mail, u"差出人：&lt;5&gt;\na&amp;b"},
      {stored(RecordKind::Mail, u"5", Text(100, u'あ')), mail,
       u"差出人：5\n" + Text(79, u'あ') + u"…"},
      {stored(RecordKind::Mail, u"5", Text(78, u'a') + u"😀b"), mail,
       u"差出人：5\n" + Text(78, u'a') + u"…"},
  };
  for (const auto& [record, summary, body] : rows) {
    EXPECT_EQ(desktopNotice(record).summary, summary) << toUtf8(record.text);
    EXPECT_EQ(desktopNotice(record).body, body) << toUtf8(record.text);
  }
}

HookFileFacts facts(std::uint32_t mode, std::uint32_t folderMode = 0700, bool ours = true,
                    bool folderOurs = true) {
  return {true, true, mode, ours, folderMode, folderOurs};
}

TEST(RecordAnnounce, WhichHooksRun) {
  const Text writable = u"new-mail を実行しません（ほかのユーザーが書き換えられます）";
  const Text notOurs = u"new-mail を実行しません（所有者がサーバーのユーザーではありません）";
  const std::tuple<HookFileFacts, HookVerdict, Text> rows[] = {
      {HookFileFacts{}, HookVerdict::Absent, u""},
      {facts(0700), HookVerdict::Run, u""},
      {facts(04755, 01755), HookVerdict::Run, u""},
      {facts(0775), HookVerdict::OthersMayWrite, writable},
      {facts(0700, 0770), HookVerdict::OthersMayWrite, writable},
      {facts(0700, 0700, false), HookVerdict::NotOurs, notOurs},
      {facts(0777, 0700, true, false), HookVerdict::NotOurs, notOurs},
  };
  for (const auto& [hook, verdict, line] : rows) {
    EXPECT_EQ(hookVerdict(hook), verdict) << std::oct << hook.mode << " " << hook.folderMode;
    EXPECT_EQ(hookRefusalLine(hookVerdict(hook)), line);
  }
}

TEST(RecordAnnounce, StatusLineOfAHookRun) {
  using How = HookEnd::How;
  const std::pair<HookEnd, Text> rows[] = {
      {{How::Exited, 0, u"warning only\n"}, u""},
      {{How::Exited, 75, u"first\nsendmail: cannot connect\n\n  \r\n"},
       u"new-mail が終了コード 75 で終わりました：sendmail: cannot connect"},
      {{How::Crashed, 9, u" tab\there\x1b[0m "}, u"new-mail が異常終了しました：tab here [0m"},
      {{How::TimedOut, 9, Text(200, u'e')},
       u"new-mail が時間内に終わらないため止めました：" + Text(119, u'e') + u"…"},
      {{How::NotStarted, 0, u""}, u"new-mail を起動できません"},
  };
  for (const auto& [end, line] : rows) EXPECT_EQ(hookEndLine(end), line) << toUtf8(end.errorTail);
}

// One caller for the archive, the notice, the hook and the journal: no
// number is one word, a subaddress alone names nobody, and nothing begins
// with "-".
TEST(RecordAnnounce, CallerAsEveryoneWritesIt) {
  const std::tuple<Text, Text, Text> live[] = {
      {u"0123456789", u"12", u"0123456789*12"},
      {u"0123456789", u"-", u"0123456789"},
      {u"-", u"12", u""},
      {u"", u"12", u""},
      {u"-5", u"", u"5"},
      {u"--", u"", u""},
  };
  for (const auto& [number, sub, caller] : live) {
    EXPECT_EQ(callerText(number, sub), caller) << toUtf8(number) << "/" << toUtf8(sub);
    EXPECT_EQ(callerOfStored(sub.empty() || !isReported(sub) ? number : number + u"*" + sub),
              caller);
  }
  EXPECT_EQ(callerOrNone(callerOfStored(u"*12")), u"番号通知なし");
  EXPECT_EQ(hookArguments(RecordKind::Mail, callerOfStored(u"--rf"), u"/m"),
            (std::vector<Text>{u"/m", u"mail", u"rf"}));
}

// The notice always; the hook beside the store only with an archived
// message and only when it may run, one at a time, its message also on
// its standard input; what it says during a call follows the call's end.
TEST(RecordAnnounce, WhatARecordLeadsTo) {
  const Text refused = u"new-mail を実行しません（ほかのユーザーが書き換えられます）\r\n";
  const Text failed = u"new-mail が終了コード 3 で終わりました：no\r\n";
  const Text notArchived = u"メールの保管庫（Maildir）に書き込めません\r\n";
  enum { Idle, StoreMoved, InACall, Refusing, RefusingInACall };
  const std::tuple<HookFileFacts, int, Text> rows[] = {
      {facts(0700), Idle, u"x\r\n" + failed},
      {facts(0700), StoreMoved, u"x\r\n" + failed},
      {facts(0700), InACall, u"x\r\n" + failed},
      {HookFileFacts{}, Idle, u"x"},
      {facts(0700), Refusing, u"x\r\n" + notArchived},
      {facts(0700), RefusingInACall, u"x\r\n" + notArchived},
      {facts(0777), Idle, u"x\r\n" + refused},
      {facts(0777), InACall, u"x\r\n" + refused},
  };
  for (const auto& [hook, when, box] : rows) {
    Harness<> h;
    if (when == StoreMoved) {
      h.fakes.files.setReadOnly(h.fakes.files.programDirectory());
      h.fakes.files.setFallbackDirectory(u"/home/op");
    }
    h.form.Form_Load();
    h.fakes.fileRecords();
    const bool inACall = when == InACall || when == RefusingInACall;
    h.fakes.archive.refusing = when == Refusing || when == RefusingInACall;
    h.openLine();
    const Text file = (when == StoreMoved ? u"/home/op" : h.form.AppDir) + u"\\new-mail";
    h.fakes.hooks.files[file] = hook;
    h.form.currentCall.open = inACall;
    for (const Text text : {u"HI", u"HO"}) {
      h.form.addMailRecord(text, {}, {});
      h.form.recordStored(RecordKind::Voice);
    }
    h.form.Text3.text = u"x";
    for (int i = 0; i < 2; ++i) h.fakes.recordsTimer.fire();
    EXPECT_EQ(h.fakes.notifier.notices.size(), 2u);
    // One at a time: the second waits for the first's end.
    EXPECT_EQ(h.fakes.hooks.runs.size(),
              hookVerdict(hook) == HookVerdict::Run && !h.fakes.archive.refusing ? 1u : 0u);
    for (std::size_t i = 0; i < h.fakes.hooks.runs.size(); ++i) {
      const HookCall run = h.fakes.hooks.runs[i];
      EXPECT_EQ(run.program, file);
      EXPECT_EQ(run.arguments,
                (std::vector<Text>{h.fakes.archive.paths[i], u"voice", u"番号通知なし"}));
      EXPECT_EQ(run.workingDirectory, h.form.AppDir);
      EXPECT_EQ(run.standardInput, h.fakes.archive.paths[i]);
      h.fakes.hooks.finishRun({HookEnd::How::Exited, 3, u"no"});
    }
    // A call's end notice would replace the lines: they follow the notice.
    if (inACall) {
      EXPECT_EQ(h.form.Text3.text, u"x");
      h.form.callEnded();
    }
    EXPECT_EQ(h.form.Text3.text, box) << when;
  }
}

}  // namespace
}  // namespace ondrix
