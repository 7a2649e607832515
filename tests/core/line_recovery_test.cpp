// SPDX-License-Identifier: GPL-3.0-or-later
// The line's own recovery: when it acts, tick by tick, and what the server
// then does on the line. The tries of a refused hang-up, step by step, play
// against the core as the simulator's calls (tests/linesim).
#include "engine/line_recovery.h"

#include <gtest/gtest.h>

#include "form1_harness.h"
#include "service/line_condition.h"

namespace ondrix {
namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;
using RA = RecoveryAction;

struct DecisionRow {
  const char* name;
  LineView view;
  int firstAt;  // the tick (from 1) of the first action; 0: none within kNever
  RA action = RA::None;
  int nextAt = 0;          // the tick of the action after it, when it recurs
  bool reopening = false;  // the port went away before
};

constexpr int kNever = 2 * kStuckTicks + 10;

TEST(LineRecovery, WhenEachFaultIsActedOn) {
  // clang-format off
  const DecisionRow rows[] = {
      {"escape without +++OK", {LS::EscapeData, PC::NoPending, 0, true}, kConfirmTicks + 1, RA::PutOnHook},
      {"hang-up without reply", {LS::EscapeVoice, PC::HangupPending, 0, true}, kConfirmTicks + 1, RA::PutOnHook},
      {"terminal silent on-line", {LS::OnlineData, PC::NoPending, 0, true}, kStuckTicks, RA::EndCall},
      {"terminal still sending", {LS::OnlineData, PC::NoPending, 0, true, true}, 0},
      {"operator's own call", {LS::OnlineVoice, PC::NoPending, 0, true, false, true}, 0},
      {"escape already armed", {LS::OnlineData, PC::NoPending, 0, true, false, false, false, true}, 0},
      {"start without reply", {LS::Idle, PC::StartPending, 0, true}, kStuckTicks + 1, RA::Restart, 2 * kStuckTicks + 1},
      {"operator's dial", {LS::Idle, PC::Dialing, 0, true}, 0},
      {"own number shown", {LS::Idle, PC::OwnNumberQuery, 0, true}, 0},
      {"own number awaited", {LS::Idle, PC::OwnNumberQuery, 3, true}, kStuckTicks + 1, RA::Restart},
      {"waiting for calls", {LS::Idle, PC::NoPending, 0, true}, 0},
      {"ring nobody answered", {LS::RingingData, PC::NoPending, 0, true}, 0},
      {"answered, no CONNECT", {LS::RingingData, PC::NoPending, 0, true, false, false, true}, kStuckTicks + 1, RA::PutOnHook},
      {"port gone", {LS::Idle, PC::NoPending, 0, false}, kReopenTicks, RA::Reopen, 2 * kReopenTicks, true},
      {"port opened by the operator", {LS::Idle, PC::NoPending, 0, true}, 0, RA::None, 0, true},
      {"stopped while the port is gone", {LS::Stopped, PC::NoPending, 0, false}, 0, RA::None, 0, true},
      {"auto-search", {LS::Searching, PC::NoPending, 0, false}, 0},
  };
  // clang-format on
  for (const DecisionRow& row : rows) {
    LineWatch w;
    w.reopening = row.reopening;
    int first = 0;
    int next = 0;
    RA action = RA::None;
    for (int tick = 1; tick <= kNever && next == 0; ++tick) {
      const RA a = nextRecoveryAction(w, row.view);
      if (a == RA::None) continue;
      if (first == 0) {
        first = tick;
        action = a;
        if (row.nextAt == 0) break;
      } else {
        next = tick;
      }
    }
    EXPECT_EQ(first, row.firstAt) << row.name;
    EXPECT_EQ(action, row.action) << row.name;
    EXPECT_EQ(next, row.nextAt) << row.name;
  }
}

struct Line {
  Harness<> h;
  Form1& f = h.form;
  Line() {
    f.Form_Load();
    f.StartBtn_Click();
    h.tick(u"OK\r\n");
    h.tick(u"OK\r\n");
    h.fakes.serial.clearWrites();
  }
  void ticks(int n) {
    for (int i = 0; i < n; ++i) h.tick();
  }
};

TEST(LineRecovery, StopEndsTheRetryingAndStartShowsThePortError) {
  Line l;
  l.h.fakes.serial.vanish();
  l.f.StopBtn_Click();
  l.h.fakes.serial.setAvailablePorts({});
  l.h.fakes.serial.comeBack();
  l.f.StartBtn_Click();
  l.ticks(2 * kReopenTicks);  // even were the poll running, nothing may retry
  EXPECT_EQ(l.h.fakes.desktop.messages, std::vector<Text>{u"ポートは使用中か無効です。"});
  EXPECT_EQ(l.h.fakes.serial.written(), u"");
  EXPECT_EQ(l.f.LineState, LS::Stopped);
}

// The simulator's refused hang-ups play against the core without modem
// lines (tests/linesim); here the device has them: DTR goes down for each
// try and up again, also before the start commands.
// A line the server starts by itself is tried again, 10 s after each
// failure at first and twice as long each time up to a minute, until the
// modem answers both commands; the operator's own 開始 is not. (A retry
// starts inside a tick, so its countdown ends a tick sooner than the first.)
// Once the modem has answered, the next failure waits the first wait again.
// The condition the service manager is told follows the retries.
TEST(LineRecovery, StartsOfItsOwnAreTriedUntilTheModemAnswers) {
  struct Row {
    const char* name;
    bool byItself;            // --start, not the operator's 開始
    int portFrom;             // the tick the port can be opened from
    const char16_t* refusal;  // the reply to the start until answersFrom
    const char16_t* setupRefusal;
    int answersFrom;
    int stopAt;     // the operator presses 停止; 0: never
    int restartAt;  // the modem falls silent for good, the server restarts the line
    std::vector<int> starts;
    std::vector<LineCondition> conditions;  // each as it began
  };
  using C = LineCondition;
  const char16_t* ok = u"OK\r\n";
  // clang-format off
  const Row rows[] = {
      {"silent modem", true, 0, u"", ok, 1000, 0, 0, {0, 120, 339, 758, 1377}, {C::Starting, C::ModemSilent, C::Waiting}},
      {"start refused", true, 0, u"ERROR\r\n", ok, 1000, 0, 0, {0, 101, 302, 703, 1304}, {C::Starting, C::ModemSilent, C::Waiting}},
      {"set-up refused", true, 0, ok, u"ERROR\r\n", 1000, 0, 0, {0, 102, 304, 706, 1308}, {C::Starting, C::ModemSilent, C::Waiting}},
      {"set-up unanswered", true, 0, ok, u"", 300, 0, 0, {0, 106, 312}, {C::Starting, C::ModemSilent, C::Waiting}},
      {"operator's start", false, 0, u"", ok, 1000, 0, 0, {0}, {C::Starting, C::Waiting}},
      {"stopped while retrying", true, 0, u"", ok, 1000, 500, 0, {0, 120, 339}, {C::Starting, C::ModemSilent, C::Stopped}},
      {"port opened later", true, 50, ok, ok, 0, 0, 0, {60}, {C::PortMissing, C::Starting, C::Waiting}},
      {"silent again after answering", true, 0, u"", ok, 700, 0, 1000, {0, 120, 339, 758, 1000, 1119, 1338, 1757, 2376, 2995},
       {C::Starting, C::ModemSilent, C::Waiting, C::Starting, C::ModemSilent}},
  };
  // clang-format on
  for (const Row& row : rows) {
    Harness<> h;
    Form1& f = h.form;
    f.Form_Load();
    if (row.portFrom > 0) h.fakes.serial.setAvailablePorts({});
    if (row.byItself) {
      f.startUnattended();
    } else {
      f.StartBtn_Click();
    }
    const Text start = f.StartCommand + CR;
    const Text setup = f.SetupCommand + CR;
    std::vector<int> starts;
    std::vector<LineCondition> conditions;
    Text reply;
    std::size_t seen = 0;
    for (int tick = 0; tick <= 3000; ++tick) {
      if (tick > 0) {
        if (tick == row.portFrom) h.fakes.serial.setAvailablePorts({1});
        if (tick == row.stopAt) f.StopBtn_Click();
        if (tick == row.restartAt) f.startLineItself();
        h.tick(reply);
      }
      if (conditions.empty() || conditions.back() != lineCondition(f)) {
        conditions.push_back(lineCondition(f));
      }
      reply.clear();
      const auto& writes = h.fakes.serial.writes();
      for (; seen < writes.size(); ++seen) {
        const bool answers =
            tick >= row.answersFrom && (row.restartAt == 0 || tick < row.restartAt);
        if (writes[seen] == start) {
          starts.push_back(tick);
          reply = answers ? ok : row.refusal;
        } else if (writes[seen] == setup) {
          reply = answers ? ok : row.setupRefusal;
        }
      }
    }
    EXPECT_EQ(starts, row.starts) << row.name;
    EXPECT_EQ(conditions, row.conditions) << row.name;
    EXPECT_TRUE(h.fakes.desktop.messages.empty()) << row.name;
    const bool retried =
        row.byItself && row.starts.size() > 1 && row.stopAt == 0 && row.restartAt == 0;
    EXPECT_EQ(f.Text3.text.ends_with(u"モデムが応答しました。着信を待ちます\r\n"), retried)
        << row.name << ": " << toUtf8(f.Text3.text);
  }
}

// A ring shows the modem works: its next failure waits the first wait again.
TEST(LineRecovery, ARingStartsTheRetriesAfresh) {
  LineWatch w;
  w.bringUp = BringUp::Failed;
  w.retryWait = kRetryLongestTicks;
  nextRecoveryAction(w, {LS::RingingVoice, PC::NoPending, 0, true});
  w.bringUp = BringUp::StartSent;
  bringUpReply(w, LineEventCode::ReplyTimeout);
  EXPECT_EQ(w.retryWait, kRetryFirstTicks);
}

TEST(LineRecovery, RefusedHangUpDropsDtrWhereTheDeviceHasIt) {
  Line l;
  l.h.fakes.serial.setModemLines(true);
  l.h.tick(u"RING:VOICE\r\nCALLING-ID=5\r\nCONNECTED-ID=9/HI\r\nCONNECT\r\n*");
  l.h.tick(u"#");
  l.h.fakes.timer2.fire();
  l.h.tick(u"+++OK\r\n");
  for (int attempt = 0; attempt < kHangupTries; ++attempt) {
    l.h.tick(u"ERROR\r\n");
    l.ticks(1 + kDtrLowTicks + kGuardTicks);
  }
  l.h.tick(u"ERROR\r\n");
  l.h.tick();
  // The message shown last has no line end; the retry is a line of its own.
  EXPECT_EQ(l.f.Text3.text,
            u"12/06 07:45\r\n5\r\nHI\r\n切断を確認できません。再試行します\r\n"
            u"切断できないため、モデムを再設定しました\r\n");
  EXPECT_EQ(l.h.fakes.serial.dtrChanges(),
            (std::vector<bool>{false, true, false, true, false, true, true}));
}

TEST(LineRecovery, SilentTerminalIsHungUpAfterTenMinutes) {
  Line l;
  l.h.tick(u"RING\r\nCALLING-ID=5\r\nCONNECTED-ID=9/CONTENTSPP-X01\r\nCONNECT\r\n");
  l.h.tick(u"TAVIXEXE");
  l.ticks(kStuckTicks);
  EXPECT_EQ(l.h.fakes.timer2.interval(), kEscapeGuardMs);
  l.h.fakes.timer2.fire();
  l.h.tick(u"+++OK\r\n");
  l.h.tick(u"OK\r\n");
  EXPECT_EQ(l.f.Text3.text, u"通信終了\r\n無通信が10分続いたため切断しました\r\n");
}

}  // namespace
}  // namespace ondrix
