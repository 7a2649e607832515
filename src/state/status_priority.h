// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which status lines the journal hears, and at what priority.
#include <optional>

#include "core/text.h"
#include "platform/status_echo.h"

namespace ondrix {

// The priority of a line of the status box; none for the lines that answer a
// person at the keys (menus, lists, a dialled number, a command's replies, a
// record shown): they stay in the box.
std::optional<StatusPriority> statusPriority(TextView line);

}  // namespace ondrix
