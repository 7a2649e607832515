// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scripted calls: what the modem and the calling party send, and every byte
// the server must send back, step by step.
#include <string>
#include <vector>

#include "atml.h"

namespace linesim {

struct Step {
  enum class Kind {
    Send,     // `bytes` go to the server after `ms` of pause
    Expect,   // exactly `bytes` must arrive, within `ms`, not before `earliestMs`
    Quiet,    // nothing may arrive for `ms`
    Online,   // the modem connects the line: no echo any more
    Dialing,  // the modem dials out: no echo; a byte from the server aborts the dial
    Command,  // the modem is back in command mode: it echoes again
    Unplug,   // the device is removed for `ms`, then returned as a new one
    Unlink,   // the same, and its COMn link is gone meanwhile
    Boot,     // the returned device answers nothing (no echo) for `ms`
  };
  Kind kind;
  std::string what;  // for the transcript and for reports
  std::string bytes;
  int ms = 0;
  int earliestMs = 0;
  bool fromCaller = false;  // Send: the calling party rather than the modem
};

struct Script {
  std::string name;
  std::vector<Step> steps;
};

struct CallOptions {
  std::string callingId = "0123456789";
  std::string callingSub;  // empty: the call's own default
  std::string connectedId = "987";
  std::string subaddress;                 // connected subaddress; empty: the call's own default
  std::string dialNumber = "0312345678";  // what the operator dials in the dial call
  int awayMs = 3000;    // how long the unplug call leaves the line without its device
  bool unlink = false;  // the unplug call removes the COMn link with the device
  int bootMs = 0;       // how long the returned device stays silent
  int refusals = 1;     // hang-ups the modem refuses in the hang-up calls (4: all of them)
  // The server's start command, as the modem was told to answer it.
  std::string startCommand = "at#sy1=40";
  Offer offer;
  Mail mail = defaultMail();

  static Mail defaultMail();
};

// The calls the simulator can play, in the order `usage` lists them.
const std::vector<std::string>& callNames();

// Builds the named call; false (with `error`) for an unknown name or an offer
// the server cannot make (more than ten entries of a kind).
bool makeCall(const std::string& name, const CallOptions& options, Script& script,
              std::string& error);

// How long the server may take for a reply: it polls every 100 ms, and a
// loaded machine delays ticks.
inline constexpr int kReplyLimitMs = 5000;
// Long enough for the server to have read and judged an item that gets no
// reply (a few of its 100 ms ticks).
inline constexpr int kNoReplyMs = 500;
// The server gives up on an unanswered ring after 40 quiet ticks.
inline constexpr int kRingCountdownMs = 4000;
// How long a call waits for the operator to press the window's keys.
inline constexpr int kOperatorLimitMs = 20000;
// A server must be back on a returned device within this time.
inline constexpr int kRestartLimitMs = 30000;
// A server whose start went unanswered tries again at growing intervals, up
// to a minute apart.
inline constexpr int kRetryLimitMs = 60000 + kReplyLimitMs;
// It waits this long for the "OK" to a hang-up before it tries again, and
// keeps DTR down (or pauses) a second before the escape, a guard after it.
inline constexpr int kHangupConfirmMs = 5000;
inline constexpr int kDtrLowMs = 1000;
inline constexpr int kEscapeGuardMs = 1500;
inline constexpr int kMaxRefusals = 4;

}  // namespace linesim
