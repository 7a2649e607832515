// SPDX-License-Identifier: GPL-3.0-or-later
// Identification of a ringing call from the modem's identity lines, and the
// decision to answer it, played through the poll loop line by line.
#include <gtest/gtest.h>

#include "form1_harness.h"

namespace ondrix {
namespace {

struct IdCase {
  const char* name;
  friend void PrintTo(const IdCase& c, std::ostream* os) { *os << c.name; }
  Text ring;
  std::vector<Text> lines;  // after the ring line
  Text status;              // Text3 afterwards
  bool answered;            // "ata" CR written
  CallerStageCode stage;
  Text callingId;
  Text connectedSub;
};

const Text kAta = Text(u"ata") + CR;

class Identification : public ::testing::TestWithParam<IdCase> {};

TEST_P(Identification, ShowsTheCallerAndAnswersOnlyItsOwnCalls) {
  const IdCase& c = GetParam();
  Harness<> h;
  h.openLine();
  h.form.LineState = LineStateCode::Idle;
  h.tick(c.ring + u"\r\n");
  for (const Text& line : c.lines) h.tick(line + u"\r\n");

  EXPECT_EQ(h.form.Text3.text, c.status);
  EXPECT_EQ(h.form.Text3.caret, static_cast<std::int32_t>(c.status.size()));
  EXPECT_EQ(h.fakes.serial.written(), c.answered ? kAta : Text());
  EXPECT_EQ(h.form.CallerStage, c.stage);
  EXPECT_EQ(h.form.CallingId, c.callingId);
  EXPECT_EQ(h.form.ConnectedSub, c.connectedSub);
  if (c.answered) {
    EXPECT_EQ(h.form.RxLineCount, 0);
  }
}

using CS = CallerStageCode;

INSTANTIATE_TEST_SUITE_P(
    Calls, Identification,
    ::testing::Values(IdCase{"DataCallToTheContentService",
                             u"RING",
                             {u"CALLING-ID=0123456789/-", u"CONNECTED-ID=987/CONTENTSPP-X01"},
                             u"データ着信\r\n0123456789\r\n",
                             true,
                             CS::Unknown,
                             u"0123456789",
                             u"CONTENTSPP-X01"},
                      IdCase{"OneLeadingCharacterBeforeTheService",
                             u"RING",
                             {u"CALLING-ID=0123456789/-", u"CONNECTED-ID=987/#CONTENTSPP-X01"},
                             u"データ着信\r\n0123456789\r\n",
                             true,
                             CS::Unknown,
                             u"0123456789",
                             u"#CONTENTSPP-X01"},
                      IdCase{"TwoLeadingCharactersAreAnotherService",
                             u"RING",
                             {u"CALLING-ID=0123456789/-", u"CONNECTED-ID=987/##CONTENTSPP-X01"},
                             u"データ着信\r\n0123456789\r\n",
                             false,
                             CS::Unknown,
                             u"0123456789",
                             u"##CONTENTSPP-X01"},
                      IdCase{"TrailingCharacterIsAnotherService",
                             u"RING",
                             {u"CALLING-ID=0123456789/-", u"CONNECTED-ID=987/CONTENTSPP-X010"},
                             u"データ着信\r\n0123456789\r\n",
                             false,
                             CS::Unknown,
                             u"0123456789",
                             u"CONTENTSPP-X010"},
                      IdCase{"LettersOnAVoiceCallAreAMessage",
                             u"RING:VOICE",
                             {u"CALLING-ID=0123456789/-", u"CONNECTED-ID=987/CONTENTSPP-X01"},
                             u"着信\r\n0123456789\r\n",
                             true,
                             CS::Answered,
                             u"0123456789",
                             u"CONTENTSPP-X01"},
                      IdCase{"DialCharactersOnAVoiceCallAreNoMessage",
                             u"RING:VOICE",
                             {u"CALLING-ID=0123456789", u"CONNECTED-ID=987/12-34.5#*"},
                             u"着信\r\n0123456789\r\n",
                             false,
                             CS::Unknown,
                             u"0123456789",
                             u"12-34.5#*"},
                      IdCase{"CallerSubaddressIsShown",
                             u"RING",
                             {u"CALLING-ID=0123456789/12", u"OTHER"},
                             u"データ着信\r\n0123456789*12\r\n",
                             false,
                             CS::Unknown,
                             u"0123456789",
                             u""},
                      IdCase{"AbsentNumberAndSubaddressShowOnlyTheHeading",
                             u"RING",
                             {u"CALLING-ID=-/-", u"OTHER"},
                             u"データ着信\r\n",
                             false,
                             CS::Unknown,
                             u"-",
                             u""},
                      IdCase{"RepeatedLinesJoinTheirValues",
                             u"RING",
                             {u"CALLING-ID=7", u"CALLING-ID=8"},
                             u"データ着信\r\n78\r\n",
                             false,
                             CS::Unknown,
                             u"78",
                             u""},
                      IdCase{"FurtherSlashesBelongToTheSubaddress",
                             u"RING",
                             {u"CALLING-ID=1=2/3/4", u"X"},
                             u"データ着信\r\n1=2*3/4\r\n",
                             false,
                             CS::Unknown,
                             u"1=2",
                             u""},
                      IdCase{"KeywordsAreCaseSensitiveAndAnchored",
                             u"RING",
                             {u"calling-id=5", u" CALLING-ID=6"},
                             u"データ着信\r\n",
                             false,
                             CS::Unknown,
                             u"",
                             u""},
                      IdCase{"UnrelatedLinesLeaveEverythingEmpty",
                             u"RING",
                             {u"FOO", u"BAR"},
                             u"データ着信\r\n",
                             false,
                             CS::Unknown,
                             u"",
                             u""}));

// The ring line and one more line are not enough to identify the call.
TEST(IdentificationTiming, WaitsForTwoLinesAfterTheRing) {
  Harness<> h;
  h.openLine();
  h.form.LineState = LineStateCode::Idle;
  h.tick(u"RING\r\nCONNECTED-ID=987/CONTENTSPP-X01\r\n");
  EXPECT_EQ(h.fakes.serial.written(), Text());
  h.tick(u"CALLING-ID=5\r\n");
  EXPECT_EQ(h.fakes.serial.written(), kAta);
}

}  // namespace
}  // namespace ondrix
