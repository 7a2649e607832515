#include "store/codecs.h"

namespace ondrix {

// Not built yet.
void SaveMelodyFile(Files&, const Text&, const Text&) {}
bool LoadMelodyFile(Files&, const Text&, Text&) { return false; }
void SaveImageFile(Files&, const Text&, const Text&) {}
bool LoadImageFile(Files&, const Text&, Text&) { return false; }

}  // namespace ondrix
