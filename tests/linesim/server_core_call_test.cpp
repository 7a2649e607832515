// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's calls against the server's own handlers, tick by tick on
// a simulated clock: the offer pages, which the end-to-end tests cannot set
// up, are checked byte for byte here.
#include <gmock/gmock.h>
#include <iconv.h>

#include "call.h"
#include "form1_harness.h"
#include "player.h"

namespace linesim {
namespace {

using ondrix::Harness;
using ondrix::Text;

std::string iconvBytes(const char* to, const char* from, const std::string& in) {
  iconv_t cd = ::iconv_open(to, from);
  std::string src = in;
  std::string out(in.size() * 4 + 8, '\0');
  char* ip = src.data();
  char* op = out.data();
  std::size_t il = src.size();
  std::size_t ol = out.size();
  ::iconv(cd, &ip, &il, &op, &ol);
  ::iconv_close(cd);
  out.resize(out.size() - ol);
  return out;
}

// The line's bytes as the server's serial line hands them over, and back.
Text fromLine(const std::string& cp932) {
  const std::string le = iconvBytes("UTF-16LE", "CP932", cp932);
  Text t;
  for (std::size_t i = 0; i + 1 < le.size(); i += 2) {
    t += static_cast<char16_t>(static_cast<unsigned char>(le[i]) |
                               (static_cast<unsigned char>(le[i + 1]) << 8));
  }
  return t;
}

std::string toLine(const Text& t) {
  std::string le;
  for (char16_t c : t) {
    le += static_cast<char>(c & 0xFF);
    le += static_cast<char>(c >> 8);
  }
  return iconvBytes("CP932", "UTF-16LE", le);
}

struct Result {
  bool passed;
  std::string failure;
  std::size_t stored;  // records in the mail store
};

// Plays `name`, expecting `told`, against a server that offers `actual`:
// every 100 ms the simulator's bytes arrive in one poll tick and the
// server's writes go back.
Result playAgainstServer(const std::string& name, const Offer& told, const Offer& actual,
                         int refusals = 1) {
  Harness<> h;
  h.openLine();
  h.form.StartCommand = u"at#sy1=40";
  for (std::size_t i = 0; i < actual.melodies.size(); ++i) {
    h.form.MelodyPool[i] = fromLine(actual.melodies[i]);
  }
  for (std::size_t i = 0; i < actual.images.size(); ++i) {
    h.form.ImagePool[i] = fromLine(actual.images[i]);
  }
  h.form.MelodyCount = static_cast<std::int16_t>(actual.melodies.size());
  h.form.ImageCount = static_cast<std::int16_t>(actual.images.size());

  CallOptions options;
  options.offer = told;
  options.refusals = refusals;
  Script script;
  std::string error;
  if (!makeCall(name, options, script, error)) return {false, error, 0};
  CallPlayer player(script, [](const std::string&) {});
  CallPlayer::Millis now = 0;
  CallPlayer::Millis escapeArmedAt = -1;
  std::string toServer = player.start(now);
  while (player.running() && now < 60000) {
    h.tick(fromLine(toServer));
    // The escape guard runs on its own timer.
    if (h.fakes.timer2.interval() > 0) {
      if (escapeArmedAt < 0) escapeArmedAt = now;
      if (now - escapeArmedAt >= h.fakes.timer2.interval()) {
        h.fakes.timer2.fire();
        escapeArmedAt = -1;
      }
    }
    const std::string fromServer = toLine(h.fakes.serial.written());
    h.fakes.serial.clearWrites();
    now += 100;
    toServer = player.tick(now);
    if (!fromServer.empty()) toServer += player.receive(fromServer, now);
  }
  h.tick(fromLine(toServer));
  std::size_t stored = 0;
  for (const Text& t : h.form.MailStore.MailTime) stored += !t.empty();
  return {player.passed(), player.failure(), stored};
}

Offer offer(std::size_t melodies, std::size_t images) {
  Offer o;
  for (std::size_t i = 0; i < melodies; ++i)
    o.melodies.push_back("<MEL=T1" + std::to_string(i) + "0CDE>");
  for (std::size_t i = 0; i < images; ++i) {
    o.images.push_back("<IMAGE>RE9UAAgACDxCpYGlmU" + std::string(1, static_cast<char>('A' + i)) +
                       "8</IMAGE>");
  }
  return o;
}

struct Case {
  const char* name;
  const char* call;
  Offer offer;
  std::size_t stored;
  int refusals = 1;
  friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

class AgainstTheServer : public ::testing::TestWithParam<Case> {};

TEST_P(AgainstTheServer, EveryByteAsExpected) {
  const Result r =
      playAgainstServer(GetParam().call, GetParam().offer, GetParam().offer, GetParam().refusals);
  EXPECT_TRUE(r.passed) << r.failure;
  EXPECT_EQ(r.stored, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Calls, AgainstTheServer,
                         ::testing::Values(Case{"NothingOffered", "terminal", offer(0, 0), 1},
                                           Case{"OneOfEach", "terminal", offer(1, 1), 1},
                                           Case{"ThreeMelodiesOneImage", "terminal", offer(3, 1),
                                                1},
                                           Case{"TenImages", "terminal", offer(0, 10), 1},
                                           Case{"VoiceMessage", "voice", {}, 1},
                                           Case{"RingForNobody", "unanswered", {}, 0},
                                           Case{"RingForAnotherService", "other", {}, 0},
                                           Case{"HangupRefusedOnce", "hangup-error", {}, 1},
                                           Case{"HangupUnansweredTwice", "hangup-silent", {}, 1, 2},
                                           Case{"HangupNeverConfirmed", "hangup-error", {}, 1, 4},
                                           Case{"HangupNeverAnswered", "hangup-silent", {}, 1, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

// A server whose offer differs from what the caller was told fails the call
// at the first page that shows the difference.
TEST(AgainstTheServer, AnOfferTheCallerDidNotExpectFailsTheCall) {
  Offer actual = offer(2, 0);
  actual.melodies[1] = "<MEL=T999>";
  const Result r = playAgainstServer("terminal", offer(2, 0), actual);
  EXPECT_FALSE(r.passed);
  EXPECT_THAT(r.failure, ::testing::HasSubstr("(delivery page 2)"));
  EXPECT_THAT(r.failure, ::testing::HasSubstr("<MEL=T999>"));
}

}  // namespace
}  // namespace linesim
