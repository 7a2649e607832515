// SPDX-License-Identifier: GPL-3.0-or-later
// The archive of every record stored: one message per record in the Maildir
// beside the store, and the store of a first start archived once.
#include "platform/record_archive.h"

#include "state/form1.h"
#include "state/status_texts.h"
#include "store/archive_message.h"

namespace ondrix {

namespace {

// The unique name as a Message-ID: whatever a host name brings that a
// msg-id cannot hold becomes "-".
std::string messageIdFor(const Text& name) {
  std::string id;
  for (char16_t c : name) {
    const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                       (c >= u'0' && c <= u'9') || c == u'.' || c == u'_' || c == u'-';
    id += plain ? static_cast<char>(c) : '-';
  }
  return id + "@ondrix.invalid";
}

// The store does not say what a record was. A voice call's message is the
// subaddress, a short line of plain ASCII, and carries nothing else; a
// terminal's mail rarely looks like that.
RecordKind kindOfStored(const Text& text, const Text& melody, const Text& image) {
  constexpr std::size_t kLongestSubaddress = 20;
  if (!melody.empty() || !image.empty() || text.size() > kLongestSubaddress) {
    return RecordKind::Mail;
  }
  for (char16_t c : text) {
    if (c < u' ' || c > u'~') return RecordKind::Mail;
  }
  return RecordKind::Voice;
}

}  // namespace

Text Form1::archiveRecord(const StoredRecord& record) {
  if (archive == nullptr) return {};
  // The archive lies beside the store, wherever the last save put it.
  const Text directory = storeNotice.starts_with(status::kStoreMovedTo)
                             ? storeNotice.substr(status::kStoreMovedTo.size())
                             : AppDir;
  const Text name = archive->uniqueName();
  const Text path =
      archive->deliver(directory, name, archiveMessageFor(files_, record, messageIdFor(name)));
  if (path.empty()) {
    // The call and the store go on; the operator is told once.
    if (!archiveFailing) noteStatus(Text(status::kArchiveNotWritten));
    archiveFailing = true;
  } else {
    archiveFailing = false;
  }
  return path;
}

void Form1::startArchive() {
  if (archive == nullptr) return;
  if (archive->exists(AppDir)) {
    archive->removeStaleTemporaries(AppDir);
    return;
  }
  const LocalTime now = clock_.now();
  for (int slot = kMailSlots; slot >= 1; --slot) {
    if (MailStore.MailText[slot].empty()) continue;
    StoredRecord record;
    record.caller = MailStore.MailCaller[slot];
    record.text = MailStore.MailText[slot];
    record.melody = MailStore.MailMelody[slot];
    record.image = MailStore.MailImage[slot];
    record.kind = kindOfStored(record.text, record.melody, record.image);
    record.received = storedRecordTime(MailStore.MailTime[slot], now).value_or(now);
    // The archive has been told once; the rest would fail the same way.
    if (archiveRecord(record).empty()) return;
  }
}

}  // namespace ondrix
