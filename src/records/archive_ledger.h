// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The archive's ledger: which records of the store reached the Maildir and
// whether their hook has ended, by an identity made from the record itself,
// so a record is found again in the store after any restart.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "state/connection_state.h"

namespace ondrix {

// What the ledger knows of a record.
enum class Filed : char {
  Import = 'N',    // to be archived without a hook (a store older than its archive)
  Archived = 'A',  // in the Maildir; its hook has not ended yet
  Done = 'D',      // in the Maildir, and forwarded (or nothing to forward)
};

struct LedgerRead {
  enum class Health { Missing, Sound, Unreadable };
  Health health = Health::Missing;
  // The last word on each identity; a torn last line is left out.
  std::map<std::string, Filed> filed;
  std::size_t lines = 0;
};

LedgerRead readLedgerBytes(const std::optional<Bytes>& bytes);
// One line of the ledger; a whole ledger of the given entries.
Bytes ledgerLine(Filed filed, const std::string& id);
Bytes ledgerBytes(const std::map<std::string, Filed>& filed);

// The identity of each record of the store, by slot (empty for an empty
// slot): a hash of its time stamp, caller, text, melody and image, and how
// many records with the same hash are older, so that two equal records
// stay two. It is also the Message-ID's left part and a part of the
// message's file name.
using StoreIds = std::array<std::string, kMailSlots + 1>;
StoreIds storeIds(const MailStoreArrays& store);
// Slot 1's identity alone, hashing only records of the same time stamp.
std::string newestId(const MailStoreArrays& store);
bool holdsRecord(const MailStoreArrays& store, int slot);

// The file name part that carries the identity, and the identity a
// message's path carries (empty when none: a message of an earlier version).
inline constexpr TextView kIdInName = u",ondrix=";
std::string idOfMessage(TextView path);

}  // namespace ondrix
