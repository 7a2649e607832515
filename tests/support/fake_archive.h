// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Maildir archive in memory: the messages delivered, in order, and a
// switch that makes it refuse them as a full disk does.
#include <vector>

#include "platform/record_archive.h"

namespace ondrix {

struct FakeArchive : RecordArchive {
  Text uniqueName() override { return u"1765170000.M1P2Q" + decimal(++names) + u".host"; }
  Text deliver(const Text& directory, const Text& name, const Bytes& message) override {
    if (refusing) return {};
    directories.push_back(directory);
    messages.emplace_back(message.begin(), message.end());
    return directory + u"\\Maildir\\new\\" + name;
  }
  bool exists(const Text&) override { return !messages.empty(); }
  void removeStaleTemporaries(const Text&) override {}

  std::vector<Text> directories;
  std::vector<std::string> messages;
  bool refusing = false;
  long long names = 0;
};

}  // namespace ondrix
