// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the line's own recovery keeps between poll ticks: the reopening of a
// port that went away, the steps of putting the modem on-hook again, and how
// long the line has waited in one state.
#include <cstdint>

#include "state/connection_state.h"

namespace ondrix {

enum class OnHookStep : std::int8_t {
  Watching,    // no recovery under way
  DtrLow,      // DTR dropped (or, without modem lines, a pause) for a second
  Escaped,     // "+++" sent; "+++OK" or the guard time awaited
  HangupSent,  // "ath" sent again; its "OK" awaited
};

// A line the server started by itself, until the modem has answered both
// the start and the set-up command: a modem that boots later than its device
// is tried again until it answers.
enum class BringUp : std::int8_t {
  None,       // the line is up, or the operator started it
  StartSent,  // the start command went out; its reply is awaited
  SetupSent,  // the start was answered; the set-up's reply is awaited
  Failed,     // either was refused or left unanswered: tried again later
};

struct LineWatch {
  bool reopening = false;  // the port went away; it is opened again now and then
  std::int32_t reopenTicks = 0;

  OnHookStep step = OnHookStep::Watching;
  std::int32_t stepTicks = 0;
  std::int32_t tries = 0;  // hang-ups tried again during this call
  bool refused = false;    // the modem answered "ERROR" to the hang-up
  bool retrying = false;   // the operator has been told of the retries

  BringUp bringUp = BringUp::None;
  std::int32_t retryTicks = 0;  // since the last failed start
  std::int32_t retryWait = 0;   // before the next start; grows up to a minute
  bool retryTold = false;       // the operator has been told of the retries

  // The state the line has kept for sameTicks, and the ticks without input.
  LineStateCode state = LineStateCode::Stopped;
  PendingCmdCode pending = PendingCmdCode::NoPending;
  std::int32_t sameTicks = 0;
  std::int32_t quietTicks = 0;
};

}  // namespace ondrix
