// SPDX-License-Identifier: GPL-3.0-or-later
// What the operator is told of each record stored: the notice's texts, the
// new-mail hook's verdicts and status lines, and the calls they lead to.
#include <gtest/gtest.h>

#include "form1_harness.h"
#include "modem/desktop_notice.h"
#include "modem/new_mail_hook.h"

namespace ondrix {
namespace {

StoredRecord stored(RecordKind kind, Text caller, Text text) {
  StoredRecord r;
  r.kind = kind;
  r.caller = std::move(caller);
  r.text = std::move(text);
  return r;
}

TEST(RecordAnnounce, NoticeOfEachRecord) {
  const Text longLine(100, u'あ');
  const Text pairAtCut = Text(78, u'a') + u"😀b";
  const struct {
    StoredRecord record;
    Text summary;
    Text body;
  } rows[] = {
      {stored(RecordKind::Mail, u"0123456789*12", u"こんにちは\r\n二行目"),
       u"TAVIXメールが届きました", u"差出人：0123456789*12\nこんにちは"},
      {stored(RecordKind::Voice, u"5", u"HI"), u"音声メッセージが届きました", u"差出人：5\nHI"},
      {stored(RecordKind::Mail, u"", u""), u"TAVIXメールが届きました", u"差出人：番号通知なし"},
      {stored(RecordKind::Mail, u"5", u"\r\nafter"), u"TAVIXメールが届きました", u"差出人：5"},
      {stored(RecordKind::Mail, u"<5>", u"a&b <i>x</i>"), u"TAVIXメールが届きました",
       u"差出人：&lt;5&gt;\na&amp;b &lt;i&gt;x&lt;/i&gt;"},
      {stored(RecordKind::Mail, u"5", longLine), u"TAVIXメールが届きました",
       u"差出人：5\n" + Text(79, u'あ') + u"…"},
      {stored(RecordKind::Mail, u"5", pairAtCut), u"TAVIXメールが届きました",
       u"差出人：5\n" + Text(78, u'a') + u"…"},
  };
  for (const auto& row : rows) {
    const DesktopNotice notice = desktopNotice(row.record);
    EXPECT_EQ(notice.summary, row.summary) << toUtf8(row.record.text);
    EXPECT_EQ(notice.body, row.body) << toUtf8(row.record.text);
  }
}

HookFileFacts facts(std::uint32_t mode, std::uint32_t folderMode = 0700, bool ours = true,
                    bool folderOurs = true, bool executable = true) {
  return {true, executable, mode, ours, folderMode, folderOurs};
}

TEST(RecordAnnounce, WhichHooksRun) {
  const Text writable = u"new-mail を実行しません（ほかのユーザーが書き換えられます）";
  const Text notOurs = u"new-mail を実行しません（所有者がサーバーのユーザーではありません）";
  const struct {
    HookFileFacts facts;
    HookVerdict verdict;
    Text line;
  } rows[] = {
      {HookFileFacts{}, HookVerdict::Absent, u""},
      {facts(0644, 0700, true, true, false), HookVerdict::Absent, u""},
      {facts(0700), HookVerdict::Run, u""},
      {facts(0755, 0755), HookVerdict::Run, u""},
      {facts(04755, 01755), HookVerdict::Run, u""},
      {facts(0775), HookVerdict::OthersMayWrite, writable},
      {facts(0757), HookVerdict::OthersMayWrite, writable},
      {facts(0700, 0770), HookVerdict::OthersMayWrite, writable},
      {facts(0700, 01777), HookVerdict::OthersMayWrite, writable},
      {facts(0700, 0700, false), HookVerdict::NotOurs, notOurs},
      {facts(0777, 0700, true, false), HookVerdict::NotOurs, notOurs},
  };
  for (const auto& row : rows) {
    const HookVerdict verdict = hookVerdict(row.facts);
    EXPECT_EQ(verdict, row.verdict) << std::oct << row.facts.mode << " " << row.facts.folderMode;
    EXPECT_EQ(hookRefusalLine(verdict), row.line);
  }
}

TEST(RecordAnnounce, StatusLineOfAHookRun) {
  using How = HookEnd::How;
  const Text longError(200, u'e');
  const std::pair<HookEnd, Text> rows[] = {
      {{How::Exited, 0, u"warning only\n"}, u""},
      {{How::Exited, 1, u""}, u"new-mail が終了コード 1 で終わりました"},
      {{How::Exited, 75, u"first\nsendmail: cannot connect\n\n  \r\n"},
       u"new-mail が終了コード 75 で終わりました：sendmail: cannot connect"},
      {{How::Exited, 2, u"  tab\there\x1b[0m  "},
       u"new-mail が終了コード 2 で終わりました：tab here [0m"},
      {{How::Crashed, 9, u"half a line"}, u"new-mail が異常終了しました：half a line"},
      {{How::TimedOut, 9, u"waiting\n"}, u"new-mail が時間内に終わらないため止めました：waiting"},
      {{How::TimedOut, 9, longError},
       u"new-mail が時間内に終わらないため止めました：" + Text(119, u'e') + u"…"},
      {{How::NotStarted, 0, u""}, u"new-mail を起動できません"},
  };
  for (const auto& [end, line] : rows) EXPECT_EQ(hookEndLine(end), line) << toUtf8(end.errorTail);
}

// A record told through the form: the notice always, the hook beside the
// store only with an archived message and only when it may run.
TEST(RecordAnnounce, WhatARecordLeadsTo) {
  const Text message = u"/opt/ondrix/Maildir/new/1.M1P2.host";
  const Text fallback = u"/home/op/data";
  const struct {
    const char* name;
    Text messagePath;
    HookFileFacts hook;
    bool storeMoved;
    std::size_t runs;
    Text statusEnd;
  } rows[] = {
      {"runs", message, facts(0700), false, 1, u"TAVIX"},
      {"no hook", message, HookFileFacts{}, false, 0, u"TAVIX"},
      {"no message", u"", facts(0700), false, 0, u"TAVIX"},
      {"refused", message, facts(0777), false, 0,
       u"new-mail を実行しません（ほかのユーザーが書き換えられます）\r\n"},
      {"beside the moved store", message, facts(0700), true, 1, u"TAVIX"},
  };
  for (const auto& row : rows) {
    Harness<> h;
    FakeNotifier notifier;
    FakeHookRunner hooks;
    h.form.notifier = &notifier;
    h.form.hookRunner = &hooks;
    h.fakes.files.setFallbackDirectory(fallback);
    if (row.storeMoved) h.form.storeNotice = u"メールの保存先：" + fallback;
    const Text hook = (row.storeMoved ? fallback : h.form.AppDir) + u"\\new-mail";
    hooks.files[hook] = row.hook;
    h.form.Text3.text = u"TAVIX";
    h.form.announceRecord(stored(RecordKind::Voice, u"", u"HI"), row.messagePath);
    EXPECT_EQ(notifier.notices.size(), 1u) << row.name;
    ASSERT_EQ(hooks.runs.size(), row.runs) << row.name;
    if (row.runs) {
      EXPECT_EQ(hooks.runs[0].program, hook);
      EXPECT_EQ(hooks.runs[0].arguments, (std::vector<Text>{message, u"voice", u"-"}));
      EXPECT_EQ(hooks.runs[0].workingDirectory, h.form.AppDir);
    }
    EXPECT_TRUE(h.form.Text3.text.ends_with(row.statusEnd)) << row.name;
  }
}

// A call's record reaches the notifier, and a hook's end reaches the box
// once, however often it repeats.
TEST(RecordAnnounce, ThroughACallAndTheRunnersReport) {
  Harness<> h;
  FakeNotifier notifier;
  FakeHookRunner hooks;
  h.form.notifier = &notifier;
  h.form.hookRunner = &hooks;
  hooks.setOnEnded([&](const HookEnd& end) { h.form.hookEnded(end); });
  h.form.Form_Load();
  h.openLine();
  h.form.LineState = LineStateCode::Idle;
  h.tick(u"RING:VOICE\r\nCALLING-ID=5\r\nCONNECTED-ID=9/HI\r\nCONNECT\r\nNO CARRIER\r\n");
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_EQ(notifier.notices[0].body, u"差出人：5\nHI");
  hooks.finishRun({HookEnd::How::Exited, 0, u""});
  EXPECT_EQ(h.form.Text3.text, u"通話終了\r\nAメールプラスあり\r\n");
  hooks.finishRun({HookEnd::How::Exited, 3, u"no\n"});
  hooks.finishRun({HookEnd::How::Exited, 3, u"no\n"});
  EXPECT_EQ(h.form.Text3.text,
            u"通話終了\r\nAメールプラスあり\r\nnew-mail が終了コード 3 で終わりました：no\r\n");
}

}  // namespace
}  // namespace ondrix
