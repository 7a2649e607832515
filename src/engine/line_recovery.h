// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line's own recovery from the faults that would leave an unattended
// server dead: a port that went away, a hang-up the modem does not confirm,
// a line stuck away from waiting for calls. The decisions are a pure
// function of what the line shows at each poll tick.
#include <cstdint>

#include "state/line_watch.h"

namespace ondrix {

// Ticks of 100 ms.
inline constexpr std::int32_t kReopenTicks = 30;   // between two opens of a vanished port
inline constexpr std::int32_t kConfirmTicks = 50;  // for "+++OK" or the hang-up's "OK"
inline constexpr std::int32_t kDtrLowTicks = 10;   // DTR dropped, or a pause before "+++"
inline constexpr std::int32_t kGuardTicks = 15;    // after "+++", before "ath" goes anyway
inline constexpr std::int32_t kStuckTicks = 6000;  // ten minutes
inline constexpr std::int32_t kHangupTries = 3;
// A line the server started by itself and the modem did not answer: the
// start is tried again after the first wait, then after twice as long each
// time, up to the longest.
inline constexpr std::int32_t kRetryFirstTicks = 100;
inline constexpr std::int32_t kRetryLongestTicks = 600;

enum class RecoveryAction : std::int8_t {
  None,
  Reopen,     // open the port again; once open, start as 開始 does
  PutOnHook,  // drop DTR where the device has it, then wait
  Escape,     // raise DTR again and send "+++"
  HangUp,     // send "ath"
  Restart,    // send the start commands as 開始 does
  EndCall,    // arm the escape, as the cut key does
  Retry,      // send the start command again: the modem has not answered yet
};

// What one tick shows of the line.
struct LineView {
  LineStateCode line = LineStateCode::Stopped;
  PendingCmdCode pending = PendingCmdCode::NoPending;
  std::int16_t replyTimer = 0;
  bool portOpen = false;
  bool input = false;         // input is pending in this tick
  bool operatorCall = false;  // the operator answered or dialled the call
  bool answered = false;      // "ata" went out for the ringing call
  bool escapeArmed = false;   // the escape timer runs
};

// The step to take in this tick; `watch` carries the counts to the next one.
RecoveryAction nextRecoveryAction(LineWatch& watch, const LineView& view);

// The modem's reply to the start or set-up command of a line the server
// started by itself ("OK", "ERROR" or the countdown's end).
void bringUpReply(LineWatch& watch, LineEventCode event);

}  // namespace ondrix
