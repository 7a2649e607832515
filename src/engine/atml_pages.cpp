// SPDX-License-Identifier: GPL-3.0-or-later
// The pages the server sends a connected terminal. Each page goes out as the
// sequence of separate writes the terminal is used to, with no line end.
#include "engine/atml_texts.h"
#include "state/form1.h"

namespace ondrix {

using namespace atml;

namespace {

// Pool entries at or beyond their count are stale and never sent.
bool morePagesAfter(std::int16_t pageIndex, std::int16_t melodyCount, std::int16_t imageCount) {
  return pageIndex + 1 < melodyCount || pageIndex + 1 < imageCount;
}

}  // namespace

void Form1::SendVersionPage() { MSComm1.write(Text(kVersionPage)); }

void Form1::SendListPage() {
  PageIndex = 0;
  MSComm1.write(Text(kMailTitle));
  // Entry 0 goes out whatever the counts say: a menu load fills it without
  // counting it.
  MSComm1.write(MelodyPool[0]);
  MSComm1.write(Text(kHeadEnd));
  MSComm1.write(Text(kServerName));
  MSComm1.write(ImagePool[0]);
  MSComm1.write(Text(kStarLine));
  MSComm1.write(Text(kLinkBlockStart));
  MSComm1.write(Text(kSaveLink));
  if (morePagesAfter(PageIndex, MelodyCount, ImageCount)) MSComm1.write(Text(kNextLink));
  MSComm1.write(Text(kLinkBlockEnd));
  ++PageIndex;
}

void Form1::SendDeliveryPage() {
  // Past the last pool entry the page still goes out, empty; the index keeps
  // counting but never reads beyond the pools.
  const bool inPools = PageIndex >= 0 && PageIndex < kPoolSlots;
  MSComm1.write(Text(kMailTitle));
  if (inPools && MelodyCount > PageIndex) MSComm1.write(MelodyPool[PageIndex]);
  const int page = PageIndex + 1;
  MSComm1.write(Text(page < 10 ? kPageMarkShort : kPageMarkLong) + decimal(page) +
                Text(kPageMarkEnd));
  MSComm1.write(Text(kServerName));
  if (inPools && ImageCount > PageIndex) MSComm1.write(ImagePool[PageIndex]);
  MSComm1.write(Text(kStarLine));
  MSComm1.write(Text(kLinkBlockStart));
  MSComm1.write(Text(kSaveLink));
  if (morePagesAfter(PageIndex, MelodyCount, ImageCount)) MSComm1.write(Text(kNextLink));
  MSComm1.write(Text(kLinkBlockEnd));
  if (PageIndex < INT16_MAX) ++PageIndex;
}

void Form1::SendShortcutPage() {
  PageIndex = 0;
  MSComm1.write(Text(kShortcutTitle));
  MSComm1.write(Text(kHeadEnd));
  MSComm1.write(Text(kShortcutServerName) + CR);
  MSComm1.write(Text(kStarLine) + CR);
  MSComm1.write(Text(kShortcutBody));
  MSComm1.write(Text(kShortcutEnd));
}

void Form1::SendFixedPage(TextView page) {
  MSComm1.write(Text(page));
  // Every fixed page but the acknowledgement tells the terminal the exchange
  // is over: its hang-up then ends the call in order.
  if (page != kAckPage) currentCall.closing = true;
}

}  // namespace ondrix
