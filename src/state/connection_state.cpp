#include "state/connection_state.h"

namespace ondrix {

void MailStoreArrays::makeRoomAtSlot1() {
  for (int i = kMailSlots; i >= 2; --i) {
    MailCaller[i] = MailCaller[i - 1];
    MailText[i] = MailText[i - 1];
    MailTime[i] = MailTime[i - 1];
    MailMelody[i] = MailMelody[i - 1];
    MailImage[i] = MailImage[i - 1];
  }
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
