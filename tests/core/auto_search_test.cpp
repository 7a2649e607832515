// SPDX-License-Identifier: GPL-3.0-or-later
// The modem auto-search: the ports it tries, the modem it starts, its stop.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "form1_harness.h"

namespace ondrix {
namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;

const Text kFound = u"QV-M7が見つかました\r\n";
const Text kNotFound = u"QV-M7が見つかりません\r\n";

struct Search {
  Harness<> h;
  Form1& f = h.form;
  // What the modem on each port answers to "ati3"; a port without an entry
  // stays silent.
  std::map<std::int16_t, Text> answers;
  int ticks = 0;

  // Clicks the button and lets the poll loop run until the search is over.
  void run() {
    std::size_t seen = 0;
    f.ScarchBtn_Click();
    for (;;) {
      const auto& opened = h.fakes.serial.openedPorts();
      if (opened.size() > seen) {
        seen = opened.size();
        if (const auto it = answers.find(opened.back()); it != answers.end()) {
          h.fakes.serial.feed(it->second);
        }
      }
      if (f.LineState != LS::Searching || ticks > 200) return;
      h.fakes.timer1.fire();
      ++ticks;
    }
  }
};

Text model(const Text& name) { return u"ati3\r\n" + name + u"\r\nOK\r\n"; }

std::vector<std::int16_t> ports(std::initializer_list<std::int16_t> p) { return p; }

TEST(AutoSearch, Scenarios) {
  struct Case {
    const char* name;
    Text comNoBefore;
    std::set<std::int16_t> available;
    std::map<std::int16_t, Text> answers;
    std::vector<std::int16_t> opened;
    bool found;
    Text comNoAfter;
    int ticks;  // poll ticks until the search ended
  };
  const Case cases[] = {
      {"modem on 3, ports 1 and 2 missing",
       u"1",
       {3, 4, 5, 6, 7, 8, 9},
       {{3, model(u"QV-M7")}},
       ports({3}),
       true,
       u"3",
       1},
      {"wrong model on 2, right one on 3",
       u"1",
       {2, 3},
       {{2, model(u"QV-M9")}, {3, model(u"QV-M7")}},
       ports({2, 3}),
       true,
       u"3",
       2},
      {"box showing 9 still starts at 1",
       u" 9",
       {1, 2, 3, 4, 5, 6, 7, 8, 9},
       {{1, model(u"QV-M7")}},
       ports({1}),
       true,
       u"1",
       1},
      {"wrong model everywhere",
       u"1",
       {1, 2, 3, 4, 5, 6, 7, 8, 9},
       {{1, model(u"X")},
        {2, model(u"X")},
        {3, model(u"X")},
        {4, model(u"X")},
        {5, model(u"X")},
        {6, model(u"X")},
        {7, model(u"X")},
        {8, model(u"X")},
        {9, model(u"X")}},
       ports({1, 2, 3, 4, 5, 6, 7, 8, 9}),
       false,
       u"9",
       9},
      {"silent modem gets five quiet ticks", u"1", {4}, {}, ports({4}), false, u"9", 5},
      {"ERROR moves on", u"1", {6}, {{6, u"ati3\r\nERROR\r\n"}}, ports({6}), false, u"9", 1},
      {"no port at all: nine attempts in one click", u"1", {}, {}, ports({}), false, u"9", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Search s;
    s.h.fakes.serial.setAvailablePorts(c.available);
    s.answers = c.answers;
    s.f.ComNo.text = c.comNoBefore;
    s.run();

    EXPECT_EQ(s.h.fakes.serial.openedPorts(), c.opened);
    EXPECT_TRUE(s.h.fakes.desktop.messages.empty());
    EXPECT_EQ(s.f.ComNo.text, c.comNoAfter);
    EXPECT_EQ(s.ticks, c.ticks);
    Text ati3s;
    for (std::size_t i = 0; i < c.opened.size(); ++i) ati3s += u"ati3\r";
    if (c.found) {
      EXPECT_EQ(s.f.Text3.text, kFound);
      EXPECT_EQ(s.f.LineState, LS::Idle);
      EXPECT_EQ(s.f.PendingCmd, PC::StartPending);
      EXPECT_EQ(s.h.fakes.serial.written(), ati3s + u"at#sy1=40\r");
      EXPECT_TRUE(s.h.fakes.serial.isOpen());
      EXPECT_EQ(s.f.Timer1.interval(), kPollIntervalMs);
      EXPECT_TRUE(s.f.StopBtn.enabled);
      EXPECT_FALSE(s.f.StartBtn.enabled);
    } else {
      EXPECT_EQ(s.f.Text3.text, kNotFound);
      EXPECT_EQ(s.f.LineState, LS::Stopped);
      EXPECT_EQ(s.f.PendingCmd, PC::NoPending);
      EXPECT_EQ(s.h.fakes.serial.written(), ati3s);
      EXPECT_FALSE(s.h.fakes.serial.isOpen());
      EXPECT_EQ(s.f.Timer1.interval(), 0);
      EXPECT_TRUE(s.f.StartBtn.enabled);
      EXPECT_FALSE(s.f.StopBtn.enabled);
      EXPECT_TRUE(s.f.ScarchBtn.enabled);
      EXPECT_TRUE(s.f.ComNo.enabled);
    }
  }
}

// Records every port the search selects.
class SelectLoggingLine : public FakeSerialLine {
 public:
  bool selectPort(std::int16_t port) override {
    selected.push_back(port);
    return FakeSerialLine::selectPort(port);
  }
  std::vector<std::int16_t> selected;
};

TEST(AutoSearch, WithoutAnyPortItTriesOneToNineOnceEachInOneClick) {
  FakePlatform fakes;
  SelectLoggingLine line;
  line.setAvailablePorts({});
  Form1 f({line, fakes.timer1, fakes.timer2, fakes.clock, fakes.files, fakes.desktop});
  f.ComNo.text = u" 5";
  f.ScarchBtn_Click();
  EXPECT_EQ(line.selected, ports({1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(f.Text3.text, kNotFound);
  EXPECT_EQ(f.LineState, LS::Stopped);
  EXPECT_TRUE(fakes.desktop.messages.empty());
}

TEST(AutoSearch, FoundModemIsStartedAndSetUp) {
  Search s;
  s.h.fakes.serial.setAvailablePorts({3});
  s.answers = {{3, model(u"QV-M7")}};
  s.run();
  s.h.tick(u"at#sy1=40\r\nOK\r\n");
  EXPECT_EQ(s.h.fakes.serial.written(), u"ati3\rat#sy1=40\ratu3v1q0\\v2#ps2=1\r");
  EXPECT_EQ(s.f.PendingCmd, PC::NoPending);
  EXPECT_EQ(s.f.Text3.text, kFound);  // the start-up itself shows nothing
}

TEST(AutoSearch, WhileWaitingThePortControlsAreOpenAndStopAbortsIt) {
  Search s;
  s.h.fakes.serial.setAvailablePorts({4});
  s.f.Text3.text = u"前の表示\r\n";
  s.f.ScarchBtn_Click();
  EXPECT_EQ(s.f.LineState, LS::Searching);
  EXPECT_EQ(s.f.ComNo.text, u"4");
  EXPECT_EQ(s.f.ReplyTimer, 5);
  EXPECT_EQ(s.f.Text3.text, u"");
  EXPECT_FALSE(s.f.ScarchBtn.enabled);
  EXPECT_FALSE(s.f.StartBtn.enabled);
  EXPECT_TRUE(s.f.StopBtn.enabled);

  s.f.StopBtn_Click();
  EXPECT_EQ(s.f.LineState, LS::Stopped);
  EXPECT_FALSE(s.h.fakes.serial.isOpen());
  // A late answer is never read: the poll loop no longer runs.
  s.h.fakes.serial.feed(model(u"QV-M7"));
  s.h.fakes.timer1.fire();
  EXPECT_EQ(s.f.LineState, LS::Stopped);
  EXPECT_EQ(s.f.Text3.text, u"");
}

}  // namespace
}  // namespace ondrix
