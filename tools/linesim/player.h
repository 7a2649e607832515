// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plays one scripted call on the line: sends the modem's and the caller's
// bytes, checks every byte the server sends, and says what happens.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "call.h"

namespace linesim {

class CallPlayer {
 public:
  using Millis = std::int64_t;
  // Receives the transcript, one line per call (no line end).
  using Say = std::function<void(const std::string&)>;

  CallPlayer(Script script, Say say);

  // Each returns the bytes to write to the server now.
  std::string start(Millis now);
  std::string receive(const std::string& bytes, Millis now);
  std::string tick(Millis now);

  // When tick() has something to do next; only valid while running.
  Millis nextDeadline() const;

  bool running() const { return started_ && !finished_; }
  // True once when the call has just removed the device, and once when it
  // has put it back; the simulator does the removing.
  bool takeUnplug() { return std::exchange(unplugDue_, false); }
  // Whether the device last removed took its COMn link with it.
  bool linkRemoved() const { return linkRemoved_; }
  bool takeReplug() { return std::exchange(replugDue_, false); }
  bool finished() const { return finished_; }
  bool passed() const { return finished_ && failure_.empty(); }
  // Where and how the call went wrong, over several lines; empty if it did not.
  const std::string& failure() const { return failure_; }
  const std::string& name() const { return script_.name; }

 private:
  // Runs the steps as far as they can go at `now`.
  void advance(Millis now, std::string& out);
  void nextStep(Millis now);
  void fail(const std::string& how, std::string& out);
  void note(Millis now, const std::string& line);
  std::string stepName() const;
  bool booting() const;

  Script script_;
  Say say_;
  std::size_t step_ = 0;
  Millis startedAt_ = 0;
  Millis stepStart_ = 0;
  bool started_ = false;
  bool finished_ = false;
  bool online_ = false;
  bool heardServer_ = false;
  bool unplugged_ = false;
  bool unplugDue_ = false;
  bool linkRemoved_ = false;
  bool bootNoted_ = false;
  bool replugDue_ = false;
  std::string received_;  // server bytes not matched yet
  std::string failure_;
};

// Where `expected` and `received` first differ, shown with some context.
std::string describeMismatch(const std::string& expected, const std::string& received,
                             std::size_t at);

}  // namespace linesim
