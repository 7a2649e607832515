// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Status lines told beyond the status box, for an operator who has no
// window: standard error, which a service manager's journal reads.
#include <cstdint>

#include "core/text.h"

namespace ondrix {

// The journal's own levels (err, warning, info).
enum class StatusPriority : std::int8_t { Fault = 3, Warning = 4, Info = 6 };

class StatusEcho {
 public:
  virtual ~StatusEcho() = default;
  // One line as the status box got it; must never wait.
  virtual void echo(StatusPriority priority, TextView line) = 0;
};

}  // namespace ondrix
