// SPDX-License-Identifier: GPL-3.0-or-later
// The point where a record stored by a call leaves the store's world: it is
// archived, then the operator is told.
#include "state/form1.h"

namespace ondrix {

void Form1::recordStored(RecordKind kind) {
  StoredRecord record;
  record.kind = kind;
  record.received = clock_.now();
  record.caller = MailStore.MailCaller[1];
  record.text = MailStore.MailText[1];
  record.melody = MailStore.MailMelody[1];
  record.image = MailStore.MailImage[1];
  // The reply is still in the port's buffer: a delivery now, synced twice,
  // would hold it back.
  recordsToArchive.push_back(std::move(record));
}

void Form1::archivePending() {
  while (!recordsToArchive.empty()) {
    const StoredRecord record = std::move(recordsToArchive.front());
    recordsToArchive.pop_front();
    // A record the archive could not take is told all the same.
    const Text message = archiveRecord(record);
    announceRecord(record, message);
  }
}

}  // namespace ondrix
