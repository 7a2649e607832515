// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Maildir archive in memory: what was delivered where, in order, and a
// switch that makes it refuse deliveries as a full disk does.
#include <vector>

#include "platform/record_archive.h"

namespace ondrix {

class FakeArchive : public RecordArchive {
 public:
  struct Delivery {
    Text directory;
    Text name;
    Bytes message;
  };

  Text uniqueName() override { return u"1765170000.M1P2Q" + decimal(++names_) + u".host"; }
  Text deliver(const Text& directory, const Text& name, const Bytes& message) override {
    if (refusing) return {};
    delivered.push_back({directory, name, message});
    present = true;
    return directory + u"\\Maildir\\new\\" + name;
  }
  bool exists(const Text&) override { return present; }
  void removeStaleTemporaries(const Text& directory) override { cleaned.push_back(directory); }

  std::vector<Delivery> delivered;
  std::vector<Text> cleaned;  // the folders whose tmp/ was cleaned
  bool refusing = false;
  bool present = false;  // a Maildir stands there

 private:
  long long names_ = 0;
};

}  // namespace ondrix
