// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line's condition as a service manager shows it, taken from Form1's
// state (the line state and the line's own recovery), never from the
// status box.
#include <cstdint>

#include "core/text.h"

namespace ondrix {

class Form1;

enum class LineCondition : std::int8_t {
  Stopped,
  Searching,    // the auto-search tries the ports
  PortMissing,  // the port is gone or not there yet: it is opened again and again
  Starting,     // the start commands are out
  ModemSilent,  // a start of the server's own found no answer: tried again
  Waiting,      // waiting for calls
  Ringing,
  VoiceCall,
  DataCall,
};

LineCondition lineCondition(const Form1& form);

// A short line of our own for each condition.
TextView conditionText(LineCondition condition);

}  // namespace ondrix
