// SPDX-License-Identifier: GPL-3.0-or-later
// The state at start, the fixed values of its codes, and a new record's shift.
#include <gtest/gtest.h>

#include "form1_harness.h"

namespace ondrix {
namespace {

TEST(ConnectionState, StartsStoppedWithEverythingEmpty) {
  Harness<> h;
  const Form1& f = h.form;
  EXPECT_EQ(f.LineState, LineStateCode::Stopped);
  EXPECT_EQ(f.PendingCmd, PendingCmdCode::NoPending);
  EXPECT_EQ(f.LineEvent, LineEventCode::None);
  EXPECT_EQ(f.CallerStage, CallerStageCode::Unknown);
  for (std::int16_t v : {f.BrowseIndex, f.ReplyTimer, f.RxLineCount, f.MailReceived, f.MelodyCount,
                         f.ImageCount, f.PageIndex}) {
    EXPECT_EQ(v, 0);
  }
  for (const Text* t : {&f.DialNumber, &f.LastDialNumber, &f.CallingId, &f.CallingSub,
                        &f.ConnectedId, &f.ConnectedSub, &f.RxBuffer, &f.AppDir}) {
    EXPECT_TRUE(t->empty());
  }
  for (const auto& line : f.RxLines) EXPECT_TRUE(line.empty());
  EXPECT_EQ(f.Timer1.interval(), 0);
  EXPECT_EQ(f.Timer2.interval(), 0);
}

TEST(ConnectionState, CodesHaveTheirFixedValues) {
  EXPECT_EQ(static_cast<int>(LineStateCode::RingingVoice), 11);
  EXPECT_EQ(static_cast<int>(LineStateCode::EscapeData), 24);
  EXPECT_EQ(static_cast<int>(PendingCmdCode::NumberEntry), 18);
  EXPECT_EQ(static_cast<int>(PendingCmdCode::HangupPending), 21);
  EXPECT_EQ(static_cast<int>(LineEventCode::CarrierLost), 4);
  static_assert(sizeof(LineStateCode) == 2 && sizeof(PendingCmdCode) == 2);
}

TEST(MailStoreArrays, NewRecordShiftsAllFiveColumnsAndDropsSlot100) {
  MailStoreArrays s;
  for (int i = 1; i <= kMailSlots; ++i) {
    s.MailCaller[i] = u"c" + decimal(i);
    s.MailText[i] = u"t" + decimal(i);
    s.MailTime[i] = u"m" + decimal(i);
    s.MailMelody[i] = u"l" + decimal(i);
    s.MailImage[i] = u"i" + decimal(i);
  }
  s.makeRoomAtSlot1();
  EXPECT_EQ(s.MailCaller[2], u"c1");
  EXPECT_EQ(s.MailText[100], u"t99");
  EXPECT_EQ(s.MailTime[51], u"m50");
  EXPECT_EQ(s.MailMelody[3], u"l2");
  EXPECT_EQ(s.MailImage[100], u"i99");
  EXPECT_EQ(s.MailText[1], u"t1");  // kept until overwritten
  EXPECT_TRUE(s.MailText[0].empty());
}

}  // namespace
}  // namespace ondrix
