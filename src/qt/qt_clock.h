// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Local date and time from the system clock.
#include "platform/clock.h"

namespace ondrix {

class QtClock : public Clock {
 public:
  LocalTime now() const override;
};

}  // namespace ondrix
