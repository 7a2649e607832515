// SPDX-License-Identifier: GPL-3.0-or-later
// The line's own recovery: when it acts, tick by tick, and what the server
// then does on the line.
#include "engine/line_recovery.h"

#include <gtest/gtest.h>

#include "form1_harness.h"

namespace ondrix {
namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;
using RA = RecoveryAction;

struct DecisionRow {
  const char* name;
  LineWatch watch;
  LineView view;
  int firstAt;  // the tick (from 1) of the first action; 0: none within kNever
  RA action = RA::None;
  int nextAt = 0;  // the tick of the action after it, when it recurs
};

constexpr int kNever = 2 * kStuckTicks + 10;

LineView lineAt(LS line, PC pending = PC::NoPending) {
  LineView v;
  v.line = line;
  v.pending = pending;
  v.portOpen = true;
  return v;
}

template <typename Change>
LineView with(LineView v, Change change) {
  change(v);
  return v;
}

LineWatch watchAt(OnHookStep step, int tries, bool refused = false) {
  LineWatch w;
  w.step = step;
  w.tries = tries;
  w.refused = refused;
  return w;
}

TEST(LineRecovery, WhenEachFaultIsActedOn) {
  LineWatch reopening;
  reopening.reopening = true;
  const auto closed = [](LineView& v) { v.portOpen = false; };
  const DecisionRow rows[] = {
      {"escape without +++OK", {}, lineAt(LS::EscapeData), kConfirmTicks + 1, RA::PutOnHook},
      {"hang-up without reply",
       {},
       lineAt(LS::EscapeVoice, PC::HangupPending),
       kConfirmTicks + 1,
       RA::PutOnHook},
      {"hang-up refused", watchAt(OnHookStep::Watching, 0, true),
       lineAt(LS::EscapeData, PC::HangupPending), 1, RA::PutOnHook},
      {"DTR down for a second", watchAt(OnHookStep::DtrLow, 1), lineAt(LS::EscapeData),
       kDtrLowTicks, RA::Escape},
      {"no +++OK after the escape", watchAt(OnHookStep::Escaped, 1), lineAt(LS::EscapeData),
       kGuardTicks, RA::HangUp},
      {"+++OK came, its hang-up unanswered", watchAt(OnHookStep::Escaped, 1),
       lineAt(LS::EscapeData, PC::HangupPending), kConfirmTicks + 1, RA::PutOnHook},
      {"third try refused", watchAt(OnHookStep::HangupSent, kHangupTries, true),
       lineAt(LS::EscapeData, PC::HangupPending), 1, RA::Restart},
      {"third try unanswered", watchAt(OnHookStep::HangupSent, kHangupTries),
       lineAt(LS::EscapeData, PC::HangupPending), kConfirmTicks, RA::Restart},
      {"terminal silent on-line", {}, lineAt(LS::OnlineData), kStuckTicks, RA::EndCall},
      {"terminal still sending",
       {},
       with(lineAt(LS::OnlineData), [](LineView& v) { v.input = true; }),
       0},
      {"operator's own call",
       {},
       with(lineAt(LS::OnlineVoice), [](LineView& v) { v.operatorCall = true; }),
       0},
      {"escape already armed",
       {},
       with(lineAt(LS::OnlineData), [](LineView& v) { v.escapeArmed = true; }),
       0},
      {"start without reply",
       {},
       lineAt(LS::Idle, PC::StartPending),
       kStuckTicks + 1,
       RA::Restart,
       2 * kStuckTicks + 1},
      {"operator's dial", {}, lineAt(LS::Idle, PC::Dialing), 0},
      {"own number shown", {}, lineAt(LS::Idle, PC::OwnNumberQuery), 0},
      {"own number awaited",
       {},
       with(lineAt(LS::Idle, PC::OwnNumberQuery), [](LineView& v) { v.replyTimer = 3; }),
       kStuckTicks + 1,
       RA::Restart},
      {"waiting for calls", {}, lineAt(LS::Idle), 0},
      {"ring nobody answered", {}, lineAt(LS::RingingData), 0},
      {"answered, no CONNECT",
       {},
       with(lineAt(LS::RingingData), [](LineView& v) { v.answered = true; }),
       kStuckTicks + 1,
       RA::PutOnHook},
      {"port gone", reopening, with(lineAt(LS::Idle), closed), kReopenTicks, RA::Reopen,
       2 * kReopenTicks},
      {"port opened by the operator", reopening, lineAt(LS::Idle), 0},
      {"stopped while the port is gone", reopening, with(lineAt(LS::Stopped), closed), 0},
      {"auto-search", {}, with(lineAt(LS::Searching, PC::NoPending), closed), 0},
  };
  for (const DecisionRow& row : rows) {
    LineWatch w = row.watch;
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
  void ticks(int n, const Text& input = {}) {
    for (int i = 0; i < n; ++i) h.tick(input);
  }
  bool statusEndsWith(const Text& line) const {
    const Text tail = line + u"\r\n";
    const Text& t = f.Text3.text;
    return t.size() >= tail.size() && t.compare(t.size() - tail.size(), tail.size(), tail) == 0;
  }
};

TEST(LineRecovery, PortThatWentAwayIsOpenedAgainAndStarted) {
  Line l;
  l.h.fakes.serial.vanish();
  EXPECT_TRUE(l.statusEndsWith(u"ポートが切断されました。再接続を試みます"));
  const std::size_t opens = l.h.fakes.serial.openedPorts().size();
  l.ticks(3 * kReopenTicks);  // still gone: one attempt per interval, no message box
  EXPECT_EQ(l.h.fakes.serial.openedPorts().size(), opens);
  EXPECT_TRUE(l.h.fakes.desktop.messages.empty());
  l.h.fakes.serial.comeBack();
  l.ticks(kReopenTicks);
  EXPECT_EQ(l.h.fakes.serial.written(), u"at#sy1=40\r");
  EXPECT_EQ(l.f.PendingCmd, PC::StartPending);
  EXPECT_TRUE(l.statusEndsWith(u"ポートに再接続しました"));
  l.h.tick(u"OK\r\n");
  EXPECT_EQ(l.h.fakes.serial.written(), u"at#sy1=40\ratu3v1q0\\v2#ps2=1\r");
}

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

// A voice message call whose hang-up the modem refuses every time: three
// tries (DTR where the line has it, escape, "ath"), then the start commands.
TEST(LineRecovery, RefusedHangUpIsTriedThreeTimesThenTheModemIsStarted) {
  for (const bool modemLines : {false, true}) {
    SCOPED_TRACE(modemLines ? "with DTR" : "without modem lines");
    Line l;
    l.h.fakes.serial.setModemLines(modemLines);
    l.h.tick(u"RING:VOICE\r\nCALLING-ID=5\r\nCONNECTED-ID=9/HI\r\nCONNECT\r\n*");
    l.h.tick(u"#");
    l.h.fakes.timer2.fire();
    l.h.tick(u"+++OK\r\n");
    l.h.fakes.serial.clearWrites();
    Text expected;
    for (int attempt = 0; attempt < kHangupTries; ++attempt) {
      l.h.tick(u"ERROR\r\n");
      l.ticks(1 + kDtrLowTicks + kGuardTicks);
      expected += Text(u"+++") + u"ath\r";
      EXPECT_EQ(l.h.fakes.serial.written(), expected);
    }
    // The message shown last has no line end; the retry is a line of its own.
    EXPECT_EQ(l.f.Text3.text, u"12/06 07:45\r\n5\r\nHI\r\n切断を確認できません。再試行します\r\n");
    l.h.tick(u"ERROR\r\n");
    l.h.tick();
    EXPECT_EQ(l.h.fakes.serial.written(), expected + u"at#sy1=40\r");
    EXPECT_EQ(l.f.LineState, LS::Idle);
    EXPECT_TRUE(l.statusEndsWith(u"切断できないため、モデムを再設定しました"));
    const auto journal = l.h.fakes.files.readBytes(l.f.AppDir + u"\\calls.log");
    ASSERT_TRUE(journal.has_value());
    EXPECT_NE(std::string(journal->begin(), journal->end())
                  .find("\tvoice message 1; hang-up refused, modem restarted\t"),
              std::string::npos);
    const std::vector<bool> dtr =
        modemLines ? std::vector<bool>{false, true, false, true, false, true, true}
                   : std::vector<bool>{};
    EXPECT_EQ(l.h.fakes.serial.dtrChanges(), dtr);
  }
}

TEST(LineRecovery, SilentTerminalIsHungUpAfterTenMinutes) {
  Line l;
  l.h.tick(u"RING\r\nCALLING-ID=5\r\nCONNECTED-ID=9/CONTENTSPP-X01\r\nCONNECT\r\n");
  l.h.tick(u"TAVIXEXE");
  l.ticks(kStuckTicks - 1);
  EXPECT_EQ(l.h.fakes.timer2.interval(), 0);
  l.h.tick();
  EXPECT_EQ(l.h.fakes.timer2.interval(), kEscapeGuardMs);
  EXPECT_TRUE(l.statusEndsWith(u"無通信が10分続いたため切断します"));
  l.h.fakes.timer2.fire();
  l.h.tick(u"+++OK\r\n");
  l.h.tick(u"OK\r\n");
  EXPECT_EQ(l.f.LineState, LS::Idle);
  EXPECT_EQ(l.f.Text3.text, u"通信終了\r\n無通信が10分続いたため切断しました\r\n");
}

}  // namespace
}  // namespace ondrix
