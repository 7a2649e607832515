// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: start and stop, the port box, the command line, load, unload.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "form1_harness.h"

namespace ondrix {
namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;

const Text kPortError = u"ポートは使用中か無効です。";

struct PortControls {
  bool comNoEnabled;
  Background comNoBackground;
  bool start, stop, search, func;
  int timer1;
};

PortControls controlsOf(const Form1& f) {
  return {f.ComNo.enabled,     f.ComNo.background, f.StartBtn.enabled, f.StopBtn.enabled,
          f.ScarchBtn.enabled, f.FuncBtn.enabled,  f.Timer1.interval()};
}

void expectControls(const Form1& f, const PortControls& want) {
  const PortControls got = controlsOf(f);
  EXPECT_EQ(got.comNoEnabled, want.comNoEnabled);
  EXPECT_EQ(got.comNoBackground, want.comNoBackground);
  EXPECT_EQ(got.start, want.start);
  EXPECT_EQ(got.stop, want.stop);
  EXPECT_EQ(got.search, want.search);
  EXPECT_EQ(got.func, want.func);
  EXPECT_EQ(got.timer1, want.timer1);
}

const PortControls kStoppedControls{true, Background::Window, true, false, true, false, 0};
const PortControls kOpenControls{false, Background::ButtonFace, false, true, false, true, 100};

TEST(MainWindow, PortControlsFollowStartAndStop) {
  Harness<> h;
  Form1& f = h.form;
  {
    SCOPED_TRACE("after start-up");
    expectControls(f, kStoppedControls);
  }
  f.ComNo.text = u" 3";  // as the settings file writes it
  f.StartBtn_Click();
  {
    SCOPED_TRACE("port opened");
    expectControls(f, kOpenControls);
    EXPECT_EQ(h.fakes.serial.openedPorts(), std::vector<std::int16_t>{3});
    EXPECT_EQ(h.fakes.serial.written(), u"at#sy1=40\r");
    EXPECT_EQ(f.LineState, LS::Idle);
    EXPECT_EQ(f.PendingCmd, PC::StartPending);
    EXPECT_EQ(f.ReplyTimer, 20);
    EXPECT_EQ(f.RxLineCount, 0);
  }
  f.Text3.text = u"通信中\r\n";
  f.ReplyTimer = 4;
  f.StopBtn_Click();
  {
    SCOPED_TRACE("after stop");
    expectControls(f, kStoppedControls);
    EXPECT_FALSE(h.fakes.serial.isOpen());
    EXPECT_EQ(f.LineState, LS::Stopped);
    EXPECT_EQ(f.PendingCmd, PC::NoPending);
    EXPECT_EQ(f.Text3.text, u"");
    EXPECT_EQ(f.ReplyTimer, 4);                           // kept
    EXPECT_EQ(h.fakes.serial.written(), u"at#sy1=40\r");  // stop sends nothing
  }
}

TEST(MainWindow, PortThatCannotOpenChangesNothing) {
  struct Case {
    const char* name;
    Text comNo;
    LS state;
    bool messageShown;
  };
  const Case cases[] = {
      {"missing port", u"4", LS::Stopped, true},
      {"no number in the box", u"x", LS::Stopped, true},
      {"empty box", u"", LS::Stopped, true},
      {"while searching no box", u"4", LS::Searching, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness<> h;
    Form1& f = h.form;
    h.fakes.serial.setAvailablePorts({1, 2});
    f.ComNo.text = c.comNo;
    f.LineState = c.state;
    f.PendingCmd = PC::NoPending;
    if (c.state == LS::Searching) {
      EXPECT_FALSE(f.OpenPort());
    } else {
      f.StartBtn_Click();
      f.Command1_Click();
    }
    const std::vector<Text> expected =
        c.messageShown ? std::vector<Text>{kPortError, kPortError} : std::vector<Text>{};
    EXPECT_EQ(h.fakes.desktop.messages, expected);
    EXPECT_TRUE(h.fakes.serial.writes().empty());
    EXPECT_EQ(f.LineState, c.state);
    EXPECT_EQ(f.PendingCmd, PC::NoPending);
    expectControls(f, kStoppedControls);
  }
}

TEST(MainWindow, OpenPortOnAnOpenPortOnlyEnablesTheFunctionKey) {
  Harness<> h;
  Form1& f = h.form;
  h.openLine();
  f.FuncBtn.enabled = false;
  EXPECT_TRUE(f.OpenPort());
  EXPECT_TRUE(f.FuncBtn.enabled);
  EXPECT_EQ(h.fakes.serial.openedPorts().size(), 1u);
}

TEST(MainWindow, CommandLine) {
  struct Case {
    const char* name;
    LS state;
    Text typed;
    Text written;
    LS toState;
    PC toPending;
    std::int16_t replyTimer;
    Text status;
  };
  const Text kOld = u"前の表示\r\n";
  const Case cases[] = {
      {"from stopped opens and sends only the command", LS::Stopped, u"ati3", u"ati3\r", LS::Idle,
       PC::CommandPending, 100, u"コマンド送出中\r\n"},
      {"lower-case dial", LS::Idle, u"atd0123456789", u"atd0123456789\r", LS::Idle, PC::Dialing, 0,
       u"発信中\r\n"},
      {"upper-case dial is a plain command", LS::Idle, u"ATD0123", u"ATD0123\r", LS::Idle,
       PC::CommandPending, 100, u"コマンド送出中\r\n"},
      {"mixed-case prefix is a plain command", LS::Idle, u"aTd1", u"aTd1\r", LS::Idle,
       PC::CommandPending, 100, u"コマンド送出中\r\n"},
      {"on-line data goes raw", LS::OnlineData, u"hello", u"hello", LS::OnlineData, PC::NoPending,
       9, kOld},
      {"on-line voice goes raw", LS::OnlineVoice, u"#", u"#", LS::OnlineVoice, PC::NoPending, 9,
       kOld},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness<> h;
    Form1& f = h.form;
    if (c.state != LS::Stopped) {
      ASSERT_TRUE(f.OpenPort());
    }
    f.LineState = c.state;
    f.ReplyTimer = 9;
    f.RxLineCount = 3;
    f.Text3.text = kOld;
    f.Text2.text = c.typed;
    f.Command1_Click();
    EXPECT_EQ(h.fakes.serial.written(), c.written);
    EXPECT_EQ(f.LineState, c.toState);
    EXPECT_EQ(f.PendingCmd, c.toPending);
    EXPECT_EQ(f.ReplyTimer, c.replyTimer);
    EXPECT_EQ(f.RxLineCount, isOnline(c.state) ? 3 : 0);
    EXPECT_EQ(f.Text3.text, c.status);
    EXPECT_EQ(f.Text2.text, c.typed);  // kept after sending
    expectControls(f, kOpenControls);
  }
}

TEST(MainWindow, PortBoxKeyDown) {
  struct Case {
    Text box;
    std::int16_t key;
    Text expectedBox;
    std::int16_t expectedKey;
  };
  const Case cases[] = {
      {u" 3", kKeyUp, u"2", kKeyUp}, {u" 3", kKeyDown, u"4", kKeyDown},
      {u"1", kKeyUp, u"9", kKeyUp},  {u"9", kKeyDown, u"1", kKeyDown},
      {u"", kKeyUp, u"8", kKeyUp},   {u"", kKeyDown, u"1", kKeyDown},
      {u"9", kKeyUp, u"8", kKeyUp},  {u"-3", kKeyDown, u"7", kKeyDown},
      {u" 3", kKeyBack, u" 3", 0},   {u" 3", kKeyDelete, u" 3", 0},
      {u" 3", 65, u" 3", 65},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(toUtf8(c.box) + " key " + std::to_string(c.key));
    Harness<> h;
    h.form.ComNo.text = c.box;
    std::int16_t key = c.key;
    h.form.ComNo_KeyDown(key, 0);
    EXPECT_EQ(h.form.ComNo.text, c.expectedBox);
    EXPECT_EQ(key, c.expectedKey);
  }
}

TEST(MainWindow, PortBoxKeyPressTakesOnlyOneDigit) {
  struct Case {
    std::int16_t ch;
    Text expectedBox;
  };
  const Case cases[] = {{u'7', u"7"},  {u'1', u"1"}, {u'9', u"9"}, {u'0', u" 3"},
                        {u'a', u" 3"}, {8, u" 3"},   {13, u" 3"},  {u' ', u" 3"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ch);
    Harness<> h;
    h.form.ComNo.text = u" 3";
    std::int16_t key = c.ch;
    h.form.ComNo_KeyPress(key);
    EXPECT_EQ(h.form.ComNo.text, c.expectedBox);
    // The handler has already put the digit into the box, so the window
    // must never insert the key itself.
    EXPECT_EQ(key, 0);
  }
}

// Records the order of reads as well as writes.
class ReadLoggingFiles : public FakeFiles {
 public:
  std::optional<Text> readText(const Text& path) override {
    reads.push_back(key(path));
    return FakeFiles::readText(path);
  }
  std::vector<std::string> reads;
};

TEST(MainWindow, LoadReadsStoreThenSettingsFromTheProgramDirectory) {
  FakePlatform fakes;
  ReadLoggingFiles files;
  files.setProgramDirectory(u"/srv/ondrix");
  files.writeText(u"/srv/ondrix/brellin.ini",
                  u"\"at#sy1=40\"\r\n\"atu3v1q0\\v2#ps2=1\"\r\n7\r\n\"QV-X1\"\r\n"
                  u"\"\",\"\",\"0\"\r\n\"\"\r\n");
  files.writeText(
      u"/srv/ondrix/amp.dat",
      u" 0 \r\n 100 \r\n 5 \r\n 0 \r\n\"0311112222\",\"hello\",\"12/06 07:45\",\"\",\"\"\r\n");
  Form1 f({fakes.serial, fakes.timer1, fakes.timer2, fakes.clock, files, fakes.desktop});
  f.Form_Load();

  EXPECT_EQ(f.AppDir, u"/srv/ondrix");
  const std::vector<std::string> order{"/srv/ondrix/amp.dat", "/srv/ondrix/brellin.ini"};
  EXPECT_EQ(files.reads, order);
  EXPECT_EQ(f.ComNo.text, u" 7");
  EXPECT_EQ(f.ModemModel, u"QV-X1");
  EXPECT_EQ(f.MailStore.MailText[1], u"hello");
  // The port stays closed and the timers idle until the operator acts.
  EXPECT_FALSE(fakes.serial.isOpen());
  EXPECT_EQ(fakes.timer1.interval(), 0);
  EXPECT_EQ(fakes.timer2.interval(), 0);
}

TEST(MainWindow, UnloadDuringACallClosesThePortSilentlyThenWritesStoreThenSettings) {
  Harness<> h;
  Form1& f = h.form;
  f.Form_Load();
  h.openLine();
  f.LineState = LS::OnlineData;
  f.ComNo.text = u" 3";
  f.Timer2.setInterval(kEscapeGuardMs);
  f.Form_Unload();

  EXPECT_FALSE(h.fakes.serial.isOpen());
  EXPECT_EQ(h.fakes.serial.closeCount(), 1);
  EXPECT_TRUE(h.fakes.serial.writes().empty());
  EXPECT_EQ(h.fakes.files.currentDirectories(), std::vector<Text>{u"/opt/ondrix"});
  const std::vector<std::string> order{"/opt/ondrix/amp.dat", "/opt/ondrix/brellin.ini"};
  EXPECT_EQ(h.fakes.files.writeLog(), order);
  EXPECT_EQ(h.fakes.timer1.interval(), 0);
  EXPECT_EQ(h.fakes.timer2.interval(), 0);
  const auto settings = h.fakes.files.readText(u"/opt/ondrix/brellin.ini");
  ASSERT_TRUE(settings.has_value());
  EXPECT_NE(settings->find(u"\r\n3\r\n"), Text::npos);
}

}  // namespace
}  // namespace ondrix
