// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The start at login through the desktop's autostart folder:
// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
#include <QString>

#include "platform/login_start.h"

namespace ondrix {

class QtLoginStart : public LoginStart {
 public:
  LoginEntryPlace look(Bytes& content) override;
  Text programPath() override;
  bool write(const Bytes& entry) override;
  bool remove() override;

  // Where the entry goes, looked up at each call.
  static QString entryPath();
};

}  // namespace ondrix
