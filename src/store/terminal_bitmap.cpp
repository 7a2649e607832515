// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal's monochrome image to and from a 1-bit bitmap file.
#include "store/terminal_bitmap.h"

#include <cstdint>

namespace ondrix {

namespace {

void putLe32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool bitAt(const Bytes& b, std::size_t offset, std::size_t bit) {
  return (b[offset + bit / 8] >> (7 - bit % 8)) & 1;
}

void setBit(Bytes& b, std::size_t offset, std::size_t bit) {
  b[offset + bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
}

}  // namespace

int bitmapRowSize(int width) { return ((width - 1) / 32 + 1) * 4; }

Bytes bitmapFileFromTerminal(const Bytes& terminal) {
  int width = 1;
  int height = 1;
  bool hasPixels = terminal.size() >= kTerminalHeaderSize && terminal[4] != 0 && terminal[6] != 0;
  if (hasPixels) {
    width = terminal[4];
    height = terminal[6];
  }
  const std::size_t rowSize = static_cast<std::size_t>(bitmapRowSize(width));
  const std::size_t fileSize = kBitmapHeaderSize + rowSize * height;

  Bytes file(fileSize, 0);
  file[0] = 'B';
  file[1] = 'M';
  putLe32(file, 2, static_cast<std::uint32_t>(fileSize));
  putLe32(file, 10, kBitmapHeaderSize);
  putLe32(file, 14, 40);
  putLe32(file, 18, static_cast<std::uint32_t>(width));
  putLe32(file, 22, static_cast<std::uint32_t>(height));
  file[26] = 1;
  file[28] = 1;
  // Colour 0 white, colour 1 black (already 0).
  file[54] = file[55] = file[56] = 255;
  if (!hasPixels) return file;

  // The stream's rows go to the file from its last row upward, since the
  // file stores the bottom row first. An incomplete last row is dropped.
  const std::size_t streamBits = (terminal.size() - kTerminalHeaderSize) * 8;
  for (std::size_t row = 0; row < static_cast<std::size_t>(height); ++row) {
    const std::size_t first = row * width;
    if (first + width > streamBits) break;
    const std::size_t rowOffset = kBitmapHeaderSize + rowSize * (height - 1 - row);
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      if (bitAt(terminal, kTerminalHeaderSize, first + x)) setBit(file, rowOffset, x);
    }
  }
  return file;
}

std::optional<Bytes> terminalFromBitmapFile(const Bytes& file) {
  // Everything up to the second colour is examined.
  if (file.size() < kBitmapHeaderSize) return std::nullopt;
  if (file[28] > 1) return std::nullopt;
  if (file[18] > kMaxImageSide || file[19] || file[20] || file[21]) return std::nullopt;
  if (file[22] > kMaxImageSide || file[23] || file[24] || file[25]) return std::nullopt;
  const int width = file[18];
  const int height = file[22];
  // An empty picture would come back as one white pixel after a save, so
  // the offer would change on its way through: the terminal cannot show it.
  if (width == 0 || height == 0) return std::nullopt;

  // A 1 must mean the darker colour, whichever palette entry that is.
  const int s0 = file[54] + file[55] + file[56];
  const int s1 = file[58] + file[59] + file[60];
  const bool invert = s1 >= s0;

  // Rows are found from the end of the file; they must not reach back into
  // the header.
  const std::size_t rowSize = static_cast<std::size_t>(bitmapRowSize(width));
  const std::size_t rowsSize = rowSize * height;
  if (file.size() < kBitmapHeaderSize + rowsSize) return std::nullopt;

  const std::size_t pixelBytes = (static_cast<std::size_t>(width) * height + 7) / 8;
  Bytes terminal(kTerminalHeaderSize + pixelBytes, 0);
  terminal[0] = 'D';
  terminal[1] = 'O';
  terminal[2] = 'T';
  terminal[4] = static_cast<std::uint8_t>(width);
  terminal[6] = static_cast<std::uint8_t>(height);
  // Bits after the last pixel stay 0.
  for (std::size_t row = 0; row < static_cast<std::size_t>(height); ++row) {
    const std::size_t rowOffset = file.size() - rowSize * (row + 1);
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      if (bitAt(file, rowOffset, x) != invert)
        setBit(terminal, kTerminalHeaderSize, row * width + x);
    }
  }
  return terminal;
}

}  // namespace ondrix
