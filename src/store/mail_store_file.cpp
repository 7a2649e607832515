// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/mail_store_file.h"

#include "store/quoted_field.h"

namespace ondrix {

namespace {

// Files of the first layout begin directly with this slot count.
constexpr std::int32_t kOldLayoutMark = 100;
constexpr std::int32_t kFieldsWritten = 5;

}  // namespace

void LoadMailStore(Files& files, const Text& path, MailStoreArrays& store) {
  const auto content = files.readText(path);
  if (!content) return;
  QuotedFieldReader in(*content);
  using Status = QuotedFieldReader::NumberStatus;

  const auto first = in.readNumber();
  if (first.status != Status::Ok) return;
  std::int32_t slots = 0;
  std::int32_t fields = 0;
  if (first.value == kOldLayoutMark) {
    slots = kOldLayoutMark;
    fields = 3;
  } else {
    const auto slotCount = in.readNumber();
    const auto fieldCount = in.readNumber();
    const auto reserved = in.readNumber();
    if (slotCount.status != Status::Ok || fieldCount.status != Status::Ok ||
        reserved.status != Status::Ok) {
      return;
    }
    slots = slotCount.value;
    fields = fieldCount.value;
  }
  if (slots > kMailSlots) slots = kMailSlots;

  // Every field lands in its slot as soon as it is read, so a file that
  // breaks off keeps everything before the break.
  const auto take = [&in](Text& target) { return in.readTextInto(target); };
  for (std::int32_t i = 1; i <= slots; ++i) {
    if (!take(store.MailCaller[i]) || !take(store.MailText[i]) || !take(store.MailTime[i])) {
      return;
    }
    if (fields >= 4 && !take(store.MailMelody[i])) return;
    if (fields >= 5 && !take(store.MailImage[i])) return;
    // No writer produces more fields; whatever they hold is passed over.
    for (std::int32_t f = 6; f <= fields; ++f) {
      if (!in.readText()) return;
    }
  }
}

bool SaveMailStore(Files& files, const Text& path, const MailStoreArrays& store) {
  QuotedFieldWriter out;
  std::size_t size = 32;
  for (int i = 1; i <= kMailSlots; ++i) {
    size += store.MailCaller[i].size() + store.MailText[i].size() + store.MailTime[i].size() +
            store.MailMelody[i].size() + store.MailImage[i].size() + 16;
  }
  out.reserve(size);
  for (const std::int32_t n : {0, std::int32_t{kMailSlots}, kFieldsWritten, 0}) {
    out.headerNumber(n);
    out.endLine();
  }
  for (int i = 1; i <= kMailSlots; ++i) {
    out.text(store.MailCaller[i]);
    out.text(store.MailText[i]);
    out.text(store.MailTime[i]);
    out.text(store.MailMelody[i]);
    out.text(store.MailImage[i]);
    out.endLine();
  }
  // One write of the whole store: a failed save never costs the old file.
  return files.writeText(path, out.content());
}

}  // namespace ondrix
