// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu's start at login: its check mark follows the desktop's
// autostart entry, and a click makes or removes that entry. A fault leaves
// everything as it was and says so in one status line.
#include "platform/login_start.h"

#include "state/form1.h"
#include "state/status_texts.h"
#include "store/login_entry.h"

namespace ondrix {

void Form1::loginStartShown() {
  if (loginStart == nullptr) return;
  Bytes content;
  const LoginEntryPlace place = loginStart->look(content);
  loginStartItem.checked = loginEntryActive(place, content);
}

void Form1::loginStartClicked() {
  if (loginStart == nullptr) return;
  Bytes content;
  const LoginEntryPlace place = loginStart->look(content);
  switch (loginStartStep(place, content)) {
    case LoginStartStep::Refuse:
      noteStatus(Text(status::kLoginStartFolderInWay));
      break;
    case LoginStartStep::Remove:
      if (!loginStart->remove()) noteStatus(Text(status::kLoginStartNotRemoved));
      break;
    case LoginStartStep::Write: {
      const auto entry = loginEntryBytes(loginStart->programPath(), loginStart->dataFolder());
      if (!entry || !loginStart->write(*entry)) noteStatus(Text(status::kLoginStartNotSet));
      break;
    }
  }
  // The mark shows what stands there now, whatever the click achieved.
  loginStartShown();
}

}  // namespace ondrix
