#include "store/settings_file.h"

namespace ondrix {

// Not built yet.
void LoadSettings(Files&, const Text&, FileIOModule1&, Text&) {}
void SaveSettings(Files&, const Text&, const FileIOModule1&, const Text&) {}

}  // namespace ondrix
