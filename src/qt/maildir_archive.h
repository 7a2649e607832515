// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The archive as a Maildir on the disk: each message written into tmp/,
// synced, renamed into new/, and new/ synced, so a message is either whole
// in new/ or not there at all.
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/record_archive.h"

namespace ondrix {

class DurableQueue;

class MaildirArchive : public RecordArchive {
 public:
  Text uniqueName() override;
  Text deliver(const Text& directory, const Text& name, const Bytes& message) override;
  bool exists(const Text& directory) override;
  void removeStaleTemporaries(const Text& directory) override;
  // The ledger and the listing: qt/maildir_ledger.cpp.
  std::vector<Text> listMessages(const Text& directory) override;
  std::optional<Bytes> readLedger(const Text& directory) override;
  bool appendLedger(const Text& directory, const Bytes& bytes) override;
  bool replaceLedger(const Text& directory, const Bytes& bytes) override;
  // From now on a delivery's syncs and rename, and the whole of a ledger's
  // change, are done by `queue`'s worker, in the order asked: a ledger line
  // never reaches the disk before the message it tells of.
  void setDurableQueue(DurableQueue* queue) { queue_ = queue; }

 private:
  std::uint64_t deliveries_ = 0;
  // A ledger change, done now or handed to the worker behind the deliveries.
  bool changeLedger(bool (*now)(const Text&, const Bytes&), const Text& directory,
                    const Bytes& bytes);
  DurableQueue* queue_ = nullptr;
  // Set by the worker once a delivery failed: the ledger then takes no more
  // lines this run, so the next start asks the Maildir what it holds.
  std::shared_ptr<std::atomic<bool>> lost_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace ondrix
