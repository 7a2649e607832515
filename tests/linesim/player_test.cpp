// SPDX-License-Identifier: GPL-3.0-or-later
// Calls played against small fakes of the server, on a simulated clock.
#include "player.h"

#include <gmock/gmock.h>

#include <functional>

#include "call.h"

namespace linesim {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// The far end of the line: gets what the simulator sends, answers on its
// next 100 ms tick.
using FakeServer = std::function<std::string(const std::string& received)>;

struct Played {
  bool passed = false;
  std::string failure;
  std::string sentByModem;  // everything the simulator wrote to the server
};

Played play(Script script, const FakeServer& server, CallPlayer::Millis limit = 60000) {
  CallPlayer player(std::move(script), [](const std::string&) {});
  Played p;
  CallPlayer::Millis now = 0;
  std::string toServer = player.start(now);
  while (player.running() && now < limit) {
    p.sentByModem += toServer;
    const std::string reply = server(toServer);
    now += 100;
    toServer = player.tick(now);
    if (!reply.empty()) toServer += player.receive(reply, now);
  }
  p.sentByModem += toServer;
  p.passed = player.passed();
  p.failure = player.failure();
  return p;
}

Step send(std::string bytes) { return {Step::Kind::Send, "send", std::move(bytes), 0, 0, false}; }
Step expect(std::string bytes, int limit = 1000, int earliest = 0) {
  return {Step::Kind::Expect, "reply", std::move(bytes), limit, earliest, false};
}
Step quiet(int ms) { return {Step::Kind::Quiet, "quiet", {}, ms, 0, false}; }
Step online() { return {Step::Kind::Online, "online", {}, 0, 0, false}; }
Step boot(int ms) { return {Step::Kind::Boot, "boot", {}, ms, 0, false}; }

// A server that answers "hello" with fixed chunks, one chunk per tick.
FakeServer chunks(std::vector<std::string> replies) {
  auto queue = std::make_shared<std::vector<std::string>>(std::move(replies));
  return [queue](const std::string&) {
    if (queue->empty()) return std::string();
    std::string next = queue->front();
    queue->erase(queue->begin());
    return next;
  };
}

struct Outcome {
  const char* name;
  std::vector<Step> steps;
  std::vector<std::string> replies;  // one per tick
  bool passes;
  const char* failureSays;
  const char* sentByModem = nullptr;  // checked when given
  friend void PrintTo(const Outcome& c, std::ostream* os) { *os << c.name; }
};

class Verdict : public ::testing::TestWithParam<Outcome> {};

TEST_P(Verdict, SaysWhereTheServerWentWrong) {
  const Outcome& c = GetParam();
  const Played p = play(Script{"t", c.steps}, chunks(c.replies));
  EXPECT_EQ(p.passed, c.passes) << p.failure;
  EXPECT_THAT(p.failure, HasSubstr(c.failureSays));
  if (c.sentByModem != nullptr) {
    EXPECT_EQ(p.sentByModem, c.sentByModem);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Player, Verdict,
    ::testing::Values(
        Outcome{"ReplyInPieces", {online(), expect("login:")}, {"lo", "", "gin", ":"}, true, ""},
        Outcome{"WrongByte",
                {online(), expect("login:"), expect("Password:")},
                {"login:", "Pass\x81\x9A"},
                false,
                "step 3 of 3 (reply):\n  first difference at byte 4 of 9\n"
                "  expected: \"Password:\"\n  received: \"Pass\\x81\\x9A\""},
        Outcome{"MissingReply",
                {online(), expect("@atml\r")},
                {"@at"},
                false,
                "timed out after 1000 ms with 3 of 6 bytes"},
        Outcome{"ReplyToAnItemThatWantsNone",
                {online(), quiet(400)},
                {"", "#"},
                false,
                "expected nothing for 400 ms\n  received after 200 ms: \"#\""},
        Outcome{"EscapeTooEarly",
                {online(), expect("+++", 3000, 1000)},
                {"", "+++"},
                false,
                "arrived after 200 ms, expected no earlier than 1000 ms"},
        Outcome{"EscapeInTime",
                {online(), expect("+++", 3000, 1000)},
                {"", "", "", "", "", "", "", "", "", "", "", "+++"},
                true,
                ""},
        // A booting modem neither echoes nor hears: only a start sent after
        // its silence counts.
        Outcome{"StartOnlyIntoTheBootSilence",
                {boot(500), expect("at\r")},
                {"at\r"},
                false,
                "timed out after 1000 ms with 0 of 3 bytes",
                ""},
        Outcome{"StartAgainAfterTheBoot",
                {boot(500), expect("at\r")},
                {"at\r", "", "", "", "", "at\r"},
                true,
                "",
                "at\r"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Player, EchoesInCommandModeOnlyAndDropsAFailedCallThatIsOnline) {
  const Played p = play(Script{"t", {send("RING"), expect("ata\r"), online(), expect("login:")}},
                        chunks({"ata\r", "no"}));
  EXPECT_FALSE(p.passed);
  // The echo of the answer, no echo of "no" once on-line, then the hang-up.
  EXPECT_EQ(p.sentByModem, "RINGata\r\r\nNO CARRIER\r\n");
}

TEST(Calls, UnknownNamesAndOversizedOffersAreRefused) {
  Script script;
  std::string error;
  EXPECT_FALSE(makeCall("fax", CallOptions{}, script, error));
  EXPECT_THAT(error, HasSubstr("fax"));
  CallOptions o;
  o.offer.images.assign(11, "<IMAGE>AAAA</IMAGE>");
  EXPECT_FALSE(makeCall("terminal", o, script, error));
  EXPECT_THAT(error, HasSubstr("ten"));
  EXPECT_THAT(error, Not(IsEmpty()));
}

}  // namespace
}  // namespace linesim
