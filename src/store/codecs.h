// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Melody files and 1-bit bitmap files <-> the texts the dialogue carries.
#include "core/text.h"
#include "platform/files.h"

namespace ondrix {

// The working files of the last mail's melody and picture, in the program
// directory; the player and the preview read them.
inline const Text kWorkingMelodyFile = u"\\melody.mmd";
inline const Text kWorkingImageFile = u"\\Image.bmp";

// The contents of the working files for a melody tag and for a bare image
// text (Base64 of a terminal bitmap); the savers write exactly these.
Text melodyFileText(const Text& melody);
Bytes imageFileBytes(const Text& image);

// The savers are false when the file could not be written.
bool SaveMelodyFile(Files& files, const Text& path, const Text& melody);
// True when the first line begins "<MEL="; `firstLine` gets the first line
// whenever it could be read.
bool LoadMelodyFile(Files& files, const Text& path, Text& firstLine);
// `image` is a bare image text (Base64 of a terminal bitmap).
bool SaveImageFile(Files& files, const Text& path, const Text& image);
// On success `element` becomes "<IMAGE>" Base64 "</IMAGE>".
bool LoadImageFile(Files& files, const Text& path, Text& element);

}  // namespace ondrix
