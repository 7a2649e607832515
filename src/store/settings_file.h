// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings file "\brellin.ini".
#include <optional>

#include "core/text.h"
#include "platform/files.h"
#include "state/connection_state.h"

namespace ondrix {

// Its name in the program directory.
inline const Text kSettingsFile = u"\\brellin.ini";

// What the settings file gave.
struct LoadedSettings {
  // The defaults, with what the file supplied in their place.
  Settings settings;
  // The port box text " n" when the file names a port n from 1 to 9; the box
  // is left as it is otherwise.
  std::optional<Text> portBoxText;
};

// Reads the settings; a missing or short file leaves defaults for the rest.
LoadedSettings LoadSettings(Files& files, const Text& path);
// Writes the settings and the leading number of the port box text.
void SaveSettings(Files& files, const Text& path, const Settings& settings, const Text& comNo);

}  // namespace ondrix
