// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Maildir archive in memory: the messages delivered, in order, its
// ledger, and a switch that makes it refuse writes as a full disk does.
#include <algorithm>
#include <optional>
#include <vector>

#include "platform/record_archive.h"

namespace ondrix {

struct FakeArchive : RecordArchive {
  Text uniqueName() override { return u"1765170000.M1P2Q" + decimal(++names) + u".host"; }
  Text deliver(const Text& directory, const Text& name, const Bytes& message) override {
    if (refusing) return {};
    made = true;
    directories.push_back(directory);
    messages.emplace_back(message.begin(), message.end());
    paths.push_back(directory + u"\\Maildir\\new\\" + name);
    return paths.back();
  }
  bool exists(const Text&) override { return made; }
  void removeStaleTemporaries(const Text&) override {}
  std::vector<Text> listMessages(const Text&) override { return paths; }
  std::optional<Bytes> readLedger(const Text&) override { return ledger; }
  bool appendLedger(const Text&, const Bytes& bytes) override {
    if (refusing) return false;
    made = true;
    if (!ledger) ledger.emplace();
    ledger->insert(ledger->end(), bytes.begin(), bytes.end());
    return true;
  }
  bool replaceLedger(const Text&, const Bytes& bytes) override {
    if (refusing) return false;
    made = true;
    ledger = bytes;
    return true;
  }
  // The ledger as text, for messages of a test.
  std::string ledgerText() const {
    return ledger ? std::string(ledger->begin(), ledger->end()) : "";
  }

  std::vector<Text> directories;
  std::vector<std::string> messages;
  std::vector<Text> paths;  // what new/ and cur/ hold; a test may take some away
  std::optional<Bytes> ledger;
  bool made = false;  // the Maildir exists
  bool refusing = false;
  long long names = 0;
};

}  // namespace ondrix
