// SPDX-License-Identifier: GPL-3.0-or-later
// Melody and image texts to and from the melody and bitmap files.
#include "store/codecs.h"

#include "store/base64.h"
#include "store/terminal_bitmap.h"

namespace ondrix {

namespace {

const Text kMelodyMark = u"<MEL=";

}  // namespace

Text melodyFileText(const Text& melody) { return melody + CRLF; }

Bytes imageFileBytes(const Text& image) {
  return bitmapFileFromTerminal(decodeBase64Tolerant(image));
}

bool SaveMelodyFile(Files& files, const Text& path, const Text& melody) {
  return files.writeWorkingText(path, melodyFileText(melody));
}

bool LoadMelodyFile(Files& files, const Text& path, Text& firstLine) {
  const auto content = files.readText(path);
  if (!content || content->empty()) return false;
  // A line ends at CR, LF or CR LF, so files from any system give the same
  // first line.
  const auto end = content->find_first_of(u"\r\n");
  firstLine = content->substr(0, end);
  return firstLine.starts_with(kMelodyMark);
}

bool SaveImageFile(Files& files, const Text& path, const Text& image) {
  return files.writeWorkingBytes(path, imageFileBytes(image));
}

bool LoadImageFile(Files& files, const Text& path, Text& element) {
  const auto bytes = files.readBytes(path);
  if (!bytes) return false;
  const auto terminal = terminalFromBitmapFile(*bytes);
  if (!terminal) return false;
  element = u"<IMAGE>" + encodeBase64(*terminal) + u"</IMAGE>";
  return true;
}

}  // namespace ondrix
