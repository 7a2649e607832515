// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The new-mail hook's decisions: whether the file beside the store may run,
// its arguments, and the status lines of a refusal or a failed run.
#include <vector>

#include "platform/hook_runner.h"
#include "state/stored_record.h"

namespace ondrix {

inline const Text kNewMailHookFile = u"\\new-mail";
// Longest stderr line a status line carries, in characters.
inline constexpr std::size_t kHookErrorLength = 120;

enum class HookVerdict { Absent, Run, OthersMayWrite, NotOurs };

HookVerdict hookVerdict(const HookFileFacts& facts);
// The message's path, the kind ("mail" or "voice"), and the caller as
// callerText writes it (never beginning with "-"), or kNoCaller.
std::vector<Text> hookArguments(RecordKind kind, const Text& caller, const Text& messagePath);
// The status line of a refused hook; empty for Absent and Run.
Text hookRefusalLine(HookVerdict verdict);
// The status line of a run that failed, with the last line it wrote to
// standard error; empty when it ended well.
Text hookEndLine(const HookEnd& end);

}  // namespace ondrix
