// Calls played against small fakes of the server, on a simulated clock.
#include "player.h"

#include <gmock/gmock.h>

#include <functional>

#include "atml.h"
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
  friend void PrintTo(const Outcome& c, std::ostream* os) { *os << c.name; }
};

class Verdict : public ::testing::TestWithParam<Outcome> {};

TEST_P(Verdict, SaysWhereTheServerWentWrong) {
  const Outcome& c = GetParam();
  const Played p = play(Script{"t", c.steps}, chunks(c.replies));
  EXPECT_EQ(p.passed, c.passes) << p.failure;
  EXPECT_THAT(p.failure, HasSubstr(c.failureSays));
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
                ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Player, EchoesInCommandModeOnlyAndDropsAFailedCallThatIsOnline) {
  const Played p = play(Script{"t", {send("RING"), expect("ata\r"), online(), expect("login:")}},
                        chunks({"ata\r", "no"}));
  EXPECT_FALSE(p.passed);
  // The echo of the answer, no echo of "no" once on-line, then the hang-up.
  EXPECT_EQ(p.sentByModem, "RINGata\r\r\nNO CARRIER\r\n");
}

// A server of our own that holds the terminal dialogue: one item per tick,
// pages in the order of the offer, no reply to an acknowledgement while
// pages remain.
class DialogueServer {
 public:
  explicit DialogueServer(Offer offer) : offer_(std::move(offer)) {}

  std::string operator()(const std::string& in) {
    buffer_ += in;
    if (!online_) {
      if (buffer_.find("CONTENTSPP-X01\r\n") != std::string::npos && !answered_) {
        answered_ = true;
        return "ata\r";
      }
      if (buffer_.find("CONNECT 9600\r\n") != std::string::npos) {
        online_ = true;
        buffer_.clear();
        return "login:";
      }
      return {};
    }
    for (const auto& [word, reply] :
         {std::pair<std::string, std::string>{"TAVIXEXE", "Password:"}, {"BRQTLV&7", "@atml\r"}}) {
      if (buffer_.rfind(word, 0) == 0) {
        buffer_.erase(0, word.size());
        return reply;
      }
    }
    const std::size_t end = buffer_.find("</ATML>");
    if (end == std::string::npos) return {};
    const std::string m = buffer_.substr(0, end + 7);
    buffer_.erase(0, end + 7);
    const std::size_t pages = offer_.pageCount();
    if (m.rfind("<ATML><HEAD><CON=8>", 0) == 0) return atml::versionPage();
    if (m.rfind("<ATML><HEAD><CON=2", 0) == 0) {
      if (offer_.empty()) return atml::sendEndPage();
      index_ = 1;
      return atml::listPage(offer_);
    }
    if (m.rfind("<ATML><HEAD><CON=0", 0) == 0) {
      index_ = 1;
      return atml::listPage(offer_);
    }
    if (m == atml::ack()) return index_ >= pages ? atml::receiveEndPage() : "";
    if (m == atml::nextPageRequest(1) || m == atml::nextPageRequest(2)) {
      return atml::deliveryPage(offer_, index_++);
    }
    if (m == atml::disconnectRequest()) return atml::disconnectedPage();
    return "unexpected message";
  }

 private:
  Offer offer_;
  std::string buffer_;
  bool online_ = false;
  bool answered_ = false;
  std::size_t index_ = 0;
};

class TerminalCall : public ::testing::TestWithParam<std::pair<std::size_t, std::size_t>> {};

TEST_P(TerminalCall, WalksThroughEveryOfferedPage) {
  CallOptions o;
  for (std::size_t i = 0; i < GetParam().first; ++i)
    o.offer.melodies.push_back("<MEL=" + std::to_string(i) + ">");
  for (std::size_t i = 0; i < GetParam().second; ++i)
    o.offer.images.push_back("<IMAGE>AAAA</IMAGE>");
  Script script;
  std::string error;
  ASSERT_TRUE(makeCall("terminal", o, script, error)) << error;
  const Played p = play(script, DialogueServer(o.offer));
  EXPECT_TRUE(p.passed) << p.failure;
  EXPECT_THAT(p.sentByModem, HasSubstr("\r\nNO CARRIER\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Offers, TerminalCall,
                         ::testing::Values(std::pair<std::size_t, std::size_t>{0, 0},
                                           std::pair<std::size_t, std::size_t>{1, 1},
                                           std::pair<std::size_t, std::size_t>{3, 1},
                                           std::pair<std::size_t, std::size_t>{0, 10}));

TEST(TerminalCall, FailsAtTheDeliveryPageWhenTheServerRepeatsTheListPage) {
  CallOptions o;
  o.offer.melodies = {"<MEL=0>", "<MEL=1>"};
  Script script;
  std::string error;
  ASSERT_TRUE(makeCall("terminal", o, script, error));
  DialogueServer good(o.offer);
  const Played p = play(script, [&](const std::string& in) {
    const std::string reply = good(in);
    // A server that never advances: the delivery page comes out as a list page.
    return reply == atml::deliveryPage(o.offer, 1) ? atml::listPage(o.offer) : reply;
  });
  EXPECT_FALSE(p.passed);
  EXPECT_THAT(p.failure, HasSubstr("(delivery page 2)"));
  EXPECT_THAT(p.failure, HasSubstr("<MEL=1>"));
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
