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

}  // namespace
}  // namespace ondrix
