// SPDX-License-Identifier: GPL-3.0-or-later
// The call player: runs a script's steps against what the server sends.
#include "player.h"

#include <algorithm>
#include <cstdio>

#include "cp932.h"
#include "modem.h"
#include "texts.h"

namespace linesim {

namespace {

using Kind = Step::Kind;

constexpr std::size_t kContextBefore = 24;
constexpr std::size_t kContextAfter = 40;

std::string window(const std::string& bytes, std::size_t from, std::size_t to,
                   std::string (*show)(std::string_view)) {
  std::string out = from > 0 ? "..." : "";
  out += "\"" + show(std::string_view(bytes).substr(from, to - from)) + "\"";
  if (to < bytes.size()) out += "...";
  return out;
}

bool allAscii(const std::string& bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

std::string describeMismatch(const std::string& expected, const std::string& received,
                             std::size_t at) {
  const std::size_t from = at > kContextBefore ? at - kContextBefore : 0;
  const std::size_t to = at + kContextAfter;
  std::string out = "  first difference at byte " + std::to_string(at) + " of " +
                    std::to_string(expected.size()) +
                    "\n  expected: " + window(expected, from, to, escaped) +
                    "\n  received: " + window(received, from, to, escaped);
  // Japanese text is easier to tell apart as text; a double-byte character
  // cut at the window's edge shows as an escaped byte.
  if (!allAscii(expected.substr(from, to - from)) || !allAscii(received.substr(from, to - from))) {
    out += "\n  as text:  " + window(expected, from, to, readable) + "\n       and  " +
           window(received, from, to, readable);
  }
  return out;
}

CallPlayer::CallPlayer(Script script, Say say) : script_(std::move(script)), say_(std::move(say)) {}

std::string CallPlayer::start(Millis now) {
  started_ = true;
  startedAt_ = now;
  stepStart_ = now;
  note(now, "call \"" + script_.name + "\": " + std::to_string(script_.steps.size()) + " steps");
  std::string out;
  advance(now, out);
  return out;
}

std::string CallPlayer::receive(const std::string& bytes, Millis now) {
  std::string out;
  if (!running()) return out;
  // In command mode the modem echoes what the server sends, once it has
  // booted.
  if (!online_ && !booting()) out += bytes;
  heardServer_ = heardServer_ || !bytes.empty();
  received_ += bytes;
  advance(now, out);
  return out;
}

std::string CallPlayer::tick(Millis now) {
  std::string out;
  if (running()) advance(now, out);
  return out;
}

CallPlayer::Millis CallPlayer::nextDeadline() const {
  if (!running() || step_ >= script_.steps.size()) return stepStart_;
  return stepStart_ + script_.steps[step_].ms;
}

std::string CallPlayer::stepName() const {
  return "step " + std::to_string(step_ + 1) + " of " + std::to_string(script_.steps.size()) +
         " (" + script_.steps[step_].what + ")";
}

bool CallPlayer::booting() const {
  return step_ < script_.steps.size() && script_.steps[step_].kind == Kind::Boot;
}

void CallPlayer::note(Millis now, const std::string& line) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%7.3f ", static_cast<double>(now - startedAt_) / 1000.0);
  say_(stamp + line);
}

void CallPlayer::nextStep(Millis now) {
  ++step_;
  stepStart_ = now;
  if (step_ == script_.steps.size()) {
    finished_ = true;
    note(now, "call \"" + script_.name + "\" passed");
  }
}

void CallPlayer::fail(const std::string& how, std::string& out) {
  failure_ = "call \"" + script_.name + "\" failed at " + stepName() + ":\n" + how;
  finished_ = true;
  for (std::size_t start = 0; start < failure_.size();) {
    const std::size_t end = std::min(failure_.find('\n', start), failure_.size());
    say_(failure_.substr(start, end - start));
    start = end + 1;
  }
  // A call that is on-line is dropped, so the server is not left waiting.
  if (online_) {
    out += resultLine(texts::kNoCarrier);
    online_ = false;
    say_("the modem drops the call: NO CARRIER");
  }
}

void CallPlayer::advance(Millis now, std::string& out) {
  while (running()) {
    const Step& s = script_.steps[step_];
    const Millis elapsed = now - stepStart_;
    switch (s.kind) {
      case Kind::Send:
        if (elapsed < s.ms) return;
        out += s.bytes;
        note(now, std::string(s.fromCaller ? "caller   > " : "modem    > ") + readable(s.bytes) +
                      "   [" + s.what + "]");
        break;
      case Kind::Online:
        online_ = true;
        note(now, "-- on-line: no echo, bytes pass between server and caller --");
        break;
      case Kind::Dialing:
        online_ = true;
        note(now, "-- dialling: no echo; a byte from the server stops the dial --");
        break;
      case Kind::Command:
        online_ = false;
        note(now, "-- command mode: the modem echoes --");
        break;
      case Kind::Unplug:
      case Kind::Unlink:
        if (!unplugged_) {
          unplugged_ = true;
          unplugDue_ = true;
          linkRemoved_ = s.kind == Kind::Unlink;
          online_ = false;
          note(now, std::string(linkRemoved_ ? "-- the device and its link are removed for "
                                             : "-- the device is removed for ") +
                        std::to_string(s.ms) + " ms --");
        }
        if (elapsed < s.ms) return;
        unplugged_ = false;
        replugDue_ = true;
        received_.clear();  // nothing crosses a removed device
        note(now, "-- the device is back --");
        break;
      case Kind::Boot:
        if (!bootNoted_) {
          bootNoted_ = true;
          note(now,
               "-- the modem boots for " + std::to_string(s.ms) + " ms: no echo, no answer --");
        }
        if (!received_.empty()) {
          note(now, "server   < " + readable(received_) + "   [unheard: the modem boots]");
          received_.clear();
        }
        if (elapsed < s.ms) return;
        bootNoted_ = false;
        note(now, "-- the modem has booted --");
        break;
      case Kind::Quiet:
        if (!received_.empty()) {
          fail("  expected nothing for " + std::to_string(s.ms) + " ms\n  received after " +
                   std::to_string(elapsed) + " ms: \"" + escaped(received_) + "\"",
               out);
          return;
        }
        if (elapsed < s.ms) return;
        note(now, "           (nothing for " + std::to_string(s.ms) + " ms)   [" + s.what + "]");
        break;
      case Kind::Expect: {
        const std::size_t n = std::min(received_.size(), s.bytes.size());
        const auto diff = std::mismatch(s.bytes.begin(), s.bytes.begin() + static_cast<long>(n),
                                        received_.begin());
        if (diff.first != s.bytes.begin() + static_cast<long>(n)) {
          fail(describeMismatch(s.bytes, received_,
                                static_cast<std::size_t>(diff.first - s.bytes.begin())),
               out);
          return;
        }
        if (received_.size() < s.bytes.size()) {
          if (elapsed < s.ms) return;
          fail("  timed out after " + std::to_string(s.ms) + " ms with " +
                   std::to_string(received_.size()) + " of " + std::to_string(s.bytes.size()) +
                   " bytes\n  received:       \"" + escaped(received_) +
                   "\"\n  still expected: \"" + escaped(s.bytes.substr(received_.size())) + "\"" +
                   (heardServer_
                        ? ""
                        : "\n  nothing at all came from the server: is it started on this port?"),
               out);
          return;
        }
        if (elapsed < s.earliestMs) {
          fail("  arrived after " + std::to_string(elapsed) + " ms, expected no earlier than " +
                   std::to_string(s.earliestMs) + " ms",
               out);
          return;
        }
        received_.erase(0, s.bytes.size());
        note(now, "server   < " + readable(s.bytes) + "   [" + s.what + "]");
        break;
      }
    }
    nextStep(now);
  }
}

}  // namespace linesim
