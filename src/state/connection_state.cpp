// SPDX-License-Identifier: GPL-3.0-or-later
// The mail store's slot moves: room at slot 1, a slot removed, a slot cleared.
#include "state/connection_state.h"

#include <algorithm>

namespace ondrix {

void MailStoreArrays::makeRoomAtSlot1() {
  // Moved, not copied: a full store of images is a few hundred kilobytes.
  for (Column* c : {&MailCaller, &MailText, &MailTime, &MailMelody, &MailImage}) {
    std::move_backward(c->begin() + 1, c->begin() + kMailSlots, c->begin() + kMailSlots + 1);
    (*c)[1] = (*c)[2];  // slot 1 keeps its texts until the caller overwrites them
  }
  std::move_backward(encoded.begin() + 1, encoded.begin() + kMailSlots,
                     encoded.begin() + kMailSlots + 1);
  encoded[1] = {};
}

void MailStoreArrays::removeSlot(std::int16_t slot) {
  if (slot < 1 || slot > kMailSlots) return;
  for (Column* c : {&MailCaller, &MailText, &MailTime, &MailMelody, &MailImage}) {
    std::move(c->begin() + slot + 1, c->end(), c->begin() + slot);
  }
  std::move(encoded.begin() + slot + 1, encoded.end(), encoded.begin() + slot);
  encoded[kMailSlots] = {};
  clearSlot(kMailSlots);
}

void MailStoreArrays::clearSlot(std::int16_t slot) {
  if (slot < 1 || slot > kMailSlots) return;
  MailCaller[slot].clear();
  MailText[slot].clear();
  MailTime[slot].clear();
  MailMelody[slot].clear();
  MailImage[slot].clear();
}

}  // namespace ondrix
