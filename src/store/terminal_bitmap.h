// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The terminal's monochrome image ("DOT", 0, width, 0, height, then the
// pixels as one unpadded bit stream, 1 = dark) and its conversion to and
// from a 1-bit bottom-up bitmap file.
#include <optional>

#include "core/text.h"

namespace ondrix {

inline constexpr int kTerminalHeaderSize = 7;
inline constexpr int kBitmapHeaderSize = 62;
// Larger images are not accepted from bitmap files.
inline constexpr int kMaxImageSide = 96;

// Bytes of one padded row of a 1-bit bitmap file of the given width.
int bitmapRowSize(int width);

// The bitmap file for decoded terminal bitmap bytes. Pixels are taken row by
// row as far as the data reaches; rows the data does not fill stay white.
// Data too short to hold the size, or a size of 0, gives a one-pixel white
// bitmap: the file stays well-formed and no earlier picture survives under
// the same name.
Bytes bitmapFileFromTerminal(const Bytes& terminal);

// The terminal bitmap for the bytes of a 1-bit bitmap file, or nullopt when
// the file is not one that can be sent (over 96 pixels, deeper than 1 bit,
// stored top-down) or is too short for the rows it announces.
std::optional<Bytes> terminalFromBitmapFile(const Bytes& file);

}  // namespace ondrix
