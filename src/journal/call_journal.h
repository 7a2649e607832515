// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The call journal: one line per call, tab-separated, UTF-8 in calls.log
// beside the store.
#include <cstdint>
#include <vector>

#include "core/text.h"
#include "platform/files.h"
#include "state/call_record.h"
#include "state/record_events.h"

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

// Appends each call's line where the store goes: the program directory, or
// the fallback directory when that cannot be written. A journal that
// cannot be written is said once, until it can be again.
class CallJournal : public RecordEvents {
 public:
  explicit CallJournal(Files& files);
  void callEnded(const CallRecord& call) override;
  void serverRestarted(const LocalTime& at) override;
  std::vector<Text> takeLines() override;
  // The archive filed `count` records an earlier run had left out.
  void recordsCaughtUp(std::int32_t count, const LocalTime& at);

 private:
  void write(const Text& line);

  Files& files_;
  bool failing_ = false;
  std::vector<Text> lines_;
};

}  // namespace ondrix
