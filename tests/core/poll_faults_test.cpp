// SPDX-License-Identifier: GPL-3.0-or-later
// Input the modem can send that once made the poll loop go wrong or slow.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "form1_harness.h"

namespace ondrix {
namespace {

// The "OK" that ends an auto-search closes the port and stops the poll; a
// ring in the same read must not leave a call nobody counts down.
TEST(PollFaults, RingInTheReadThatEndsTheSearchIsNotHandled) {
  Harness<> h;
  h.form.Form_Load();
  h.fakes.serial.setAvailablePorts({9});
  h.form.ScarchBtn_Click();
  h.tick(u"ati3\r\nQV-M6\r\nOK\r\nRING\r\n");
  EXPECT_EQ(h.form.LineState, LineStateCode::Stopped);
  EXPECT_EQ(h.form.Text3.text, u"QV-M7が見つかりません\r\n");
  EXPECT_EQ(h.form.ReplyTimer, 0);
  // The next search really searches again.
  h.form.ScarchBtn_Click();
  EXPECT_EQ(h.fakes.serial.openedPorts(), (std::vector<std::int16_t>{9, 9}));
  EXPECT_EQ(h.form.LineState, LineStateCode::Searching);
}

class CountingForm : public Form1 {
 public:
  using Form1::Form1;
  int events = 0;
  void HandleModemEvent() override {
    ++events;
    Form1::HandleModemEvent();
  }
};

// Repeated "OK"s to the own-number query show the reply once per tick, so a
// long reply is not copied into the status box once per line.
TEST(PollFaults, RepeatedOkToTheOwnNumberQueryIsJudgedOncePerTick) {
  Harness<CountingForm> h;
  h.openLine();
  CountingForm& f = h.form;
  f.LineState = LineStateCode::Idle;
  f.PendingCmd = PendingCmdCode::OwnNumberQuery;
  f.ReplyTimer = 5;
  const Text number(16000, u'7');
  Text oks;
  while (oks.size() + 8 + number.size() < kRxBufferLimit) oks += u"OK\rjunk\r";
  const auto start = std::chrono::steady_clock::now();
  h.tick(u"at#sn0?\r" + number + u"\r" + oks);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("[ benchmark ] own-number reply of %zu characters and %zu OK lines: %.3f ms\n",
              number.size(), oks.size() / 8, ms);
  EXPECT_EQ(f.events, 1);
  EXPECT_EQ(f.Text3.text, u"Ｆ０　自局番号\r\n" + number + u"\r\n");
  EXPECT_EQ(f.PendingCmd, PendingCmdCode::OwnNumberQuery);
  // The next tick judges again, and an "ERROR" still ends the query.
  h.tick(u"OK\rERROR\r");
  EXPECT_EQ(f.events, 3);
  EXPECT_EQ(f.PendingCmd, PendingCmdCode::NoPending);
  EXPECT_EQ(f.Text3.text, Text());
}

class IdentifyCountingForm : public Form1 {
 public:
  using Form1::Form1;
  int identifications = 0;
  void IdentifyCaller() override {
    ++identifications;
    Form1::IdentifyCaller();
  }
};

// Once twenty lines are collected, further lines of a ringing call change
// nothing the identification reads; running it again for each of them cost
// a rebuild from every collected line per line (a long identity line and a
// read full of short lines took seconds under the sanitizers).
TEST(PollFaults, LinesBeyondTheCollectedOnesDoNotRunTheIdentificationAgain) {
  const Text number(8000, u'5');
  struct Case {
    const char* name;
    Text ring;
    Text heading;
  };
  const Case cases[] = {
      {"data ring", u"RING", u"データ着信"},
      {"voice ring", u"RING:VOICE", u"着信"},
  };
  for (const auto& c : cases) {
    Harness<IdentifyCountingForm> h;
    h.openLine();
    IdentifyCountingForm& f = h.form;
    f.LineState = LineStateCode::Idle;
    Text read = c.ring + u"\r\nCALLING-ID=" + number + u"/12\r\n";
    while (read.size() + 3 < kRxBufferLimit) read += u"x\r\n";
    const auto start = std::chrono::steady_clock::now();
    h.tick(read);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "[ benchmark ] %s, %zu-character identity line and a read of short lines: %.3f ms\n",
        c.name, number.size(), ms);
    // Lines 3 to 20 each ran it once; none after them.
    EXPECT_EQ(f.identifications, kMaxRxLines - 2) << c.name;
    EXPECT_EQ(f.RxLineCount, kMaxRxLines) << c.name;
    EXPECT_EQ(f.Text3.text, c.heading + u"\r\n" + number + u"*12\r\n") << c.name;
    // A line the next read brings runs it once more, and a new ring still
    // starts over.
    h.tick(u"y\r\n");
    EXPECT_EQ(f.identifications, kMaxRxLines - 1) << c.name;
    h.tick(u"RING\r\nCALLING-ID=7\r\nz\r\n");
    EXPECT_EQ(f.identifications, kMaxRxLines) << c.name;
    EXPECT_EQ(f.CallingId, u"7") << c.name;
  }
}

}  // namespace
}  // namespace ondrix
