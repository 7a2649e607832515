// SPDX-License-Identifier: GPL-3.0-or-later
// The modem event handler: its decision table, escapes, hang-ups, unanswered rings.
#include <gtest/gtest.h>

#include <vector>

#include "form1_harness.h"

namespace ondrix {
namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;
using LE = LineEventCode;

const Text kBefore = u"前の表示\r\n";
constexpr std::int16_t kTimerBefore = 7;
constexpr int kCaretEnd = -1;
constexpr int kCaretUntouched = 0;  // the caret starts at 0

struct Fixture {
  Harness<> h;
  Form1& f = h.form;

  Fixture() {
    h.openLine();
    f.Text3.text = kBefore;
    f.Text3.caret = 0;
    f.ReplyTimer = kTimerBefore;
  }
  void setLines(const std::vector<Text>& lines, int count) {
    for (std::size_t i = 0; i < lines.size(); ++i) f.RxLines[i] = lines[i];
    f.RxLineCount = static_cast<std::int16_t>(count < 0 ? lines.size() : count);
  }
  void fire(LS state, PC pending, LE event) {
    f.LineState = state;
    f.PendingCmd = pending;
    f.LineEvent = event;
    f.HandleModemEvent();
  }
};

struct Row {
  const char* name;
  LS state;
  PC pending;
  LE event;
  std::vector<Text> lines = {};
  int rxCount = -1;  // -1: as many as lines
  Text callingId = {};
  Text callingSub = {};
  CallerStageCode stage = CallerStageCode::Unknown;
  std::int16_t mail = 0;
  Text before = kBefore;
  // Expected afterwards.
  Text text3 = kBefore;
  LS toState = LS::Idle;
  PC toPending = PC::NoPending;
  Text writes = {};
  std::int16_t replyTimer = kTimerBefore;
  int caret = kCaretEnd;
};

const std::vector<Row>& rows() {
  static const std::vector<Row> table = {
      // --- auto-search ---
      {.name = "search: model line then OK starts the server",
       .state = LS::Searching,
       .pending = PC::NoPending,
       .event = LE::Ok,
       .lines = {u"ati3", u"QV-M7"},
       .text3 = u"QV-M7が見つかました\r\n",
       .toPending = PC::StartPending,
       .writes = u"at#sy1=40\r",
       .replyTimer = 20},
      {.name = "search: other model moves on to port 2",
       .state = LS::Searching,
       .pending = PC::NoPending,
       .event = LE::Ok,
       .lines = {u"ati3", u"QV-M9"},
       .text3 = u"",
       .toState = LS::Searching,
       .writes = u"ati3\r",
       .replyTimer = 5,
       .caret = kCaretUntouched},
      {.name = "search: bare OK without a reply line is no match",
       .state = LS::Searching,
       .pending = PC::NoPending,
       .event = LE::Ok,
       .text3 = u"",
       .toState = LS::Searching,
       .writes = u"ati3\r",
       .replyTimer = 5,
       .caret = kCaretUntouched},
      {.name = "search: model case must match exactly",
       .state = LS::Searching,
       .pending = PC::NoPending,
       .event = LE::Ok,
       .lines = {u"qv-m7"},
       .text3 = u"",
       .toState = LS::Searching,
       .writes = u"ati3\r",
       .replyTimer = 5,
       .caret = kCaretUntouched},
      {.name = "search: ERROR moves on",
       .state = LS::Searching,
       .pending = PC::NoPending,
       .event = LE::Error,
       .text3 = u"",
       .toState = LS::Searching,
       .writes = u"ati3\r",
       .replyTimer = 5,
       .caret = kCaretUntouched},
      {.name = "search: time-out moves on",
       .state = LS::Searching,
       .pending = PC::NoPending,
       .event = LE::ReplyTimeout,
       .text3 = u"",
       .toState = LS::Searching,
       .writes = u"ati3\r",
       .replyTimer = 5,
       .caret = kCaretUntouched},

      // --- start-up ---
      {.name = "start: OK sends the set-up command silently",
       .state = LS::Idle,
       .pending = PC::StartPending,
       .event = LE::Ok,
       .lines = {u"at#sy1=40"},
       .writes = u"atu3v1q0\\v2#ps2=1\r",
       .replyTimer = 5,
       .caret = kCaretUntouched},
      {.name = "start: ERROR",
       .state = LS::Idle,
       .pending = PC::StartPending,
       .event = LE::Error,
       .text3 = u"待受けエラー\r\n"},
      {.name = "start: time-out",
       .state = LS::Idle,
       .pending = PC::StartPending,
       .event = LE::ReplyTimeout,
       .text3 = u"待受けエラー\r\n"},
      {.name = "start: carrier lost clears quietly",
       .state = LS::Idle,
       .pending = PC::StartPending,
       .event = LE::CarrierLost,
       .caret = kCaretUntouched},

      // --- own number ---
      {.name = "own number: heading and number, stays pending",
       .state = LS::Idle,
       .pending = PC::OwnNumberQuery,
       .event = LE::Ok,
       .lines = {u"at#sn0?", u"0123456789"},
       .text3 = u"Ｆ０　自局番号\r\n0123456789\r\n",
       .toPending = PC::OwnNumberQuery},
      {.name = "own number: no reply line shows the heading only",
       .state = LS::Idle,
       .pending = PC::OwnNumberQuery,
       .event = LE::Ok,
       .text3 = u"Ｆ０　自局番号\r\n",
       .toPending = PC::OwnNumberQuery},
      {.name = "own number: ERROR clears the box",
       .state = LS::Idle,
       .pending = PC::OwnNumberQuery,
       .event = LE::Error,
       .text3 = u"",
       .caret = kCaretUntouched},
      {.name = "own number: time-out clears the box",
       .state = LS::Idle,
       .pending = PC::OwnNumberQuery,
       .event = LE::ReplyTimeout,
       .text3 = u"",
       .caret = kCaretUntouched},

      // --- access mode ---
      {.name = "mode: OK",
       .state = LS::Idle,
       .pending = PC::ModeChangePending,
       .event = LE::Ok,
       .text3 = u"モード変更しました\r\n"},
      {.name = "mode: ERROR",
       .state = LS::Idle,
       .pending = PC::ModeChangePending,
       .event = LE::Error,
       .text3 = u"モード変更できません\r\n"},
      {.name = "mode: time-out",
       .state = LS::Idle,
       .pending = PC::ModeChangePending,
       .event = LE::ReplyTimeout,
       .text3 = u"モード変更できません\r\n"},

      // --- PA registration ---
      {.name = "register list: entries 0,1,0,1 offer simple and PA2",
       .state = LS::Idle,
       .pending = PC::PaRegisterQuery,
       .event = LE::Ok,
       .lines = {u"at#pas?#pa1?#pa2?#pa3?", u"0", u"1", u"0", u"1"},
       .text3 = u"Ｆ２　ＰＡ登録\r\n０　ＰＡ簡易\r\n２　ＰＡ２\r\n",
       .toPending = PC::PaRegisterSelect},
      {.name = "register list: all free offers all four",
       .state = LS::Idle,
       .pending = PC::PaRegisterQuery,
       .event = LE::Ok,
       .lines = {u"echo", u"1", u"0", u"0", u"0"},
       .text3 = u"Ｆ２　ＰＡ登録\r\n０　ＰＡ簡易\r\n１　ＰＡ１\r\n２　ＰＡ２\r\n３　ＰＡ３\r\n",
       .toPending = PC::PaRegisterSelect},
      {.name = "register list: stale entries above the count are read as they stand",
       .state = LS::Idle,
       .pending = PC::PaRegisterQuery,
       .event = LE::Ok,
       .lines = {u"echo", u"1", u"1", u"0", u"1"},
       .rxCount = 1,
       .text3 = u"Ｆ２　ＰＡ登録\r\n０　ＰＡ簡易\r\n２　ＰＡ２\r\n",
       .toPending = PC::PaRegisterSelect},
      {.name = "register list: ERROR clears",
       .state = LS::Idle,
       .pending = PC::PaRegisterQuery,
       .event = LE::Error,
       .text3 = u"",
       .caret = kCaretUntouched},
      {.name = "registering: finished",
       .state = LS::Idle,
       .pending = PC::PaRegistering,
       .event = LE::Ok,
       .lines = {u"AT#PA2", u"REGISTRATION FINISHED"},
       .text3 = u"ＰＡ登録完了\r\n"},
      {.name = "registering: other last line fails",
       .state = LS::Idle,
       .pending = PC::PaRegistering,
       .event = LE::Ok,
       .lines = {u"REGISTRATION FINISHED", u"BUSY"},
       .text3 = u"ＰＡ登録失敗\r\n"},
      {.name = "registering: bare OK fails",
       .state = LS::Idle,
       .pending = PC::PaRegistering,
       .event = LE::Ok,
       .text3 = u"ＰＡ登録失敗\r\n"},
      {.name = "registering: time-out fails",
       .state = LS::Idle,
       .pending = PC::PaRegistering,
       .event = LE::ReplyTimeout,
       .text3 = u"ＰＡ登録失敗\r\n"},
      {.name = "registering: carrier lost only moves the caret",
       .state = LS::Idle,
       .pending = PC::PaRegistering,
       .event = LE::CarrierLost},

      // --- PA deletion ---
      {.name = "delete list: nothing registered",
       .state = LS::Idle,
       .pending = PC::PaDeleteQuery,
       .event = LE::Ok,
       .lines = {u"echo", u"0", u"0", u"0", u"0"},
       .text3 = u"ＰＡ登録ありません\r\n"},
      {.name = "delete list: simple entry only",
       .state = LS::Idle,
       .pending = PC::PaDeleteQuery,
       .event = LE::Ok,
       .lines = {u"echo", u"1", u"0", u"0", u"0"},
       .text3 = u"Ｆ２　ＰＡ削除\r\n０　ＰＡ簡易\r\n",
       .toPending = PC::PaDeleteSelect},
      {.name = "delete list: PA1 and PA3",
       .state = LS::Idle,
       .pending = PC::PaDeleteQuery,
       .event = LE::Ok,
       .lines = {u"echo", u"0", u"1", u"0", u"1"},
       .text3 = u"Ｆ２　ＰＡ削除\r\n１　ＰＡ１\r\n３　ＰＡ３\r\n",
       .toPending = PC::PaDeleteSelect},
      {.name = "delete list: time-out clears",
       .state = LS::Idle,
       .pending = PC::PaDeleteQuery,
       .event = LE::ReplyTimeout,
       .text3 = u"",
       .caret = kCaretUntouched},
      {.name = "deleting: OK",
       .state = LS::Idle,
       .pending = PC::PaDeletePending,
       .event = LE::Ok,
       .text3 = u"ＰＡ削除完了\r\n"},
      {.name = "deleting: ERROR",
       .state = LS::Idle,
       .pending = PC::PaDeletePending,
       .event = LE::Error,
       .text3 = u"ＰＡ削除失敗\r\n"},
      {.name = "deleting: carrier lost only moves the caret",
       .state = LS::Idle,
       .pending = PC::PaDeletePending,
       .event = LE::CarrierLost},

      // --- typed commands, user function, dialling ---
      {.name = "command: echo only shows OK",
       .state = LS::Idle,
       .pending = PC::CommandPending,
       .event = LE::Ok,
       .lines = {u"ati0"},
       .text3 = u"OK\r\n"},
      {.name = "command: echo and two lines shows the two lines",
       .state = LS::Idle,
       .pending = PC::CommandPending,
       .event = LE::Ok,
       .lines = {u"ati1", u"A", u"B"},
       .text3 = u"A\r\nB\r\n"},
      {.name = "dialling: OK with nothing collected still shows OK",
       .state = LS::Idle,
       .pending = PC::Dialing,
       .event = LE::Ok,
       .text3 = u"OK\r\n"},
      {.name = "user function: ERROR",
       .state = LS::Idle,
       .pending = PC::UserFuncPending,
       .event = LE::Error,
       .text3 = u"ERROR\r\n"},
      {.name = "command: time-out",
       .state = LS::Idle,
       .pending = PC::CommandPending,
       .event = LE::ReplyTimeout,
       .text3 = u"TIME OUT\r\n"},
      {.name = "dialling: carrier lost",
       .state = LS::Idle,
       .pending = PC::Dialing,
       .event = LE::CarrierLost,
       .text3 = u"NO CARRIER\r\n"},

      // --- missed calls ---
      {.name = "missed voice call without a caller",
       .state = LS::RingingVoice,
       .pending = PC::NoPending,
       .event = LE::ReplyTimeout,
       .callingId = u"-",
       .text3 = u"着信あり\r\n"},
      {.name = "missed data call with caller and subaddress",
       .state = LS::RingingData,
       .pending = PC::NoPending,
       .event = LE::CarrierLost,
       .callingId = u"0123456789",
       .callingSub = u"12",
       .text3 = u"データ着信あり\r\n0123456789*12\r\n"},
      {.name = "missed voice call, subaddress '-' left out",
       .state = LS::RingingVoice,
       .pending = PC::NoPending,
       .event = LE::CarrierLost,
       .callingId = u"0311112222",
       .callingSub = u"-",
       .text3 = u"着信あり\r\n0311112222\r\n"},
      {.name = "missed call: subaddress without a number is not shown",
       .state = LS::RingingData,
       .pending = PC::NoPending,
       .event = LE::ReplyTimeout,
       .callingSub = u"12",
       .text3 = u"データ着信あり\r\n"},

      // --- end of calls ---
      {.name = "data call with a mail ends",
       .state = LS::OnlineData,
       .pending = PC::NoPending,
       .event = LE::CarrierLost,
       .mail = 1,
       .before = u"受信メール\r\n",
       .text3 = u"通信終了\r\nTAVIXメールあり\r\n",
       .replyTimer = 0},
      {.name = "data call without a mail ends",
       .state = LS::OnlineData,
       .pending = PC::NoPending,
       .event = LE::CarrierLost,
       .before = u"通信中\r\n",
       .text3 = u"通信終了\r\n",
       .replyTimer = 0},
      {.name = "voice call without a message ends",
       .state = LS::OnlineVoice,
       .pending = PC::NoPending,
       .event = LE::CarrierLost,
       .before = u"通話中\r\n",
       .text3 = u"通話終了\r\n",
       .replyTimer = 0},
      {.name = "voice call with a message ends",
       .state = LS::OnlineVoice,
       .pending = PC::NoPending,
       .event = LE::CarrierLost,
       .stage = CallerStageCode::Answered,
       .before = u"記録\r\n",
       .text3 = u"通話終了\r\nAメールプラスあり\r\n",
       .replyTimer = 0},
      {.name = "call end with an unrelated status leaves the box",
       .state = LS::OnlineData,
       .pending = PC::NoPending,
       .event = LE::CarrierLost,
       .before = u"データ着信\r\n",
       .text3 = u"データ着信\r\n",
       .replyTimer = 0,
       .caret = kCaretUntouched},
      {.name = "escape acknowledged: hang up",
       .state = LS::EscapeData,
       .pending = PC::NoPending,
       .event = LE::Ok,
       .before = u"通信中\r\n",
       .text3 = u"通信中\r\n",
       .toState = LS::EscapeData,
       .toPending = PC::HangupPending,
       .writes = u"ath\r",
       .replyTimer = 5,
       .caret = kCaretUntouched},
      {.name = "hang-up OK ends a voice call",
       .state = LS::EscapeVoice,
       .pending = PC::HangupPending,
       .event = LE::Ok,
       .stage = CallerStageCode::HandshakeSent,
       .text3 = u"通話終了\r\nAメールプラスあり\r\n",
       .replyTimer = 0},
      {.name = "carrier lost while escaping ends the call",
       .state = LS::EscapeData,
       .pending = PC::NoPending,
       .event = LE::CarrierLost,
       .mail = 1,
       .text3 = u"通信終了\r\nTAVIXメールあり\r\n",
       .replyTimer = 0},
  };
  return table;
}

TEST(HandleModemEvent, DecisionTable) {
  for (const Row& row : rows()) {
    SCOPED_TRACE(row.name);
    Fixture x;
    x.setLines(row.lines, row.rxCount);
    x.f.CallingId = row.callingId;
    x.f.CallingSub = row.callingSub;
    x.f.CallerStage = row.stage;
    x.f.MailReceived = row.mail;
    x.f.Text3.text = row.before;
    x.fire(row.state, row.pending, row.event);

    EXPECT_EQ(x.f.Text3.text, row.text3);
    EXPECT_EQ(x.f.LineState, row.toState);
    EXPECT_EQ(x.f.PendingCmd, row.toPending);
    EXPECT_EQ(x.h.fakes.serial.written(), row.writes);
    EXPECT_EQ(x.f.ReplyTimer, row.replyTimer);
    if (!row.writes.empty()) {
      EXPECT_EQ(x.f.RxLineCount, 0);
    }
    const int caret = row.caret == kCaretEnd ? static_cast<int>(row.text3.size()) : row.caret;
    EXPECT_EQ(x.f.Text3.caret, caret);
  }
}

// Combinations that match no row of the decision must change nothing.
TEST(HandleModemEvent, UnmatchedCombinationsDoNothing) {
  struct Combo {
    LS state;
    std::vector<PC> pendings;
    std::vector<LE> events;
  };
  const std::vector<LE> all = {LE::Ok, LE::Error, LE::ReplyTimeout, LE::CarrierLost};
  const std::vector<Combo> combos = {
      {LS::Stopped, {PC::NoPending, PC::StartPending, PC::CommandPending}, all},
      {LS::Searching, {PC::NoPending}, {LE::CarrierLost}},
      {LS::Idle,
       {PC::NoPending, PC::FuncMenu, PC::ModeMenu, PC::PaMenu, PC::PaRegisterSelect,
        PC::PaDeleteSelect, PC::MailBrowse, PC::MailDeleteMenu, PC::NumberEntry, PC::HangupPending},
       all},
      {LS::Idle,
       {PC::OwnNumberQuery, PC::ModeChangePending, PC::PaRegisterQuery, PC::PaDeleteQuery},
       {LE::CarrierLost}},
      {LS::RingingVoice, {PC::NoPending}, {LE::Ok, LE::Error}},
      {LS::RingingData, {PC::NoPending}, {LE::Ok, LE::Error}},
      {LS::OnlineVoice, {PC::NoPending}, {LE::Ok, LE::Error, LE::ReplyTimeout}},
      {LS::OnlineData, {PC::NoPending}, {LE::Ok, LE::Error, LE::ReplyTimeout}},
      {LS::EscapeVoice, {PC::NoPending, PC::HangupPending}, {LE::Error, LE::ReplyTimeout}},
      {LS::EscapeData, {PC::HangupPending}, {LE::Error, LE::ReplyTimeout, LE::CarrierLost}},
      {LS::EscapeData, {PC::CommandPending, PC::StartPending}, all},
  };
  for (const Combo& c : combos) {
    for (PC pending : c.pendings) {
      for (LE event : c.events) {
        SCOPED_TRACE(testing::Message()
                     << "state " << static_cast<int>(c.state) << " pending "
                     << static_cast<int>(pending) << " event " << static_cast<int>(event));
        Fixture x;
        x.setLines({u"ati3", u"QV-M7"}, -1);
        x.f.CallingId = u"0123";
        x.f.MailReceived = 1;
        x.fire(c.state, pending, event);
        EXPECT_EQ(x.f.LineState, c.state);
        EXPECT_EQ(x.f.PendingCmd, pending);
        EXPECT_EQ(x.f.Text3.text, kBefore);
        EXPECT_EQ(x.f.Text3.caret, 0);
        EXPECT_EQ(x.f.ReplyTimer, kTimerBefore);
        EXPECT_EQ(x.f.RxLineCount, 2);
        EXPECT_TRUE(x.h.fakes.serial.writes().empty());
      }
    }
  }
}

// Replies arriving through the poll loop, several events in a row.
TEST(HandleModemEvent, OwnNumberStaysPendingSoALaterErrorClearsTheBox) {
  Fixture x;
  x.f.LineState = LS::Idle;
  x.f.PendingCmd = PC::OwnNumberQuery;
  x.f.ReplyTimer = 5;
  x.f.RxLineCount = 0;
  x.h.tick(u"at#sn0?\r\n0123456789\r\nOK\r\n");
  EXPECT_EQ(x.f.Text3.text, u"Ｆ０　自局番号\r\n0123456789\r\n");
  EXPECT_EQ(x.f.PendingCmd, PC::OwnNumberQuery);
  x.h.tick(u"ERROR\r\n");
  EXPECT_EQ(x.f.Text3.text, u"");
  EXPECT_EQ(x.f.PendingCmd, PC::NoPending);
}

TEST(HandleModemEvent, EscapeHangUpAndItsOkReturnToIdle) {
  Fixture x;
  x.f.LineState = LS::EscapeData;
  x.f.PendingCmd = PC::NoPending;
  x.f.ReplyTimer = 0;
  x.f.Text3.text = u"通信中\r\n";
  x.h.tick(u"+++OK\r\n");
  EXPECT_EQ(x.h.fakes.serial.written(), u"ath\r");
  EXPECT_EQ(x.f.PendingCmd, PC::HangupPending);
  // An error to the hang-up is ignored; the line keeps waiting.
  x.h.tick(u"ERROR\r\n");
  EXPECT_EQ(x.f.LineState, LS::EscapeData);
  EXPECT_EQ(x.f.PendingCmd, PC::HangupPending);
  x.h.tick(u"OK\r\n");
  EXPECT_EQ(x.f.LineState, LS::Idle);
  EXPECT_EQ(x.f.PendingCmd, PC::NoPending);
  EXPECT_EQ(x.f.Text3.text, u"通信終了\r\n");
}

TEST(HandleModemEvent, UnansweredRingEndsAfterFortyQuietTicks) {
  Fixture x;
  x.f.LineState = LS::Idle;
  x.f.ReplyTimer = 0;
  x.h.tick(u"RING\r\n");
  x.f.CallingId = u"0123456789";
  for (int i = 0; i < 39; ++i) x.h.tick();
  EXPECT_EQ(x.f.LineState, LS::RingingData);
  x.h.tick();
  EXPECT_EQ(x.f.LineState, LS::Idle);
  EXPECT_EQ(x.f.Text3.text, u"データ着信あり\r\n0123456789\r\n");
}

}  // namespace
}  // namespace ondrix
