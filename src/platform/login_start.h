// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop's start at login: the program's own entry in the user's
// autostart folder, which the File menu's item makes and removes.
#include <cstdint>

#include "core/text.h"

namespace ondrix {

// What stands where the entry goes.
enum class LoginEntryPlace : std::int16_t { Free, Entry, Folder };

class LoginStart {
 public:
  virtual ~LoginStart() = default;
  // `content` gets an entry's bytes (empty when it cannot be read).
  virtual LoginEntryPlace look(Bytes& content) = 0;
  // The path of this program's executable, as the entry is to start it.
  virtual Text programPath() = 0;
  // The data folder the entry names (--dir); empty for the program's own.
  virtual Text dataFolder() { return {}; }
  // Writes the entry whole, making the folders it needs; false when
  // nothing was written.
  virtual bool write(const Bytes& entry) = 0;
  // Removes the entry; false when it is still there.
  virtual bool remove() = 0;
};

}  // namespace ondrix
