// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The start at login through the desktop's autostart folder:
// $XDG_CONFIG_HOME/autostart, or ~/.config/autostart.
#include <QString>

#include "platform/login_start.h"

namespace ondrix {

class QtLoginStart : public LoginStart {
 public:
  // `folder`: the data folder of a server started with --dir, whose entry
  // is its own; empty for the program's own folder.
  explicit QtLoginStart(QString folder = {}) : folder_(std::move(folder)) {}
  LoginEntryPlace look(Bytes& content) override;
  Text programPath() override;
  Text dataFolder() override;
  bool write(const Bytes& entry) override;
  bool remove() override;

  // Where the entry goes, looked up at each call: for a --dir server, an
  // entry named after its folder, so each line's server has its own.
  static QString entryPath(const QString& folder = {});

 private:
  QString folder_;
};

}  // namespace ondrix
