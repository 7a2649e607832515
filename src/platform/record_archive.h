// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Maildir archive as the core uses it: one message delivered at a time
// into the folder `Maildir` of a data directory, and the archive's ledger
// beside the messages. Nothing here reads a message back, moves or removes
// one; the names of the messages are listed.
#include <optional>
#include <vector>

#include "core/text.h"

namespace ondrix {

class RecordArchive {
 public:
  virtual ~RecordArchive() = default;

  // A name no other message of this host gets (time, this process's
  // count of deliveries, its id, the host), as the message's file is named.
  virtual Text uniqueName() = 0;
  // Delivers `message` under `name` into the Maildir of `directory` (made
  // when missing): written into tmp/, synced, renamed into new/, new/
  // synced. The path of the message in new/, or empty when it could not be
  // delivered safely (a half-written file never appears in new/).
  virtual Text deliver(const Text& directory, const Text& name, const Bytes& message) = 0;
  // Whether anything stands at the name of the Maildir of `directory`.
  virtual bool exists(const Text& directory) = 0;
  // Removes files of tmp/ older than 36 hours: deliveries a stopped
  // process left half-written.
  virtual void removeStaleTemporaries(const Text& directory) = 0;

  // The paths of the messages in new/ and cur/ of the Maildir of `directory`.
  virtual std::vector<Text> listMessages(const Text& directory) = 0;
  // The ledger's bytes; none when there is no ledger (or it cannot be read).
  virtual std::optional<Bytes> readLedger(const Text& directory) = 0;
  // Appends to the ledger (made when missing) with one write and syncs it.
  // False when not all of it reached the disk.
  virtual bool appendLedger(const Text& directory, const Bytes& bytes) = 0;
  // Replaces the ledger whole: written aside, synced, renamed, folder synced.
  virtual bool replaceLedger(const Text& directory, const Bytes& bytes) = 0;
};

}  // namespace ondrix
