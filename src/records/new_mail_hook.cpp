// SPDX-License-Identifier: GPL-3.0-or-later
// The new-mail hook's decisions: a file others could change is refused, as
// a key file others could change would be; and what a failed run says.
#include "records/new_mail_hook.h"

#include "state/caller_text.h"
#include "state/status_texts.h"

namespace ondrix {
namespace {

constexpr std::uint32_t kGroupOrOthersWrite = 0022;

// The last line with anything but blanks in it, control characters as blanks.
Text lastLine(const Text& tail) {
  std::size_t end = tail.size();
  while (end > 0) {
    const std::size_t start = tail.find_last_of(u"\r\n", end - 1);
    const std::size_t from = start == Text::npos ? 0 : start + 1;
    Text line = tail.substr(from, end - from);
    for (char16_t& c : line) {
      if (c < 0x20 || c == 0x7F) c = u' ';
    }
    const std::size_t first = line.find_first_not_of(u' ');
    if (first != Text::npos) {
      line = line.substr(first, line.find_last_not_of(u' ') - first + 1);
      if (line.size() > kHookErrorLength) {
        std::size_t cut = kHookErrorLength - 1;
        if (line[cut - 1] >= 0xD800 && line[cut - 1] <= 0xDBFF) --cut;
        line = line.substr(0, cut) + u"…";
      }
      return line;
    }
    if (start == Text::npos) break;
    end = start;
  }
  return {};
}

}  // namespace

HookVerdict hookVerdict(const HookFileFacts& facts) {
  if (!facts.exists || !facts.executable) return HookVerdict::Absent;
  if (!facts.ownedByUs || !facts.folderOwnedByUs) return HookVerdict::NotOurs;
  if ((facts.mode | facts.folderMode) & kGroupOrOthersWrite) return HookVerdict::OthersMayWrite;
  return HookVerdict::Run;
}

std::vector<Text> hookArguments(RecordKind kind, const Text& caller, const Text& messagePath) {
  return {messagePath, kind == RecordKind::Mail ? u"mail" : u"voice", callerOrNone(caller)};
}

Text hookRefusalLine(HookVerdict verdict) {
  switch (verdict) {
    case HookVerdict::OthersMayWrite:
      return Text(status::kHookOthersMayWrite);
    case HookVerdict::NotOurs:
      return Text(status::kHookNotOurs);
    case HookVerdict::Absent:
    case HookVerdict::Run:
      break;
  }
  return {};
}

Text hookEndLine(const HookEnd& end) {
  Text line;
  switch (end.how) {
    case HookEnd::How::Exited:
      if (end.exitCode == 0) return {};
      line =
          Text(status::kHookExitedBefore) + decimal(end.exitCode) + Text(status::kHookExitedAfter);
      break;
    case HookEnd::How::Crashed:
      line = status::kHookCrashed;
      break;
    case HookEnd::How::TimedOut:
      line = status::kHookTimedOut;
      break;
    case HookEnd::How::NotStarted:
      return Text(status::kHookNotStarted);
  }
  const Text error = lastLine(end.errorTail);
  if (!error.empty()) line += u"：" + error;
  return line;
}

}  // namespace ondrix
