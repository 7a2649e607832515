// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The call journal's line: one per call, tab-separated, UTF-8 in calls.log.
#include <cstdint>

#include "core/text.h"
#include "state/call_record.h"

namespace ondrix {

// The journal beside the store, and the name it takes when it passes
// kJournalRotateBytes (replacing an older one).
inline const Text kCallJournalFile = u"\\calls.log";
inline const Text kCallJournalOldFile = u"\\calls.log.1";
inline constexpr std::int64_t kJournalRotateBytes = 1 << 20;

// "2026-12-07T16:10:05+09:00".
Text isoLocalTime(const LocalTime& t);
// Whole seconds from `from` to `to`, both in their own offsets; 0 when the
// clock went back.
std::int64_t secondsBetween(const LocalTime& from, const LocalTime& to);

// The line of a call that has ended: when it began, its kind, the caller,
// the called subaddress, what became of it and its length, separated by tabs
// and ended by a line feed.
Text callJournalLine(const CallRecord& call);

}  // namespace ondrix
