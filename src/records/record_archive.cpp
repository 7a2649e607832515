// SPDX-License-Identifier: GPL-3.0-or-later
// The archive of every record the store holds: one message per record in
// the Maildir beside the store, filed once by the ledger, and at each start
// whatever an earlier run left out caught up, oldest first.
#include "records/record_road.h"
#include "state/caller_text.h"
#include "state/status_texts.h"
#include "store/archive_message.h"

namespace ondrix {

namespace {

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

StoredRecord recordOfSlot(const MailStoreArrays& store, int slot, const LocalTime& now) {
  const auto s = static_cast<std::size_t>(slot);
  StoredRecord record;
  record.caller = callerOfStored(store.MailCaller[s]);
  record.text = store.MailText[s];
  record.melody = store.MailMelody[s];
  record.image = store.MailImage[s];
  record.kind = kindOfStored(record.text, record.melody, record.image);
  record.received = storedRecordTime(store.MailTime[s], now).value_or(now);
  return record;
}

}  // namespace

void RecordRoad::catchUp() {
  caughtUp_ = true;
  if (store_ == nullptr) return;
  const StoreIds ids = storeIds(*store_);
  const bool archiveExisted = archive_.exists(home_);
  LedgerRead ledger = readLedgerBytes(archive_.readLedger(home_));
  // The identities the Maildir shows, asked only when the ledger leaves a
  // record open.
  std::optional<std::map<std::string, Text>> shown;
  const auto shownIn = [&]() -> std::map<std::string, Text>& {
    if (!shown) {
      shown.emplace();
      for (const Text& path : archive_.listMessages(home_)) {
        const std::string id = idOfMessage(path);
        if (!id.empty()) (*shown)[id] = path;
      }
    }
    return *shown;
  };
  bool trustShown = true;  // a message shown but not in the ledger: its hook is still owed
  if (ledger.health == LedgerRead::Health::Missing && archiveExisted) {
    if (shownIn().empty()) {
      // An archive of an earlier version, which filed every record it
      // stored: nothing is filed again.
      for (const std::string& id : ids) {
        if (!id.empty()) ledger.filed[id] = Filed::Done;
      }
    } else {
      ledger.health = LedgerRead::Health::Unreadable;
    }
  }
  if (ledger.health == LedgerRead::Health::Unreadable) {
    // What the Maildir shows is not filed again; what it does not show is,
    // even a message someone removed, since nothing may be lost.
    note(Text(status::kArchiveLedgerRebuilt));
    ledger.filed.clear();
    trustShown = false;
  }
  if (archiveExisted) archive_.removeStaleTemporaries(home_);
  const LocalTime now = clock_.now();
  std::map<std::string, Filed> kept;
  std::deque<Filing> late;
  for (int slot = kMailSlots; slot >= 1; --slot) {
    const std::string& id = ids[static_cast<std::size_t>(slot)];
    if (id.empty()) continue;
    const auto known = ledger.filed.find(id);
    std::optional<Filed> state;
    if (known != ledger.filed.end()) state = known->second;
    // A store older than its archive: filed, never forwarded.
    if (!archiveExisted) state = Filed::Import;
    if ((!state || *state == Filed::Import) && archiveExisted && shownIn().count(id) != 0) {
      // Delivered, and the run stopped before the ledger said so: its hook
      // has not run.
      state = trustShown && !state ? Filed::Archived : Filed::Done;
    }
    bool queued = false;
    for (const Filing& f : filings_) queued = queued || f.id == id;
    if ((!state || *state == Filed::Import) && !queued) {
      Filing filing;
      filing.record = recordOfSlot(*store_, slot, now);
      filing.id = id;
      filing.directory = home_;
      filing.forward = !state;
      late.push_back(std::move(filing));
    }
    if (state == Filed::Archived) {
      const auto at = shownIn().find(id);
      const Text message = at == shownIn().end() ? Text() : at->second;
      if (message.empty()) {
        // Removed before its hook ran: nothing to hand over.
        state = Filed::Done;
      } else {
        const StoredRecord record = recordOfSlot(*store_, slot, now);
        forwards_.push_back({message, record.kind, record.caller, id, home_});
      }
    }
    if (state) kept[id] = *state;
  }
  // Records of earlier runs come before this run's.
  filings_.insert(filings_.begin(), late.begin(), late.end());
  const bool changed = ledger.health != LedgerRead::Health::Sound || ledger.lines != kept.size() ||
                       kept != ledger.filed;
  ledger_ = std::move(kept);
  // Identities no longer in the store are dropped, so the ledger stays the
  // size of the store.
  if (changed) compact(ids);
  ledgerLines_ = ledger_.size();
  runNextHook();
}

bool RecordRoad::fileFirst() {
  Filing& filing = filings_.front();
  if (filing.lookFirst) {
    const Text message = messageWithId(filing.directory, filing.id);
    if (!message.empty()) {
      filed(filing, message);
      return true;
    }
  }
  const Text name = archive_.uniqueName() + Text(kIdInName) + fromUtf8(filing.id);
  const Text message =
      archive_.deliver(filing.directory, name,
                       archiveMessageFor(files_, filing.record, filing.id + "@ondrix.invalid"));
  if (message.empty()) {
    // The call and the store go on; the operator is told once, until the
    // archive takes a record again.
    if (!refusedSaid_) note(Text(status::kArchiveNotWritten));
    refusedSaid_ = true;
    filing.lookFirst = true;
    return false;
  }
  refusedSaid_ = false;
  filed(filing, message);
  return true;
}

void RecordRoad::mark(const Text& directory, Filed state, const std::string& id) {
  if (directory == home_) {
    ledger_[id] = state;
    ++ledgerLines_;
  }
  // A ledger that did not take the line leaves the record to the Maildir's
  // word at the next start.
  archive_.appendLedger(directory, ledgerLine(state, id));
  if (directory == home_ && ledgerLines_ > 4 * static_cast<std::size_t>(kMailSlots) &&
      store_ != nullptr) {
    compact(storeIds(*store_));
  }
}

void RecordRoad::compact(const StoreIds& ids) {
  std::map<std::string, Filed> kept;
  for (const std::string& id : ids) {
    const auto known = ledger_.find(id);
    if (!id.empty() && known != ledger_.end()) kept[id] = known->second;
  }
  // Records on their way are kept whatever the store shows now.
  for (const Forward& f : forwards_) kept[f.id] = Filed::Archived;
  if (archive_.replaceLedger(home_, ledgerBytes(kept))) {
    ledger_ = std::move(kept);
    ledgerLines_ = ledger_.size();
  }
}

Text RecordRoad::messageWithId(const Text& directory, const std::string& id) {
  for (const Text& path : archive_.listMessages(directory)) {
    if (idOfMessage(path) == id) return path;
  }
  return {};
}

}  // namespace ondrix
