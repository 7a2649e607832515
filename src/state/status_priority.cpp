// SPDX-License-Identifier: GPL-3.0-or-later
// The status texts by the priority the journal hears them at, in one table.
#include "state/status_priority.h"

#include "state/status_texts.h"

namespace ondrix {

namespace {

using P = StatusPriority;
namespace st = status;

// Lines composed around a text (a path, an exit code, a model name) are
// found by their head or their tail.
enum class Match : std::int8_t { Whole, Head, Tail };

struct PriorityRow {
  TextView text;
  P priority;
  Match match = Match::Whole;
};

// Faults: mail or the line is lost until someone acts, or the server cannot
// keep what it took. Warnings: the server worked round a fault, or a thing
// beside the calls failed. Info: the calls and the line's recoveries.
// The console's menus and answers to keys have no row: they stay in the box.
constexpr PriorityRow kPriorities[] = {
    {st::kStoreNotSaved, P::Fault},
    {st::kArchiveNotWritten, P::Fault},
    {st::kJournalNotWritten, P::Fault},
    {st::kStartError, P::Fault},
    {st::kPortLost, P::Fault},
    {st::kPortAwaited, P::Fault},
    {st::kModemRetrying, P::Fault},
    {st::kStoreMovedTo, P::Warning, Match::Head},
    {st::kFolderNotLocked, P::Warning},
    {st::kHangupRetrying, P::Warning},
    {st::kHangupRetried, P::Warning},
    {st::kHangupRestarted, P::Warning},
    {st::kNoInputEnding, P::Warning},
    {st::kNoInputEnded, P::Warning},
    {st::kNoReplyReset, P::Warning},
    {st::kLoginStartNotSet, P::Warning},
    {st::kLoginStartFolderInWay, P::Warning},
    {st::kLoginStartNotRemoved, P::Warning},
    {st::kHookOthersMayWrite, P::Warning},
    {st::kHookNotOurs, P::Warning},
    {st::kHookExitedBefore, P::Warning, Match::Head},
    {st::kHookCrashed, P::Warning, Match::Head},
    {st::kHookTimedOut, P::Warning, Match::Head},
    {st::kHookNotStarted, P::Warning},
    {st::kModemNotFoundAfterModel, P::Warning, Match::Tail},
    {st::kModeNotChanged, P::Warning},
    {st::kPaRegisterFailed, P::Warning},
    {st::kPaDeleteFailed, P::Warning},
    {st::kTimeOut, P::Warning},
    {st::kRingVoice, P::Info},
    {st::kRingData, P::Info},
    {st::kMissedVoice, P::Info},
    {st::kMissedData, P::Info},
    {st::kTalking, P::Info},
    {st::kCommunicating, P::Info},
    {st::kTalkEnd, P::Info},
    {st::kVoiceMailLeft, P::Info},
    {st::kCommunicationEnd, P::Info},
    {st::kTerminalMailLeft, P::Info},
    {st::kPortBack, P::Info},
    {st::kModemAnswered, P::Info},
    {st::kModemFoundAfterModel, P::Info, Match::Tail},
    {st::kDialing, P::Info},
    {st::kCommandSending, P::Info},
    {st::kModeChanged, P::Info},
    {st::kPaRegistering, P::Info},
    {st::kPaRegistered, P::Info},
    {st::kPaDeleted, P::Info},
    {st::kDeleted, P::Info},
};

bool matches(const PriorityRow& row, TextView line) {
  switch (row.match) {
    case Match::Whole:
      return line == row.text;
    case Match::Head:
      return line.starts_with(row.text);
    case Match::Tail:
      return line.ends_with(row.text);
  }
  return false;
}

}  // namespace

std::optional<StatusPriority> statusPriority(TextView line) {
  for (const PriorityRow& row : kPriorities) {
    if (matches(row, line)) return row.priority;
  }
  return std::nullopt;
}

}  // namespace ondrix
