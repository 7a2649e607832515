#pragma once
// The settings file "\brellin.ini".
#include "core/text.h"
#include "platform/files.h"
#include "state/connection_state.h"

namespace ondrix {

// Its name in the program directory.
inline const Text kSettingsFile = u"\\brellin.ini";

// Sets the seven settings of `module` (defaults first) and, when the file
// names a port from 1 to 9, the port box text `comNo`.
void LoadSettings(Files& files, const Text& path, FileIOModule1& module, Text& comNo);
// Writes the settings and the leading number of the port box text.
void SaveSettings(Files& files, const Text& path, const FileIOModule1& module, const Text& comNo);

}  // namespace ondrix
