// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The archive as a Maildir on the disk: each message written into tmp/,
// synced, renamed into new/, and new/ synced, so a message is either whole
// in new/ or not there at all.
#include <cstdint>

#include "platform/record_archive.h"

namespace ondrix {

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

 private:
  std::uint64_t deliveries_ = 0;
};

}  // namespace ondrix
