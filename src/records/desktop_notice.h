// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop notification of a record stored: its summary and body.
#include "platform/notifier.h"
#include "state/stored_record.h"

namespace ondrix {

// Longest first line a notice shows, in characters.
inline constexpr std::size_t kNoticeLineLength = 80;

DesktopNotice desktopNotice(const StoredRecord& record);

}  // namespace ondrix
