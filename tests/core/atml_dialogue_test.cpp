// SPDX-License-Identifier: GPL-3.0-or-later
// The on-line dialogue with a terminal: the scanner's items and the pages
// they are answered with, byte for byte.
#include <gtest/gtest.h>

#include "atml_expect.h"
#include "form1_harness.h"

namespace ondrix {
namespace {

using namespace expect;

const Text kMel[] = {u"<MEL=a,1>", u"<MEL=b,2>", u"<MEL=c,3>"};
const Text kImg0 = u"<IMAGE>RE9UAAgAAf8=</IMAGE>";

class Dialogue : public ::testing::Test {
 protected:
  Harness<> h;
  Form1& f = h.form;
  void SetUp() override {
    h.openLine();
    f.LineState = LineStateCode::OnlineData;
  }
  void offer(std::initializer_list<Text> melodies, std::initializer_list<Text> images) {
    f.MelodyCount = 0;
    for (const Text& m : melodies) f.MelodyPool[f.MelodyCount++] = m;
    f.ImageCount = 0;
    for (const Text& i : images) f.ImagePool[f.ImageCount++] = i;
  }
  // One tick with the item as new input; what the server wrote in it.
  Text send(const Text& item) {
    h.fakes.serial.clearWrites();
    h.tick(item);
    return h.fakes.serial.written();
  }
};

TEST_F(Dialogue, WalksThreeMelodiesAndOneImagePageByPage) {
  offer({kMel[0], kMel[1], kMel[2]}, {kImg0});
  EXPECT_EQ(send(kListRequest), listPage(kMel[0], kImg0, true));
  // The page goes out as separate writes, entries unchanged.
  EXPECT_EQ(h.fakes.serial.writes(),
            (std::vector<Text>{kTitle, kMel[0], kHeadEnd, kServer, kImg0, kStars, kLinksStart,
                               kSave, kNext, kLinksEnd}));
  EXPECT_EQ(send(kAck), Text()) << "an acknowledgement before the last page gets no reply";
  EXPECT_EQ(send(kNextPage), deliveryPage(u"<IL=02,00,></HEAD><BODY>", kMel[1], {}, /*next=*/true));
  EXPECT_EQ(send(kNextPageWithBody),
            deliveryPage(u"<IL=03,00,></HEAD><BODY>", kMel[2], {}, /*next=*/false));
  EXPECT_EQ(send(kAck), kReceiveEnd);
  EXPECT_EQ(f.PageIndex, 3);
  EXPECT_EQ(f.MailStore.MailText[1], Text()) << "no message of the walk is a mail";
}

TEST_F(Dialogue, EmptyPoolsEndTheUploadAndStillListAnEmptyPage) {
  EXPECT_EQ(send(u"<ATML><HEAD><CON=2></HEAD><BODY>hi</BODY></ATML>"), kSendEnd);
  EXPECT_EQ(send(kListRequest), listPage({}, {}, false));
}

TEST_F(Dialogue, UploadWithContentOnOfferIsAnsweredWithTheListPage) {
  offer({kMel[0]}, {});
  EXPECT_EQ(send(u"<ATML><HEAD><CON=4></HEAD><BODY>hi</BODY></ATML>"),
            listPage(kMel[0], {}, false));
  EXPECT_EQ(f.PageIndex, 1);
}

TEST_F(Dialogue, ShortcutStartsTheOfferAgainWithoutCountingAPage) {
  offer({kMel[0], kMel[1]}, {kImg0});
  send(kListRequest);
  send(kNextPage);
  EXPECT_EQ(send(kShortcutRequest), shortcutPage());
  EXPECT_EQ(f.PageIndex, 0);
  EXPECT_EQ(send(kNextPage), deliveryPage(u"<IL=01,00,></HEAD><BODY>", kMel[0], kImg0, true));
}

TEST_F(Dialogue, PageMarksHaveAtLeastTwoDigits) {
  const std::pair<std::int16_t, Text> marks[] = {{8, u"<IL=09,00,></HEAD><BODY>"},
                                                 {9, u"<IL=10,00,></HEAD><BODY>"},
                                                 {10, u"<IL=11,00,></HEAD><BODY>"}};
  for (const auto& [index, mark] : marks) {
    f.PageIndex = index;
    EXPECT_EQ(send(kNextPage), deliveryPage(mark, {}, {}, false)) << "PageIndex " << index;
  }
}

TEST_F(Dialogue, FixedRepliesAndUnknownMessages) {
  const std::pair<Text, Text> cases[] = {
      {kVersionRequest, kVersionPage},
      {u"<ATML><HEAD><CON=8><X></HEAD></ATML>", kVersionPage},
      {kFullNotice, kReceiveFull},
      {kDisconnect, kDisconnected},
      {u"<ATML><HEAD><CON=9></HEAD><BODY>x</BODY></ATML>", kAck},
      {u"<ATML><HEAD><WHAT></HEAD></ATML>", u""},
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(send(in), out) << toUtf8(in);
    EXPECT_EQ(f.RxBuffer, Text()) << toUtf8(in);
  }
}

// --- the scanner's items ----------------------------------------------------

struct ScanCase {
  const char* name;
  friend void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }
  CallerStageCode stage;
  Text input;
  Text written;
  Text left;  // RxBuffer afterwards
  CallerStageCode stageAfter;
  int escapeTimer;  // Timer2's interval afterwards
};

class Scanner : public Dialogue, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(Scanner, TakesOneItem) {
  const ScanCase& c = GetParam();
  h.fakes.serial.setCarrier(true);  // a call in progress on a line with a carrier signal
  f.CallerStage = c.stage;
  f.PageIndex = 5;  // an acknowledgement is then due its reply
  EXPECT_EQ(send(c.input), c.written);
  EXPECT_EQ(f.RxBuffer, c.left);
  EXPECT_EQ(f.CallerStage, c.stageAfter);
  EXPECT_EQ(h.fakes.timer2.interval(), c.escapeTimer);
}

using CS = CallerStageCode;
const Text kCodeCR = Text(u"@atml") + u"\r";

INSTANTIATE_TEST_SUITE_P(
    Items, Scanner,
    ::testing::Values(
        ScanCase{"LoginWord", CS::Unknown, u"TAVIXEXE", u"Password:", u"", CS::Unknown, 0},
        ScanCase{"AccessCode", CS::Unknown, u"BRQTLV&7", kCodeCR, u"", CS::Unknown, 0},
        ScanCase{"WhatStandsInFrontGoesWithTheItem", CS::Unknown, u"xxTAVIXEXEBRQ", u"Password:",
                 u"BRQ", CS::Unknown, 0},
        ScanCase{"OneItemPerTick", CS::Unknown, u"BRQTLV&7TAVIXEXE", kCodeCR, u"TAVIXEXE",
                 CS::Unknown, 0},
        ScanCase{"IncompleteMessageWaits", CS::Unknown, u"<ATML><HEAD><CON=8>", u"",
                 u"<ATML><HEAD><CON=8>", CS::Unknown, 0},
        ScanCase{"LoginWordInsideAMessageIsNotAWord", CS::Unknown, u"<ATML>TAVIXEXE", u"",
                 u"<ATML>TAVIXEXE", CS::Unknown, 0},
        ScanCase{"SecondOpeningRestartsTheMessage", CS::Unknown, u"<ATML><HEAD><CON=8>" + kAck,
                 kReceiveEnd, u"", CS::Unknown, 0},
        ScanCase{"StrayClosingTagIsThrownAway", CS::Unknown, u"junk</ATML>" + kVersionRequest,
                 kVersionPage, u"", CS::Unknown, 0},
        ScanCase{"StarAnsweredOnceTheCallIsAnswered", CS::Answered, u"*", u"#", u"",
                 CS::HandshakeSent, 0},
        ScanCase{"StarInAnotherStageIsData", CS::HandshakeSent, u"*", u"", u"*", CS::HandshakeSent,
                 0},
        ScanCase{"HashArmsTheEscape", CS::HandshakeSent, u"#", u"", u"", CS::HandshakeSent, 1200},
        ScanCase{"HashBeforeTheStarIsData", CS::Answered, u"#", u"", u"#", CS::Answered, 0},
        ScanCase{"NoCarrierTextWhileTheCarrierIsUpIsData", CS::Unknown, u"NO CARRIER", u"",
                 u"NO CARRIER", CS::Unknown, 0}));

// Without a carrier line the modem's "NO CARRIER" is the only sign that the
// call is gone: it ends the call, also in the middle of a message, and is
// not read again once the line is back in command mode.
TEST_F(Dialogue, NoCarrierWithTheCarrierDownEndsTheCall) {
  const std::pair<const char*, Text> cases[] = {
      {"between messages", u"\r\nNO CARRIER\r\n"},
      {"in the middle of an upload", u"<ATML><HEAD><CON=2></HEAD><BODY>hal\r\nNO CARRIER\r\n"},
  };
  for (const auto& [name, input] : cases) {
    Harness<> h;
    h.openLine();
    h.form.LineState = LineStateCode::OnlineData;
    h.form.Text3.text = u"通信中\r\n";
    h.tick(input);
    EXPECT_EQ(h.fakes.serial.written(), Text()) << name;
    EXPECT_EQ(h.form.LineState, LineStateCode::Idle) << name;
    EXPECT_EQ(h.form.Text3.text, u"通信終了\r\n") << name;
    EXPECT_EQ(h.form.RxBuffer, u"\r\n") << name;
    EXPECT_EQ(h.form.MailStore.MailText[1], Text()) << name;
  }
}

TEST_F(Dialogue, NoCarrierTextInsideAMessageIsData) {
  EXPECT_EQ(send(u"<ATML><HEAD><CON=9></HEAD><BODY>NO CARRIER</BODY></ATML>"), kAck);
  EXPECT_EQ(f.LineState, LineStateCode::OnlineData);
  EXPECT_EQ(f.MailStore.MailText[1], u"NO CARRIER");
}

// A burst of unterminated input keeps the dialogue alive: the buffer stays
// bounded and the next proper message is still answered.
TEST_F(Dialogue, LongGarbageWithoutAnEndDoesNotBlockTheNextMessage) {
  send(u"<ATML>" + Text(40000, u'x'));
  EXPECT_LE(f.RxBuffer.size(), kRxBufferLimit);
  EXPECT_EQ(send(kVersionRequest), kVersionPage);
}

}  // namespace
}  // namespace ondrix
