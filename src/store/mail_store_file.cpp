// SPDX-License-Identifier: GPL-3.0-or-later
// The mail store amp.dat: loaded in whatever layout its header names, saved whole.
#include "store/mail_store_file.h"

#include <cstring>

#include "store/quoted_field.h"

namespace ondrix {

namespace {

// Files of the first layout begin directly with this slot count.
constexpr std::int32_t kOldLayoutMark = 100;
constexpr std::int32_t kFieldsWritten = 5;

// Compared as bytes: a full store is a few hundred thousand characters, and
// every save compares them all.
bool sameText(const Text& a, const Text& b) {
  return a.size() == b.size() &&
         std::memcmp(a.data(), b.data(), a.size() * sizeof(Text::value_type)) == 0;
}

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
  // Lines encoded by another encoder are no use to this one.
  if (store.encodedBy != &files) {
    store.encoded = {};
    store.encodedBy = &files;
  }
  Bytes& out = store.fileBytes;
  out.clear();
  QuotedFieldWriter header;
  for (const std::int32_t n : {0, std::int32_t{kMailSlots}, kFieldsWritten, 0}) {
    header.headerNumber(n);
    header.endLine();
  }
  files.appendEncoded(header.content(), out);
  for (int i = 1; i <= kMailSlots; ++i) {
    const std::array<const Text*, 5> texts{&store.MailCaller[i], &store.MailText[i],
                                           &store.MailTime[i], &store.MailMelody[i],
                                           &store.MailImage[i]};
    EncodedSlot& slot = store.encoded[i];
    const auto same = [&] {
      for (std::size_t f = 0; f < texts.size(); ++f) {
        if (!sameText(slot.texts[f], *texts[f])) return false;
      }
      return true;
    };
    if (slot.line.empty() || !same()) {
      QuotedFieldWriter line;
      for (std::size_t f = 0; f < texts.size(); ++f) {
        line.text(*texts[f]);
        slot.texts[f] = *texts[f];
      }
      line.endLine();
      slot.line.clear();
      files.appendEncoded(line.content(), slot.line);
    }
    out.insert(out.end(), slot.line.begin(), slot.line.end());
  }
  // One write of the whole store: a failed save never costs the old file.
  return files.writeBytes(path, out);
}

}  // namespace ondrix
