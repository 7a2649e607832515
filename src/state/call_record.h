// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the call journal remembers of the call in progress, from its first
// ring (or the operator's dial) to its end, when one line goes to calls.log.
#include <cstdint>

#include "core/text.h"
#include "platform/clock.h"

namespace ondrix {

// Who the call was for: the server (a terminal's data call, a voice call with
// a message), nobody the server serves (a ring for another service or number),
// or the operator (a dial from the console, a ring answered with the call key).
// Server: no call, the server itself (a start after an unclean end).
enum class CallKind : std::int8_t { Other, Terminal, Voice, Dial, Answer, Server };

// Why a call did not end the ordinary way; the line's own recovery, the
// operator or a vanished device ended it.
enum class CallFault : std::int8_t {
  None,
  DeviceLost,       // the port went away under the call
  HangupRecovered,  // the hang-up was not confirmed and was tried again
  HangupRestarted,  // ... three times in vain: the modem was started again
  NoInput,          // on-line without any input for ten minutes
  NoReply,          // the modem did not reply for ten minutes: line reset
  Stopped,          // the operator stopped the server or closed the window
  NewRing,          // a new call rang before this one had ended
  UncleanEnd,       // the server before this one died without closing
};

struct CallRecord {
  bool open = false;
  CallKind kind = CallKind::Other;
  LocalTime began;
  LocalTime ended;
  // As the status box shows them, taken when the call ends; empty: none.
  Text caller;
  Text calledSub;
  bool answered = false;     // "ata" went out for it
  bool connected = false;    // the modem reported CONNECT
  bool closing = false;      // the terminal was told the exchange is over
  std::int32_t records = 0;  // mails or messages it left in the store
  CallFault fault = CallFault::None;
};

}  // namespace ondrix
