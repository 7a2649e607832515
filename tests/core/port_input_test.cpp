// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a port: input an earlier port left is never the next one's answer.
#include <gtest/gtest.h>

#include <vector>

#include "form1_harness.h"

namespace ondrix {
namespace {

using LS = LineStateCode;

// Port 1 names the wrong model and leaves half a line unread; glued to it,
// port 2's reply would read as the right model.
TEST(OpenPort, InputLeftByAnEarlierPortIsNoAnswerFromTheNext) {
  Harness<> h;
  Form1& f = h.form;
  h.fakes.serial.setAvailablePorts({1, 2});
  f.ScarchBtn_Click();
  h.tick(u"ati3\r\nQV-M9\r\nOK\r\nQV-");
  EXPECT_EQ(h.fakes.serial.openedPorts(), (std::vector<std::int16_t>{1, 2}));
  h.tick(u"M7\r\nOK\r\n");
  EXPECT_EQ(f.LineState, LS::Stopped);
  EXPECT_EQ(f.Text3.text, u"QV-M7が見つかりません\r\n");
}

TEST(OpenPort, OnlyAPortActuallyOpenedStartsWithNoInput) {
  Harness<> h;
  Form1& f = h.form;
  f.RxBuffer = u"CONNECT\r\nTAVI";
  f.RxLineCount = 4;
  f.StartBtn_Click();
  EXPECT_EQ(f.RxBuffer, u"");
  EXPECT_EQ(f.RxLineCount, 0);

  // On-line the send button writes to the open port; the input stays.
  f.LineState = LS::OnlineData;
  f.RxBuffer = u"TAVI";
  f.Command1_Click();
  EXPECT_EQ(f.RxBuffer, u"TAVI");
}

}  // namespace
}  // namespace ondrix
