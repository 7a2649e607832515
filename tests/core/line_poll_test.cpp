// SPDX-License-Identifier: GPL-3.0-or-later
// The poll loop, driven through the fake line: line cutting, result codes,
// ring handling, reply collection, the quiet-tick countdown and the carrier.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "form1_harness.h"

namespace ondrix {
namespace {

// Records each call the poll loop makes, with the state it saw.
struct Call {
  std::string what;
  LineStateCode state;
  LineEventCode event;
  std::int16_t lineCount;
  std::int16_t replyTimer;
  Text rxBuffer;
};

class WatchedForm : public Form1 {
 public:
  using Form1::Form1;
  std::vector<Call> calls;
  // Optional reactions, to play the part of the called handlers.
  std::function<void()> onConnect;

  void HandleModemEvent() override { record("event"); }
  void IdentifyCaller() override { record("identify"); }
  void HandleConnect() override {
    record("connect");
    if (onConnect) onConnect();
  }
  void ScanAtml() override { record("scan"); }

  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& c : calls) out.push_back(c.what);
    return out;
  }

 private:
  void record(const char* what) {
    calls.push_back({what, LineState, LineEvent, RxLineCount, ReplyTimer, RxBuffer});
  }
};

class LinePoll : public ::testing::Test {
 protected:
  Harness<WatchedForm> h;
  WatchedForm& f = h.form;
  void SetUp() override { h.openLine(); }
};

using Names = std::vector<std::string>;

// --- result codes ---------------------------------------------------------

struct ResultCase {
  const char* name;
  // Printed by name, so test listings stay short.
  friend void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.name; }
  LineStateCode state;
  Text line;
  Names calls;
  LineEventCode event;  // as seen by the handler (None when not called)
};

class ResultCodes : public LinePoll, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(ResultCodes, RaiseTheirEvent) {
  const auto& c = GetParam();
  f.LineState = c.state;
  f.ReplyTimer = 7;
  h.tick(c.line + u"\r\n");
  EXPECT_EQ(f.names(), c.calls);
  if (!f.calls.empty() && f.calls[0].what == "event") {
    EXPECT_EQ(f.calls[0].event, c.event);
  }
}

INSTANTIATE_TEST_SUITE_P(
    LinePoll, ResultCodes,
    ::testing::Values(
        ResultCase{"OkWhileIdle", LineStateCode::Idle, u"OK", {"event"}, LineEventCode::Ok},
        ResultCase{"OkWhileStopped", LineStateCode::Stopped, u"OK", {"event"}, LineEventCode::Ok},
        ResultCase{"Error", LineStateCode::Idle, u"ERROR", {"event"}, LineEventCode::Error},
        ResultCase{
            "NoCarrier", LineStateCode::Idle, u"NO CARRIER", {"event"}, LineEventCode::CarrierLost},
        ResultCase{"EscapeOkInEscapeVoice",
                   LineStateCode::EscapeVoice,
                   u"+++OK",
                   {"event"},
                   LineEventCode::Ok},
        ResultCase{"EscapeOkInEscapeData",
                   LineStateCode::EscapeData,
                   u"+++OK",
                   {"event"},
                   LineEventCode::Ok},
        ResultCase{
            "EscapeOkWhileIdleIsNothing", LineStateCode::Idle, u"+++OK", {}, LineEventCode::None},
        ResultCase{"LowerCaseOkIsNothing", LineStateCode::Idle, u"ok", {}, LineEventCode::None},
        ResultCase{
            "OkWithTrailingBlankIsNothing", LineStateCode::Idle, u"OK ", {}, LineEventCode::None},
        ResultCase{
            "Connect", LineStateCode::RingingData, u"CONNECT", {"connect"}, LineEventCode::None},
        ResultCase{"ConnectWithSpeed",
                   LineStateCode::RingingData,
                   u"CONNECT 9600",
                   {"connect"},
                   LineEventCode::None},
        ResultCase{"ConnectWithBlankOnly",
                   LineStateCode::RingingData,
                   u"CONNECT ",
                   {"connect"},
                   LineEventCode::None},
        ResultCase{"ConnectedIsNotConnect",
                   LineStateCode::RingingData,
                   u"CONNECTED",
                   {},
                   LineEventCode::None}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinePoll, OkAndErrorStopTheCountdownAndAreNotCollected) {
  for (const Text line : {u"OK", u"ERROR"}) {
    f.calls.clear();
    f.LineState = LineStateCode::Idle;
    f.ReplyTimer = 5;
    f.RxLineCount = 0;
    h.tick(line + u"\r");
    EXPECT_EQ(f.ReplyTimer, 0);
    EXPECT_EQ(f.RxLineCount, 0);
    ASSERT_EQ(f.calls.size(), 1u);
    EXPECT_EQ(f.calls[0].replyTimer, 0);
  }
}

TEST_F(LinePoll, EscapeOkOutsideTheEscapeStatesIsCollectedAsAPlainLine) {
  f.LineState = LineStateCode::Idle;
  f.ReplyTimer = 5;
  h.tick(u"+++OK\r\n");
  EXPECT_EQ(f.ReplyTimer, 5);
  ASSERT_EQ(f.RxLineCount, 1);
  EXPECT_EQ(f.RxLines[0], u"+++OK");
}

// --- cutting lines ----------------------------------------------------------

TEST_F(LinePoll, LineSplitAcrossReadsIsOneLineInTheSecondTick) {
  f.LineState = LineStateCode::Idle;
  h.tick(u"O");
  EXPECT_TRUE(f.calls.empty());
  EXPECT_EQ(f.RxBuffer, u"O");
  h.tick(u"K\r\n");
  ASSERT_EQ(f.names(), Names{"event"});
  EXPECT_EQ(f.calls[0].event, LineEventCode::Ok);
  EXPECT_EQ(f.RxBuffer, u"\n");  // the LF of the pair waits for the next cut
}

struct CutCase {
  const char* name;
  // Printed by name, so test listings stay short.
  friend void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }
  Text input;
  std::vector<Text> lines;  // collected in RxLines
  Text left;                // RxBuffer afterwards
};

class Cutting : public LinePoll, public ::testing::WithParamInterface<CutCase> {};

TEST_P(Cutting, TakesEveryCompleteLine) {
  const auto& c = GetParam();
  f.LineState = LineStateCode::Idle;
  f.ReplyTimer = 50;
  h.tick(c.input);
  ASSERT_EQ(f.RxLineCount, static_cast<std::int16_t>(c.lines.size()));
  for (std::size_t i = 0; i < c.lines.size(); ++i) EXPECT_EQ(f.RxLines[i], c.lines[i]) << i;
  EXPECT_EQ(f.RxBuffer, c.left);
}

INSTANTIATE_TEST_SUITE_P(
    LinePoll, Cutting,
    ::testing::Values(CutCase{"CrLf", u"a\r\nb\r\n", {u"a", u"b"}, u"\n"},
                      CutCase{"LfCr", u"a\n\rb\n\r", {u"a", u"b"}, u"\r"},
                      CutCase{"CrOnly", u"a\rb\r", {u"a", u"b"}, u""},
                      CutCase{"LfOnly", u"a\nb\n", {u"a", u"b"}, u""},
                      CutCase{
                          "BlankLinesAreSkipped", u"\r\n\r\n\r\na\r\r\r\nb\n", {u"a", u"b"}, u""},
                      CutCase{"UnfinishedTailStays", u"a\r\nbc", {u"a"}, u"\nbc"},
                      CutCase{"OnlyLineEndsStay", u"\r\n\r\n", {}, u"\r\n\r\n"},
                      CutCase{"BlanksBelongToTheLine", u" a b \r", {u" a b "}, u""},
                      CutCase{"JapaneseText", u"０１２着信\r\n", {u"０１２着信"}, u"\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinePoll, LinesArriveOnlyWhenTheirEndArrives) {
  f.LineState = LineStateCode::Idle;
  f.ReplyTimer = 50;
  for (const Text chunk : {u"CALL", u"ING-ID=0", u"12/3"}) h.tick(chunk);
  EXPECT_EQ(f.RxLineCount, 0);
  h.tick(u"4\r\n");
  ASSERT_EQ(f.RxLineCount, 1);
  EXPECT_EQ(f.RxLines[0], u"CALLING-ID=012/34");
}

// --- collecting reply lines ---------------------------------------------------

TEST_F(LinePoll, TwentyFirstLineIsHandledButNotStored) {
  f.LineState = LineStateCode::Idle;
  f.ReplyTimer = 50;
  Text chunk;
  for (int i = 1; i <= 20; ++i) chunk += u"L" + decimal(i) + u"\r";
  h.tick(chunk);
  ASSERT_EQ(f.RxLineCount, 20);
  EXPECT_EQ(f.RxLines[19], u"L20");

  h.tick(u"L21\rERROR\r");
  EXPECT_EQ(f.RxLineCount, 20);
  EXPECT_TRUE(f.RxLines[20].empty());
  ASSERT_EQ(f.names(), Names{"event"});  // the line after the 21st still counts
  EXPECT_EQ(f.calls[0].event, LineEventCode::Error);
}

TEST_F(LinePoll, LinesAreCollectedOnlyWhileTheCountdownRuns) {
  f.LineState = LineStateCode::Idle;
  h.tick(u"stray\r\n");
  EXPECT_EQ(f.RxLineCount, 0);
  f.ReplyTimer = 3;
  h.tick(u"at#sn0?\r\n0123456789\r\nOK\r\n");
  ASSERT_EQ(f.RxLineCount, 2);
  EXPECT_EQ(f.RxLines[0], u"at#sn0?");
  EXPECT_EQ(f.RxLines[1], u"0123456789");
  ASSERT_EQ(f.calls.size(), 1u);
  EXPECT_EQ(f.calls[0].lineCount, 2);  // the handler sees both lines
}

// --- rings ------------------------------------------------------------------

TEST_F(LinePoll, RingResetsTheCallAndShowsTheHeading) {
  struct {
    Text line;
    LineStateCode state;
    Text heading;
  } const rings[] = {{u"RING", LineStateCode::RingingData, u"データ着信\r\n"},
                     {u"RING:VOICE", LineStateCode::RingingVoice, u"着信\r\n"}};
  for (const auto& r : rings) {
    f.LineState = LineStateCode::Idle;
    f.CallingId = u"0123";
    f.CallingSub = u"12";
    f.ConnectedId = u"987";
    f.ConnectedSub = u"msg";
    f.CallerStage = CallerStageCode::HandshakeSent;
    f.MailReceived = 1;
    f.PendingCmd = PendingCmdCode::Dialing;
    f.RxLineCount = 4;
    f.ReplyTimer = 0;
    f.Text3.text = u"old";
    h.tick(r.line + u"\r\n");
    EXPECT_EQ(f.LineState, r.state);
    EXPECT_EQ(f.ReplyTimer, 40);
    EXPECT_EQ(f.PendingCmd, PendingCmdCode::NoPending);
    EXPECT_EQ(f.CallerStage, CallerStageCode::Unknown);
    EXPECT_EQ(f.MailReceived, 0);
    for (const Text* t : {&f.CallingId, &f.CallingSub, &f.ConnectedId, &f.ConnectedSub}) {
      EXPECT_TRUE(t->empty());
    }
    // The ring line itself is the first collected line.
    EXPECT_EQ(f.RxLineCount, 1);
    EXPECT_EQ(f.RxLines[0], r.line);
    EXPECT_EQ(f.Text3.text, r.heading);
    EXPECT_EQ(f.Text3.caret, static_cast<int>(r.heading.size()));
  }
}

TEST_F(LinePoll, RingWithIdentityLinesIdentifiesTheCallerInTheSameTick) {
  f.LineState = LineStateCode::Idle;
  h.tick(u"RING\r\nCALLING-ID=0123456789/-\r\nCONNECTED-ID=987/CONTENTSPP-X01\r\n");
  ASSERT_EQ(f.names(), Names{"identify"});
  EXPECT_EQ(f.calls[0].lineCount, 3);
  EXPECT_EQ(f.calls[0].state, LineStateCode::RingingData);
  EXPECT_EQ(f.RxLines[2], u"CONNECTED-ID=987/CONTENTSPP-X01");
}

TEST_F(LinePoll, IdentificationRunsAgainForEveryFurtherLine) {
  f.LineState = LineStateCode::Idle;
  h.tick(u"RING:VOICE\r\nA\r\n");
  EXPECT_TRUE(f.calls.empty());
  h.tick(u"B\r\nC\r\n");
  EXPECT_EQ(f.names(), (Names{"identify", "identify"}));
  EXPECT_EQ(f.calls[1].lineCount, 4);
}

TEST_F(LinePoll, SecondRingRestartsTheCountersAndTheCountdown) {
  f.LineState = LineStateCode::Idle;
  h.tick(u"RING\r\nX\r\n");
  h.tick();  // one quiet tick
  EXPECT_EQ(f.ReplyTimer, 39);
  h.tick(u"RING\r\n");
  EXPECT_EQ(f.ReplyTimer, 40);
  EXPECT_EQ(f.RxLineCount, 1);
}

TEST_F(LinePoll, RingIsNotALineWhileOnline) {
  f.LineState = LineStateCode::OnlineData;
  h.tick(u"RING\r\n");
  EXPECT_EQ(f.LineState, LineStateCode::OnlineData);
  EXPECT_EQ(f.names(), Names{"scan"});
  EXPECT_EQ(f.RxBuffer, u"RING\r\n");  // the scanner decides what to consume
}

// --- on-line input ------------------------------------------------------------

TEST_F(LinePoll, ConnectThenMessageInOneChunkGoesToTheScannerInTheSameTick) {
  f.LineState = LineStateCode::RingingData;
  f.onConnect = [this] { f.LineState = LineStateCode::OnlineData; };
  h.tick(u"CONNECT 9600\r\n<ATML><HEAD><CON=8></HEAD></ATML>");
  ASSERT_EQ(f.names(), (Names{"connect", "scan"}));
  // The scanner sees the rest of the buffer after the CONNECT line; the LF of
  // its CR LF pair is left in front, since no further line was cut.
  EXPECT_EQ(f.calls[1].rxBuffer, u"\n<ATML><HEAD><CON=8></HEAD></ATML>");
}

TEST_F(LinePoll, ScannerRunsOncePerTickWithInputAndNotInQuietTicks) {
  f.LineState = LineStateCode::OnlineVoice;
  h.tick(u"*");
  h.tick();
  h.tick(u"#");
  EXPECT_EQ(f.names(), (Names{"scan", "scan"}));
  EXPECT_EQ(f.RxBuffer, u"*#");  // the stand-in scanner consumes nothing
}

// --- the quiet-tick countdown ----------------------------------------------------

TEST_F(LinePoll, CountdownRunsOutInAQuietTick) {
  f.LineState = LineStateCode::Idle;
  f.ReplyTimer = 1;
  h.tick();
  EXPECT_EQ(f.ReplyTimer, 0);
  ASSERT_EQ(f.names(), Names{"event"});
  EXPECT_EQ(f.calls[0].event, LineEventCode::ReplyTimeout);
  h.tick();  // stays at 0, no further event
  EXPECT_EQ(f.calls.size(), 1u);
}

TEST_F(LinePoll, CountdownDoesNotRunWhileInputArrives) {
  f.LineState = LineStateCode::Idle;
  f.ReplyTimer = 2;
  for (int i = 0; i < 10; ++i) h.tick(u"x");
  EXPECT_EQ(f.ReplyTimer, 2);
  EXPECT_TRUE(f.calls.empty());
  h.tick();
  h.tick();
  EXPECT_EQ(f.names(), Names{"event"});
}

TEST_F(LinePoll, CountdownAlsoRunsWithThePortClosed) {
  h.fakes.serial.close();
  h.fakes.serial.feed(u"OK\r\n");  // not read: the port is closed
  f.LineState = LineStateCode::RingingVoice;
  f.ReplyTimer = 40;
  for (int i = 0; i < 40; ++i) h.tick();
  ASSERT_EQ(f.names(), Names{"event"});
  EXPECT_EQ(f.calls[0].event, LineEventCode::ReplyTimeout);
  EXPECT_EQ(h.fakes.serial.pendingChunks(), 1u);
}

// --- carrier ------------------------------------------------------------------

TEST_F(LinePoll, CarrierDropIsLineEventFourInEveryState) {
  for (auto state : {LineStateCode::Stopped, LineStateCode::Idle, LineStateCode::OnlineData,
                     LineStateCode::EscapeVoice, LineStateCode::RingingVoice}) {
    f.calls.clear();
    f.LineState = state;
    h.fakes.serial.raiseCarrierChange(false);
    ASSERT_EQ(f.names(), Names{"event"});
    EXPECT_EQ(f.calls[0].event, LineEventCode::CarrierLost);
  }
}

TEST_F(LinePoll, CarrierUpWhileIdleIsADataRingWithoutTouchingTheCountdown) {
  f.LineState = LineStateCode::Idle;
  f.CallingId = u"0123";
  f.CallerStage = CallerStageCode::Answered;
  f.MailReceived = 1;
  f.PendingCmd = PendingCmdCode::CommandPending;
  f.RxLineCount = 3;
  f.ReplyTimer = 17;
  f.Text3.text = u"keep";
  h.fakes.serial.raiseCarrierChange(true);
  EXPECT_EQ(f.LineState, LineStateCode::RingingData);
  EXPECT_TRUE(f.CallingId.empty());
  EXPECT_EQ(f.CallerStage, CallerStageCode::Unknown);
  EXPECT_EQ(f.MailReceived, 0);
  EXPECT_EQ(f.PendingCmd, PendingCmdCode::NoPending);
  EXPECT_EQ(f.RxLineCount, 0);
  EXPECT_EQ(f.ReplyTimer, 17);
  EXPECT_EQ(f.Text3.text, u"keep");
  EXPECT_TRUE(f.calls.empty());
}

TEST_F(LinePoll, CarrierUpOutsideIdleOrOtherEventsChangeNothing) {
  for (auto state : {LineStateCode::Stopped, LineStateCode::Searching, LineStateCode::OnlineData}) {
    f.LineState = state;
    h.fakes.serial.raiseCarrierChange(true);
    EXPECT_EQ(f.LineState, state);
  }
  f.LineState = LineStateCode::Idle;
  h.fakes.serial.setCarrier(false);
  h.fakes.serial.raiseEvent(static_cast<CommEvent>(2));  // some other kind
  EXPECT_EQ(f.LineState, LineStateCode::Idle);
  EXPECT_TRUE(f.calls.empty());
}

// --- escape timer ------------------------------------------------------------------

TEST_F(LinePoll, EscapeTimerSendsPlusesOnceAndLeavesTheOnlineState) {
  struct {
    LineStateCode from, to;
  } const cases[] = {{LineStateCode::OnlineVoice, LineStateCode::EscapeVoice},
                     {LineStateCode::OnlineData, LineStateCode::EscapeData},
                     {LineStateCode::Idle, LineStateCode::Idle},
                     {LineStateCode::EscapeData, LineStateCode::EscapeData}};
  for (const auto& c : cases) {
    h.fakes.serial.clearWrites();
    f.LineState = c.from;
    f.PendingCmd = PendingCmdCode::Dialing;
    h.fakes.timer2.setInterval(kEscapeGuardMs);
    h.fakes.timer2.fire();
    h.fakes.timer2.fire();  // disarmed: no second "+++"
    EXPECT_EQ(h.fakes.serial.writes(), std::vector<Text>{u"+++"});
    EXPECT_EQ(h.fakes.timer2.interval(), 0);
    EXPECT_EQ(f.LineState, c.to);
    EXPECT_EQ(f.PendingCmd, c.from == c.to ? PendingCmdCode::Dialing : PendingCmdCode::NoPending);
  }
}

// --- bounded buffer -----------------------------------------------------------------

TEST_F(LinePoll, BufferKeepsTheNewestInputWhenItWouldOverflow) {
  f.LineState = LineStateCode::OnlineData;  // the stand-in scanner consumes nothing
  const Text block(20000, u'a');
  h.tick(block);
  h.tick(Text(20000, u'b'));
  ASSERT_EQ(f.RxBuffer.size(), kRxBufferLimit);
  EXPECT_EQ(f.RxBuffer.back(), u'b');
  EXPECT_EQ(f.RxBuffer.find(u'a'), 0u);
  EXPECT_EQ(f.RxBuffer.find(u'b'), kRxBufferLimit - 20000);
}

TEST_F(LinePoll, OverflowInCommandModeStillCutsTheNewestLines) {
  f.LineState = LineStateCode::Idle;
  h.tick(Text(40000, u'x'));  // one endless line
  EXPECT_EQ(f.RxBuffer.size(), kRxBufferLimit);
  h.tick(u"\rOK\r");
  ASSERT_EQ(f.names(), Names{"event"});
  EXPECT_EQ(f.RxBuffer, u"");
}

// Prints the cost of one tick on a full buffer, with the real handlers; it
// must stay far below the 100 ms tick period.
TEST(LinePollBenchmark, TickOnAFullBufferIsFast) {
  Harness<> h;
  h.openLine();
  Form1& f = h.form;
  struct Load {
    const char* name;
    Text chunk;
    LineStateCode state;
  };
  Text shortLines;
  while (shortLines.size() + 2 <= kRxBufferLimit) shortLines += u"x\r";
  Text okLines;
  while (okLines.size() + 3 <= kRxBufferLimit) okLines += u"OK\r";
  Text ringLines;
  while (ringLines.size() + 5 <= kRxBufferLimit) ringLines += u"RING\r";
  const Load loads[] = {{"no line end", Text(kRxBufferLimit, u'x'), LineStateCode::Idle},
                        {"short lines", shortLines, LineStateCode::Idle},
                        {"OK lines", okLines, LineStateCode::Idle},
                        {"RING lines", ringLines, LineStateCode::Idle},
                        {"on-line", Text(kRxBufferLimit, u'x'), LineStateCode::OnlineData}};
  for (const auto& load : loads) {
    f.RxBuffer.clear();
    f.LineState = load.state;
    f.ReplyTimer = 1000;
    const auto start = std::chrono::steady_clock::now();
    h.tick(load.chunk);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("[ benchmark ] tick on a full buffer (%s): %.3f ms\n", load.name, ms);
#if defined(NDEBUG)
    // Optimised builds only: the sanitizer build runs many times slower.
    EXPECT_LT(ms, 20.0) << load.name;
#endif
  }
}

}  // namespace
}  // namespace ondrix
