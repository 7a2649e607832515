// SPDX-License-Identifier: GPL-3.0-or-later
// The call journal: the line a call leaves, and what the handlers tell it
// beyond the calls the benchmark and the end-to-end tests play.
#include "journal/call_journal.h"

#include <gtest/gtest.h>

#include "form1_harness.h"

namespace ondrix {
namespace {

using CK = CallKind;
using CF = CallFault;

CallRecord record(CK kind, Text caller, Text sub, bool answered, bool connected, int records,
                  CF fault = CF::None, bool closing = false) {
  CallRecord r{};
  r.kind = kind;
  r.began = {2026, 12, 7, 16, 10, 5, 9 * 3600};
  r.ended = {2026, 12, 7, 16, 10, 47, 9 * 3600};
  r.caller = std::move(caller);
  r.calledSub = std::move(sub);
  r.answered = answered;
  r.connected = connected;
  r.records = records;
  r.fault = fault;
  r.closing = closing;
  return r;
}

TEST(CallJournal, LineOfEachKindOfCall) {
  const std::string at = "2026-12-07T16:10:05+09:00\t";
  CallRecord midnight = record(CK::Other, u"5", u"", false, false, 0);
  midnight.began = {2026, 12, 31, 23, 59, 50, -5 * 3600};
  midnight.ended = {2027, 1, 1, 0, 0, 10, -5 * 3600};
  const std::pair<CallRecord, std::string> rows[] = {
      {record(CK::Terminal, u"0123456789*12", u"CONTENTSPP-X01", true, true, 1),
       at + "terminal\t0123456789*12\tCONTENTSPP-X01\tmail 1\t42\n"},
      {record(CK::Terminal, u"5", u"", true, true, 2), at + "terminal\t5\t-\tmail 1-2\t42\n"},
      {record(CK::Terminal, u"5", u"", true, true, 0, CF::None, true),
       at + "terminal\t5\t-\tno mail\t42\n"},
      {record(CK::Terminal, u"5", u"", true, false, 0), at + "terminal\t5\t-\tnot connected\t42\n"},
      {record(CK::Other, u"", u"", false, true, 0),
       at + "terminal\t番号通知なし\t-\tcarrier lost\t42\n"},
      {record(CK::Answer, u"5", u"", true, false, 0), at + "answer\t5\t-\tnot connected\t42\n"},
      {record(CK::Terminal, u"5", u"", true, true, 0, CF::DeviceLost),
       at + "terminal\t5\t-\tdevice lost\t42\n"},
      {record(CK::Voice, u"5", u"HI", true, true, 1, CF::HangupRestarted),
       at + "voice\t5\tHI\tvoice message 1; hang-up refused, modem restarted\t42\n"},
      {record(CK::Voice, u"5", u"A\tB\r\nC", true, true, 1),
       at + "voice\t5\tA B  C\tvoice message 1\t42\n"},
      {midnight, "2026-12-31T23:59:50-05:00\tother\t5\t-\tnot answered\t20\n"},
      {record(CK::Server, u"", u"", false, false, 0, CF::UncleanEnd),
       at + "server\t-\t-\trestarted after an unclean end\t42\n"},
      {record(CK::Server, u"", u"", false, false, 3),
       at + "server\t-\t-\tarchive caught up 3 records\t42\n"},
  };
  for (const auto& [call, line] : rows) EXPECT_EQ(toUtf8(callJournalLine(call)), line);
}

// The journal's lines with the time stamp cut off.
std::string journalWithoutTimes(Harness<>& h, const Text& dir) {
  const auto bytes = h.fakes.files.readBytes(dir + u"\\calls.log");
  std::string out;
  for (std::size_t from = 0; bytes && from < bytes->size();) {
    const std::string all(bytes->begin(), bytes->end());
    const std::size_t tab = all.find('\t', from);
    const std::size_t eol = all.find('\n', from);
    out += all.substr(tab + 1, eol - tab);
    from = eol + 1;
  }
  return out;
}

void ring(Harness<>& h, const Text& sub) {
  h.tick(u"RING\r\nCALLING-ID=0123456789/12\r\nCONNECTED-ID=987/" + sub + u"\r\n");
}

void ringOut(Harness<>& h, const Text& sub = u"-") {
  ring(h, sub);
  for (int i = 0; i < 40; ++i) h.tick();
}

void start(Harness<>& h) {
  h.form.Form_Load();
  h.openLine();
  h.form.LineState = LineStateCode::Idle;
}

// A ring repeated is one call; a dial; a ring the operator stopped.
TEST(CallJournal, CallsThroughTheHandlers) {
  Harness<> h;
  start(h);
  ring(h, u"CONTENTSPP-X02");
  ringOut(h, u"CONTENTSPP-X02");
  for (std::int16_t key : {0, 3}) h.form.NumBtn_Click(key);
  h.form.ConnBtn_Click();
  h.tick(u"\r\nNO CARRIER\r\n");
  ring(h, u"-");
  h.form.StopBtn_Click();
  EXPECT_EQ(journalWithoutTimes(h, h.form.AppDir),
            "other\t0123456789*12\tCONTENTSPP-X02\tnot answered\t0\n"
            "dial\t03\t-\tnot connected\t0\n"
            "other\t0123456789*12\t-\tserver stopped\t0\n");
}

// A journal that cannot be written (a directory in its place) is said once
// and stops nothing; where the store goes then, it follows; past 1 MiB it
// is renamed.
TEST(CallJournal, WhereTheLinesGo) {
  Harness<> h;
  start(h);
  h.fakes.files.addDirectory(h.form.AppDir + u"\\calls.log");
  ringOut(h);
  EXPECT_EQ(h.form.Text3.text,
            u"データ着信あり\r\n0123456789*12\r\n通話記録（calls.log）を書き込めません\r\n");
  h.tick(u"RING:VOICE\r\nCALLING-ID=5\r\nCONNECTED-ID=9/HI\r\nCONNECT\r\nNO CARRIER\r\n");
  EXPECT_EQ(h.form.MailStore.MailText[1], u"HI");
  EXPECT_EQ(h.form.Text3.text, u"通話終了\r\nAメールプラスあり\r\n");

  const Text elsewhere = u"/home/op/data";
  h.fakes.files.setFallbackDirectory(elsewhere);
  const auto nearlyFull = static_cast<std::size_t>(kJournalRotateBytes) - 10;
  ASSERT_TRUE(h.fakes.files.appendBytes(elsewhere + u"\\calls.log", Bytes(nearlyFull, 'x')));
  ringOut(h);
  EXPECT_GT(h.fakes.files.readBytes(elsewhere + u"\\calls.log.1").value_or(Bytes()).size(),
            nearlyFull);
  EXPECT_FALSE(h.fakes.files.exists(elsewhere + u"\\calls.log"));
}

}  // namespace
}  // namespace ondrix
