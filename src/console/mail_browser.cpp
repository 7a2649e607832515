// SPDX-License-Identifier: GPL-3.0-or-later
// The mail browser: paging through the stored records and acting on the one
// shown.
#include "state/form1.h"
#include "state/status_texts.h"
#include "store/codecs.h"

namespace ondrix {

namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;

bool isMailSlot(int slot) { return slot >= 1 && slot <= kMailSlots; }

// The first occupied slot from `from` to `to` inclusive, walking by `step`
// (1 or -1); 0 when there is none. Slots outside 1..100 are passed over.
std::int16_t firstOccupied(const MailStoreArrays& store, int from, int to, int step) {
  for (int i = from; step > 0 ? i <= to : i >= to; i += step) {
    if (isMailSlot(i) && !store.MailText[i].empty()) return static_cast<std::int16_t>(i);
  }
  return 0;
}

Text threeDigits(std::int16_t slot) {
  Text digits = decimal(slot);
  while (digits.size() < 3) digits.insert(digits.begin(), u'0');
  return digits;
}

bool browsing(LS state, PC pending) {
  return (state == LS::Idle || state == LS::Stopped) &&
         (pending == PC::NoPending || pending == PC::MailBrowse);
}

}  // namespace

bool Form1::browseIndexInRange() const { return isMailSlot(BrowseIndex); }

void Form1::showMailRecord() {
  const std::int16_t i = BrowseIndex;
  const auto& s = MailStore;
  Text shown = threeDigits(i) + u":" + s.MailTime[i];
  if (!s.MailMelody[i].empty()) shown += status::kHasMelody;
  if (!s.MailImage[i].empty()) shown += status::kHasImage;
  shown += CRLF + s.MailCaller[i] + CRLF + s.MailText[i];
  Text3.text = shown;
  // New text shows from its first line.
  statusCaretToStart();
}

void Form1::browseTo(bool up) {
  const int b = BrowseIndex;
  const int step = up ? -1 : 1;
  const int first = up ? kMailSlots : 1;
  const int last = up ? 1 : kMailSlots;
  std::int16_t found = 0;
  if (PendingCmd == PC::MailBrowse) {
    // On from the shown slot, then round from the far end back to it. Both
    // legs together cover every slot, so nothing found here means the store
    // is empty, even when the shown record moved away under the browser.
    found = firstOccupied(MailStore, b + step, last, step);
    if (found == 0) found = firstOccupied(MailStore, first, b, step);
  } else {
    found = firstOccupied(MailStore, first, last, step);
  }
  if (found == 0) {
    showStatusLine(status::kNoMail);
    PendingCmd = PC::NoPending;
    return;
  }
  BrowseIndex = found;
  PendingCmd = PC::MailBrowse;
  showMailRecord();
}

void Form1::UpBtn_Click() {
  if (browsing(LineState, PendingCmd)) browseTo(true);
}

void Form1::DownBtn_Click() {
  if (browsing(LineState, PendingCmd)) browseTo(false);
}

void Form1::ClsBtn_Click() {
  if (LineState != LS::Idle && LineState != LS::Stopped) return;
  if (PendingCmd != PC::MailBrowse) return;
  showStatusLine(status::kDeleteMenuTitle);
  appendStatusLine(status::kDeleteOne);
  appendStatusLine(status::kDeleteAll);
  PendingCmd = PC::MailDeleteMenu;
}

void Form1::DeleteStoredMails(bool all) {
  showStatusLine(status::kDeleted);
  PendingCmd = PC::NoPending;
  if (all) {
    for (std::int16_t i = 1; i <= kMailSlots; ++i) MailStore.clearSlot(i);
    return;
  }
  if (!browseIndexInRange()) return;
  MailStore.removeSlot(BrowseIndex);
}

void Form1::PlayMailMelody() {
  if (!browseIndexInRange()) return;
  const Text& melody = MailStore.MailMelody[BrowseIndex];
  if (melody.empty() || MelodyPlayer.empty()) return;
  const Text path = AppDir + kWorkingMelodyFile;
  SaveMelodyFile(files_, path, melody);
  // A player that cannot be started is no concern of the console.
  desktop_.startProgram(MelodyPlayer, path);
}

void Form1::ShowMailImage() {
  if (!browseIndexInRange()) return;
  const Text& image = MailStore.MailImage[BrowseIndex];
  if (image.empty()) return;
  const Text path = AppDir + kWorkingImageFile;
  SaveImageFile(files_, path, image);
  desktop_.showPreview(path);
}

void Form1::ClsBtn2_Click() {
  clearImageOffer();
  clearMelodyOffer();
}

}  // namespace ondrix
