// SPDX-License-Identifier: GPL-3.0-or-later
// The call journal: the line a call leaves, and the calls the handlers tell
// it about, from the ring (or the dial) to the line in calls.log.
#include "modem/call_journal.h"

#include <gtest/gtest.h>

#include <functional>

#include "form1_harness.h"

namespace ondrix {
namespace {

using CK = CallKind;
using CF = CallFault;

const LocalTime kBegan{2026, 12, 7, 16, 10, 5, 9 * 3600};
const LocalTime kEnded{2026, 12, 7, 16, 10, 47, 9 * 3600};

CallRecord record(CK kind, Text caller, Text sub, bool answered, bool connected, int records,
                  CF fault = CF::None, bool closing = false) {
  CallRecord r;
  r.kind = kind;
  r.began = kBegan;
  r.ended = kEnded;
  r.caller = std::move(caller);
  r.calledSub = std::move(sub);
  r.answered = answered;
  r.connected = connected;
  r.records = records;
  r.fault = fault;
  r.closing = closing;
  return r;
}

struct LineRow {
  const char* name;
  CallRecord call;
  std::string line;  // UTF-8
};

TEST(CallJournal, LineOfEachKindOfCall) {
  const std::string at = "2026-12-07T16:10:05+09:00\t";
  CallRecord midnight = record(CK::Other, u"5", u"", false, false, 0);
  midnight.began = {2026, 12, 31, 23, 59, 50, -5 * 3600};
  midnight.ended = {2027, 1, 1, 0, 0, 10, -5 * 3600};
  CallRecord clockBack = record(CK::Other, u"", u"", false, false, 0);
  clockBack.ended = {2026, 12, 7, 16, 0, 0, 9 * 3600};
  const LineRow rows[] = {
      {"mail", record(CK::Terminal, u"0123456789*12", u"CONTENTSPP-X01", true, true, 1),
       at + "terminal\t0123456789*12\tCONTENTSPP-X01\tmail 1\t42\n"},
      {"two mails", record(CK::Terminal, u"5", u"", true, true, 2),
       at + "terminal\t5\t-\tmail 1-2\t42\n"},
      {"voice message", record(CK::Voice, u"5", u"CALL ME", true, true, 1),
       at + "voice\t5\tCALL ME\tvoice message 1\t42\n"},
      {"pages only", record(CK::Terminal, u"5", u"", true, true, 0, CF::None, true),
       at + "terminal\t5\t-\tno mail\t42\n"},
      {"carrier lost", record(CK::Terminal, u"5", u"", true, true, 0),
       at + "terminal\t5\t-\tcarrier lost\t42\n"},
      {"answered, no CONNECT", record(CK::Terminal, u"5", u"", true, false, 0),
       at + "terminal\t5\t-\tnot connected\t42\n"},
      {"ring for another", record(CK::Other, u"", u"CONTENTSPP-X02", false, false, 0),
       at + "other\t-\tCONTENTSPP-X02\tnot answered\t42\n"},
      {"modem connected by itself", record(CK::Other, u"", u"", false, true, 0),
       at + "terminal\t-\t-\tcarrier lost\t42\n"},
      {"dial", record(CK::Dial, u"0312345678", u"", false, true, 0),
       at + "dial\t0312345678\t-\toperator call\t42\n"},
      {"operator's answer, never connected", record(CK::Answer, u"5", u"", true, false, 0),
       at + "answer\t5\t-\tnot connected\t42\n"},
      {"device lost on-line", record(CK::Terminal, u"5", u"", true, true, 0, CF::DeviceLost),
       at + "terminal\t5\t-\tdevice lost\t42\n"},
      {"mail, hang-up tried again",
       record(CK::Voice, u"5", u"HI", true, true, 1, CF::HangupRecovered),
       at + "voice\t5\tHI\tvoice message 1; hang-up refused, recovered\t42\n"},
      {"hang-up never confirmed",
       record(CK::Voice, u"5", u"HI", true, true, 1, CF::HangupRestarted),
       at + "voice\t5\tHI\tvoice message 1; hang-up refused, modem restarted\t42\n"},
      {"answered, never connected, hung up",
       record(CK::Terminal, u"5", u"", true, false, 0, CF::NoReply),
       at + "terminal\t5\t-\tnot connected; no reply from the modem, line reset\t42\n"},
      {"stopped while ringing", record(CK::Other, u"5", u"", false, false, 0, CF::Stopped),
       at + "other\t5\t-\tserver stopped\t42\n"},
      {"tab and line break in a field", record(CK::Voice, u"5", u"A\tB\r\nC", true, true, 1),
       at + "voice\t5\tA B  C\tvoice message 1\t42\n"},
      {"over midnight, west of UTC", midnight,
       "2026-12-31T23:59:50-05:00\tother\t5\t-\tnot answered\t20\n"},
      {"clock set back", clockBack, at + "other\t-\t-\tnot answered\t0\n"},
  };
  for (const LineRow& row : rows) {
    EXPECT_EQ(toUtf8(callJournalLine(row.call)), row.line) << row.name;
  }
}

// Calls played through the handlers; the journal then holds their lines
// with the time stamp cut off.
struct Flow {
  const char* name;
  std::function<void(Harness<>&)> play;
  std::string lines;       // each line from its kind on
  std::string statusTail;  // what the status box ends with
};

std::string journalWithoutTimes(Harness<>& h) {
  const auto bytes = h.fakes.files.readBytes(h.form.AppDir + u"\\calls.log");
  std::string out;
  if (!bytes) return out;
  const std::string all(bytes->begin(), bytes->end());
  for (std::size_t from = 0; from < all.size();) {
    const std::size_t tab = all.find('\t', from);
    const std::size_t eol = all.find('\n', from);
    out += all.substr(tab + 1, eol - tab);
    from = eol + 1;
  }
  return out;
}

void ring(Harness<>& h, const Text& kind, const Text& sub) {
  h.tick(kind + u"\r\nCALLING-ID=0123456789/12\r\nCONNECTED-ID=987/" + sub + u"\r\n");
}

TEST(CallJournal, CallsThroughTheHandlers) {
  const Flow flows[] = {
      {"ring for another service, rung twice",
       [](Harness<>& h) {
         ring(h, u"RING", u"CONTENTSPP-X02");
         ring(h, u"RING", u"CONTENTSPP-X02");
         for (int i = 0; i < 40; ++i) h.tick();
       },
       "other\t0123456789*12\tCONTENTSPP-X02\tnot answered\t0\n", "0123456789*12\r\n"},
      {"voice message",
       [](Harness<>& h) {
         ring(h, u"RING:VOICE", u"HELLO");
         h.tick(u"CONNECT\r\n");
         h.tick(u"*");
         h.tick(u"#");
         h.fakes.timer2.fire();
         h.tick(u"+++OK\r\n");
         h.tick(u"OK\r\n");
       },
       "voice\t0123456789*12\tHELLO\tvoice message 1\t0\n", "Aメールプラスあり\r\n"},
      {"terminal that only took pages, then a dial",
       [](Harness<>& h) {
         ring(h, u"RING", u"CONTENTSPP-X01");
         h.tick(u"CONNECT 9600\r\n");
         h.tick(u"<ATML><HEAD><DISC=0></HEAD></ATML>");
         h.tick(u"\r\nNO CARRIER\r\n");
         for (std::int16_t key : {0, 3}) h.form.NumBtn_Click(key);
         h.form.ConnBtn_Click();
         h.tick(u"\r\nNO CARRIER\r\n");
       },
       "terminal\t0123456789*12\tCONTENTSPP-X01\tno mail\t0\ndial\t03\t-\tnot connected\t0\n",
       "NO CARRIER\r\n"},
      {"device lost during an upload",
       [](Harness<>& h) {
         ring(h, u"RING", u"CONTENTSPP-X01");
         h.tick(u"CONNECT\r\n<ATML><HEAD><CON=2>");
         h.fakes.serial.vanish();
       },
       "terminal\t0123456789*12\tCONTENTSPP-X01\tdevice lost\t0\n",
       "ポートが切断されました。再接続を試みます\r\n"},
      {"journal is a directory: said once, the store still written",
       [](Harness<>& h) {
         h.fakes.files.addDirectory(h.form.AppDir + u"\\calls.log");
         for (int call = 0; call < 2; ++call) {
           ring(h, u"RING:VOICE", u"HELLO");
           h.tick(u"CONNECT\r\n");
           h.tick(u"\r\nNO CARRIER\r\n");
         }
         EXPECT_TRUE(h.fakes.files.exists(h.form.AppDir + u"\\amp.dat"));
         EXPECT_EQ(h.form.MailStore.MailText[2], u"HELLO");
       },
       "", "Aメールプラスあり\r\n"},
      {"stopped during a ring",
       [](Harness<>& h) {
         ring(h, u"RING", u"-");
         h.form.StopBtn_Click();
       },
       "other\t0123456789*12\t-\tserver stopped\t0\n", ""},
  };
  for (const Flow& flow : flows) {
    SCOPED_TRACE(flow.name);
    Harness<> h;
    h.form.Form_Load();
    h.openLine();
    h.form.LineState = LineStateCode::Idle;
    flow.play(h);
    EXPECT_EQ(journalWithoutTimes(h), flow.lines);
    const Text& status = h.form.Text3.text;
    const Text tail = fromUtf8(flow.statusTail);
    EXPECT_TRUE(status.size() >= tail.size() &&
                status.compare(status.size() - tail.size(), tail.size(), tail) == 0)
        << toUtf8(status);
  }
}

TEST(CallJournal, UnwritableJournalIsSaidOnceUntilItWorksAgain) {
  Harness<> h;
  h.form.Form_Load();
  h.openLine();
  h.form.LineState = LineStateCode::Idle;
  const Text failed = u"通話記録（calls.log）を書き込めません\r\n";
  const auto missedCall = [&] {
    ring(h, u"RING", u"-");
    for (int i = 0; i < 40; ++i) h.tick();
  };
  h.fakes.files.setReadOnly(h.form.AppDir);
  missedCall();
  EXPECT_EQ(h.form.Text3.text, u"データ着信あり\r\n0123456789*12\r\n" + failed);
  missedCall();
  EXPECT_EQ(h.form.Text3.text, u"データ着信あり\r\n0123456789*12\r\n");
  h.fakes.files.setReadOnly(h.form.AppDir, false);
  missedCall();
  h.fakes.files.setReadOnly(h.form.AppDir);
  missedCall();
  EXPECT_EQ(h.form.Text3.text, u"データ着信あり\r\n0123456789*12\r\n" + failed);
  // Where the store goes when the program directory refuses, the journal follows.
  h.fakes.files.setFallbackDirectory(u"/home/op/data");
  missedCall();
  EXPECT_EQ(h.form.Text3.text, u"データ着信あり\r\n0123456789*12\r\n");
  EXPECT_TRUE(h.fakes.files.exists(u"/home/op/data\\calls.log"));
}

TEST(CallJournal, RotatesPastOneMebibyte) {
  Harness<> h;
  h.form.Form_Load();
  h.openLine();
  h.form.LineState = LineStateCode::Idle;
  const Text log = h.form.AppDir + u"\\calls.log";
  const std::size_t big = static_cast<std::size_t>(kJournalRotateBytes) - 10;
  ASSERT_TRUE(h.fakes.files.appendBytes(log, Bytes(big, 'x')));
  ring(h, u"RING", u"-");
  for (int i = 0; i < 40; ++i) h.tick();
  const auto old = h.fakes.files.readBytes(log + u".1");
  ASSERT_TRUE(old.has_value());
  EXPECT_GT(old->size(), big);
  EXPECT_FALSE(h.fakes.files.exists(log));
  ring(h, u"RING", u"-");
  for (int i = 0; i < 40; ++i) h.tick();
  EXPECT_EQ(journalWithoutTimes(h), "other\t0123456789*12\t-\tnot answered\t0\n");
}

}  // namespace
}  // namespace ondrix
