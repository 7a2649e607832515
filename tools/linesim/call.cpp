// SPDX-License-Identifier: GPL-3.0-or-later
// The scripts of the calls the simulator plays, built step by step.
#include "call.h"

#include "cp932.h"
#include "modem.h"
#include "texts.h"

namespace linesim {

namespace {

using namespace texts;
using Kind = Step::Kind;

// An 8 x 8 smiling face in the terminal's bitmap layout ("DOT", 0, 8, 0, 8,
// then one byte per row), Base64.
constexpr const char* kSmileBase64 = "RE9UAAgACDxCpYGlmUI8";

// The pool holds ten entries of each kind.
constexpr std::size_t kMaxOffered = 10;

class Builder {
 public:
  explicit Builder(Script& s) : s_(s) {}

  void modem(const std::string& what, const std::string& bytes, int pauseMs = 0) {
    s_.steps.push_back({Kind::Send, what, bytes, pauseMs, 0, false});
  }
  void resultLine(const std::string& text, int pauseMs = 0) {
    modem(text, linesim::resultLine(toCp932(text)), pauseMs);
  }
  void terminal(const std::string& what, const std::string& bytes) {
    s_.steps.push_back({Kind::Send, what, bytes, 0, 0, true});
  }
  void expect(const std::string& what, const std::string& bytes, int limitMs = kReplyLimitMs,
              int earliestMs = 0) {
    s_.steps.push_back({Kind::Expect, what, bytes, limitMs, earliestMs, false});
  }
  void quiet(const std::string& what, int ms) {
    s_.steps.push_back({Kind::Quiet, what, {}, ms, 0, false});
  }
  void online() { s_.steps.push_back({Kind::Online, "carrier up", {}, 0, 0, false}); }
  void dialing() { s_.steps.push_back({Kind::Dialing, "dialling", {}, 0, 0, false}); }
  void command() { s_.steps.push_back({Kind::Command, "command mode", {}, 0, 0, false}); }
  void unplug(int ms, bool withLink) {
    s_.steps.push_back({withLink ? Kind::Unlink : Kind::Unplug,
                        withLink ? "device and link removed" : "device removed",
                        {},
                        ms,
                        0,
                        false});
  }
  void boot(int ms) { s_.steps.push_back({Kind::Boot, "modem booting", {}, ms, 0, false}); }

  // The ring and the identity lines a verbose modem reports for it.
  void ring(const char* ringLine, const CallOptions& o, const std::string& callingSub,
            const std::string& connectedSub) {
    resultLine(ringLine);
    resultLine(std::string(kCallingIdKey) + o.callingId + "/" + callingSub);
    resultLine(std::string(kConnectedIdKey) + o.connectedId + "/" + connectedSub);
  }
  // The server answers: its command comes back as the modem's echo.
  void answered() { expect("answer", std::string(kAnswer) + "\r"); }

  // From the carrier up to the ATML prompt.
  void login() {
    online();
    expect("login prompt", toCp932(kLoginPrompt));
    terminal("login word", toCp932(kLoginWord));
    expect("password prompt", toCp932(kPasswordPrompt));
    terminal("access code", toCp932(kAccessCode));
    expect("ATML prompt", toCp932(kAtmlPrompt) + "\r");
    terminal("version request", atml::versionRequest());
    expect("version page", atml::versionPage());
  }

  void hangUp(int pauseMs = 200) {
    command();
    resultLine(kNoCarrier, pauseMs);
  }

 private:
  Script& s_;
};

std::string orDefault(const std::string& given, const char* fallback) {
  return given.empty() ? fallback : given;
}

void terminalCall(Builder& b, const CallOptions& o) {
  b.ring(kRing, o, orDefault(o.callingSub, "-"), orDefault(o.subaddress, kContentService));
  b.answered();
  b.resultLine("CONNECT 9600", 100);
  b.login();

  b.terminal("mail upload", atml::mailUpload(o.mail));
  if (o.offer.empty()) {
    b.expect("send-end page (nothing offered)", atml::sendEndPage());
  } else {
    b.expect("list page after the upload", atml::listPage(o.offer));
  }
  b.terminal("list request", atml::listRequest());
  b.expect("list page", atml::listPage(o.offer));
  for (std::size_t page = 1; page < o.offer.pageCount(); ++page) {
    const std::string n = std::to_string(page + 1);
    b.terminal("acknowledgement of page " + std::to_string(page), atml::ack());
    b.quiet("no reply while pages remain", kNoReplyMs);
    b.terminal("next page request", atml::nextPageRequest(page));
    b.expect("delivery page " + n, atml::deliveryPage(o.offer, page));
  }
  b.terminal("acknowledgement of the last page", atml::ack());
  b.expect("receive-end page", atml::receiveEndPage());
  b.terminal("disconnect request", atml::disconnectRequest());
  b.expect("disconnected page", atml::disconnectedPage());
  b.hangUp();
  b.quiet("nothing after the hang-up", 500);
}

// A voice call with a message, up to the server's hang-up command.
void voiceMessageUpToHangup(Builder& b, const CallOptions& o) {
  b.ring(kRingVoice, o, orDefault(o.callingSub, "12"), orDefault(o.subaddress, "CALL ME 5PM"));
  b.answered();
  b.resultLine(kConnect, 100);
  b.online();
  b.expect("greeting", kVoiceHello);
  b.terminal("greeting", kVoiceHello);
  b.expect("closing", kVoiceBye);
  b.terminal("closing", kVoiceBye);
  // The server waits 1.2 s before it escapes to command mode.
  b.expect("escape", kEscape, kReplyLimitMs, 1000);
  b.command();
  b.resultLine(kEscapeOk);
  b.expect("hang-up", std::string(kHangUp) + "\r");
}

void voiceCall(Builder& b, const CallOptions& o) {
  voiceMessageUpToHangup(b, o);
  b.resultLine(kOk);
  b.quiet("nothing after the hang-up", 500);
}

// Rings that the server must leave alone: it may not answer while its ring
// countdown runs, and the ring then ends without a further line.
void unansweredRing(Builder& b, const CallOptions& o, const char* defaultSub) {
  b.ring(kRing, o, orDefault(o.callingSub, "-"), orDefault(o.subaddress, defaultSub));
  b.quiet("no answer while the ring lasts", kRingCountdownMs + 1000);
}

void lostCall(Builder& b, const CallOptions& o) {
  b.ring(kRing, o, orDefault(o.callingSub, "-"), orDefault(o.subaddress, kContentService));
  b.answered();
  b.resultLine("CONNECT 9600", 100);
  b.login();
  b.terminal("first part of a mail upload", atml::truncatedUpload(o.mail));
  b.hangUp(300);
  b.quiet("nothing after the carrier dropped", 1000);
}

// The operator dials with the keypad and stops the dial with the cut key
// while it rings out. The modem takes any byte during a dial as the order to
// stop, and reports the call as failed.
void dialCall(Builder& b, const CallOptions& o) {
  b.expect("the operator dials " + o.dialNumber, std::string(kDialVoice) + o.dialNumber + "\r",
           kOperatorLimitMs);
  b.dialing();
  b.expect("the cut key during the dial", kAbortDial, kOperatorLimitMs);
  b.command();
  b.resultLine(kNoCarrier, 100);
  // "at" with a line end would be a command of its own once the dial is over.
  b.quiet("nothing after the dial was stopped", 1000);
}

// An ordinary voice call: the subaddress holds dial characters only, so the
// server leaves it ringing for the operator, who answers with the call key and
// later leaves the call with the cut key.
void answerCall(Builder& b, const CallOptions& o) {
  b.ring(kRingVoice, o, orDefault(o.callingSub, "-"), orDefault(o.subaddress, "1234"));
  b.quiet("the server leaves the call to the operator", kNoReplyMs);
  b.expect("the operator answers", std::string(kAnswer) + "\r", kRingCountdownMs);
  b.resultLine(kConnect, 100);
  b.online();
  // The cut key arms the server's 1.2 s escape guard; the operator presses it
  // as soon as the call is shown connected.
  b.expect("escape after the cut key", kEscape, kReplyLimitMs, 1000);
  b.command();
  b.resultLine(kEscapeOk);
  b.expect("hang-up", std::string(kHangUp) + "\r");
  b.resultLine(kOk);
  b.quiet("nothing after the hang-up", 500);
}

// The device is pulled while the server waits for calls and put back after
// a while, as a new device behind the same name. Nobody presses a key: the
// server must start the line again by itself. A modem that boots after its
// device is back hears the first start into its silence: the server must
// try again once it answers.
void unplugCall(Builder& b, const CallOptions& o) {
  b.unplug(o.awayMs, o.unlink);
  if (o.bootMs > 0) b.boot(o.bootMs);
  b.expect("the start command again, unprompted", o.startCommand + "\r",
           o.bootMs > 0 ? kRetryLimitMs : kRestartLimitMs);
  b.resultLine(kOk);
}

// A voice call with a message whose hang-up the modem refuses ("ERROR") or
// never answers, `refusals` times in a row. The server tries again (DTR
// where the line has it; a pseudo-terminal has none), escapes and hangs up;
// after three refused tries it starts the modem anew.
void refusedHangup(Builder& b, const CallOptions& o, bool silent) {
  voiceMessageUpToHangup(b, o);
  // The wait before a try: the server's confirmation time when the modem
  // stays silent, then DTR down (or a pause) before the escape.
  const int pause = (silent ? kHangupConfirmMs : 0) + kDtrLowMs;
  for (int refused = 1;; ++refused) {
    if (!silent) b.resultLine("ERROR");
    if (refused == kMaxRefusals) break;
    b.expect("escape, tried again", kEscape, pause + kReplyLimitMs, pause - 100);
    b.expect("hang-up, tried again", std::string(kHangUp) + "\r", kEscapeGuardMs + kReplyLimitMs,
             kEscapeGuardMs - 100);
    if (refused == o.refusals) {
      b.resultLine(kOk);
      b.quiet("nothing after the hang-up", 500);
      return;
    }
  }
  b.expect("the start command after three refused tries", o.startCommand + "\r",
           (silent ? kHangupConfirmMs : 0) + kReplyLimitMs);
  b.resultLine(kOk);
}

bool onlyDialCharacters(const std::string& text, const char* extra) {
  return text.find_first_not_of(std::string("0123456789") + extra) == std::string::npos;
}

}  // namespace

Mail CallOptions::defaultMail() {
  // Entities with and without the ";" that some terminals leave out, and
  // Japanese text, so the mail store must keep CP932.
  return Mail{"a&ltb&gt x&amp;y テスト", "<MEL=T120L8O4CDEFGAB>", kSmileBase64};
}

const std::vector<std::string>& callNames() {
  static const std::vector<std::string> names{
      "terminal", "voice",  "unanswered", "other",        "lost",
      "dial",     "answer", "unplug",     "hangup-error", "hangup-silent"};
  return names;
}

bool makeCall(const std::string& name, const CallOptions& options, Script& script,
              std::string& error) {
  if (options.offer.melodies.size() > kMaxOffered || options.offer.images.size() > kMaxOffered) {
    error = "the server offers at most ten melodies and ten images";
    return false;
  }
  script = Script{name, {}};
  Builder b(script);
  if (name == "terminal") {
    terminalCall(b, options);
  } else if (name == "voice") {
    voiceCall(b, options);
  } else if (name == "unanswered") {
    unansweredRing(b, options, "-");
  } else if (name == "other") {
    unansweredRing(b, options, "CONTENTSPP-X02");
  } else if (name == "lost") {
    lostCall(b, options);
  } else if (name == "dial") {
    // The keypad has the digits, "*" and "#".
    if (options.dialNumber.empty() || !onlyDialCharacters(options.dialNumber, "*#")) {
      error = "the keypad dials only digits, \"*\" and \"#\"";
      return false;
    }
    dialCall(b, options);
  } else if (name == "unplug") {
    unplugCall(b, options);
  } else if (name == "hangup-error" || name == "hangup-silent") {
    if (options.refusals < 1 || options.refusals > kMaxRefusals) {
      error = "the modem refuses from 1 to 4 hang-ups (4: every try)";
      return false;
    }
    refusedHangup(b, options, name == "hangup-silent");
  } else if (name == "answer") {
    // Any other character makes the call one the server answers itself.
    if (!onlyDialCharacters(options.subaddress, "*#-.")) {
      error = "the answer call's subaddress holds only digits, \"*\", \"#\", \"-\" and \".\"";
      return false;
    }
    answerCall(b, options);
  } else {
    error = "no call named \"" + name + "\"";
    return false;
  }
  return true;
}

}  // namespace linesim
