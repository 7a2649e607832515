// SPDX-License-Identifier: GPL-3.0-or-later
// What the operator is told of each record stored: the desktop notification,
// and the new-mail hook beside the store, which forwards the archived message.
#include "modem/desktop_notice.h"
#include "modem/new_mail_hook.h"
#include "platform/hook_runner.h"
#include "platform/notifier.h"
#include "state/form1.h"
#include "state/status_texts.h"

namespace ondrix {

void Form1::announceRecord(const StoredRecord& record, const Text& messagePath) {
  if (notifier) notifier->notify(desktopNotice(record));
  // Without an archived message there is nothing to forward.
  if (!hookRunner || messagePath.empty()) return;
  // The hook stands beside the store, wherever the store went.
  const Text hook = (storeNotice.starts_with(status::kStoreMovedTo)
                         ? storeNotice.substr(status::kStoreMovedTo.size())
                         : AppDir) +
                    kNewMailHookFile;
  const HookVerdict verdict = hookVerdict(hookRunner->inspect(hook));
  if (verdict == HookVerdict::Run) {
    hookRunner->run({hook, hookArguments(record, messagePath), AppDir});
  } else if (verdict != HookVerdict::Absent) {
    noteStatus(hookRefusalLine(verdict));
  }
}

void Form1::hookEnded(const HookEnd& end) {
  const Text line = hookEndLine(end);
  if (line.empty()) return;
  if (currentCall.open) {
    heldHookLines.push_back(line);
  } else {
    noteStatus(line);
  }
}

void Form1::showHeldHookLines() {
  for (const Text& line : heldHookLines) noteStatus(line);
  heldHookLines.clear();
}

}  // namespace ondrix
