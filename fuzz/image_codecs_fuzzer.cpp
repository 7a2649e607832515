// SPDX-License-Identifier: GPL-3.0-or-later
// Bitmap files come from anywhere the operator drops them from, image texts
// from any terminal. Neither may crash the codecs, and an image must not
// change on its way through the program:
// - a bitmap file LoadImageFile accepts, saved from its image element with
//   SaveImageFile and loaded again, gives the same element;
// - an image text saved with SaveImageFile gives a well-formed bitmap file
//   which, when its size can be offered, loads back with the same width,
//   height and pixels (rows the text did not fill are white);
// - Base64 of the decoded bytes decodes to the same bytes.
//
// Input: byte 0 even: the rest is a bitmap file; odd: the rest is an image
// text.
#include "fakes.h"
#include "fuzz_input.h"
#include "store/base64.h"
#include "store/codecs.h"
#include "store/terminal_bitmap.h"

namespace ondrix::fuzz {
namespace {

const Text kDropped = u"/home/op/dropped.bmp";
const Text kSaved = u"/opt/ondrix\\Image.bmp";
const Text kOpen = u"<IMAGE>";
const Text kClose = u"</IMAGE>";

bool pixel(const Bytes& terminal, std::size_t bit) {
  const std::size_t at = kTerminalHeaderSize + bit / 8;
  return at < terminal.size() && ((terminal[at] >> (7 - bit % 8)) & 1);
}

Text base64Of(const Text& element) {
  check(element.starts_with(kOpen) && element.ends_with(kClose), "image element tags");
  return element.substr(kOpen.size(), element.size() - kOpen.size() - kClose.size());
}

void loadedFile(const Bytes& file) {
  FakeFiles files;
  files.writeBytes(kDropped, file);
  Text element;
  if (!LoadImageFile(files, kDropped, element)) {
    check(element.empty(), "a rejected file leaves the element alone");
    return;
  }
  const Bytes terminal = decodeBase64Tolerant(base64Of(element));
  check(terminal.size() >= kTerminalHeaderSize, "terminal header");
  const int w = terminal[4];
  const int h = terminal[6];
  check(w >= 1 && w <= kMaxImageSide && h >= 1 && h <= kMaxImageSide, "offered size");
  check(terminal.size() == kTerminalHeaderSize + (static_cast<std::size_t>(w) * h + 7) / 8,
        "terminal bitmap length");

  SaveImageFile(files, kSaved, base64Of(element));
  Text again;
  check(LoadImageFile(files, kSaved, again), "saved element loads again");
  check(again == element, "element unchanged by save and load");
}

void savedText(const Text& text) {
  const Bytes decoded = decodeBase64Tolerant(text);
  check(decodeBase64Tolerant(encodeBase64(decoded)) == decoded, "Base64 round trip");
  if (text.empty()) return;  // callers never save an empty image text

  FakeFiles files;
  SaveImageFile(files, kSaved, text);
  const auto file = files.readBytes(kSaved);
  check(file.has_value(), "bitmap file written");
  check(file->size() >= kBitmapHeaderSize && (*file)[0] == 'B' && (*file)[1] == 'M',
        "bitmap signature");
  const std::size_t w = (*file)[18];
  const std::size_t h = (*file)[22];
  check(w >= 1 && h >= 1, "bitmap size");
  check(file->size() == kBitmapHeaderSize + bitmapRowSize(static_cast<int>(w)) * h,
        "bitmap file length");

  const bool sized = decoded.size() >= kTerminalHeaderSize && decoded[4] != 0 && decoded[6] != 0;
  if (!sized || decoded[4] > kMaxImageSide || decoded[6] > kMaxImageSide) return;
  check(w == decoded[4] && h == decoded[6], "bitmap keeps the size");
  Text element;
  check(LoadImageFile(files, kSaved, element), "saved bitmap loads");
  const Bytes loaded = decodeBase64Tolerant(base64Of(element));
  check(loaded.size() >= kTerminalHeaderSize && loaded[4] == w && loaded[6] == h, "loaded size");
  const std::size_t fullRows = std::min(h, (decoded.size() - kTerminalHeaderSize) * 8 / w);
  for (std::size_t bit = 0; bit < w * h; ++bit) {
    const bool expected = bit / w < fullRows && pixel(decoded, bit);
    check(pixel(loaded, bit) == expected, "pixels unchanged, missing rows white");
  }
}

}  // namespace
}  // namespace ondrix::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ondrix::fuzz;
  if (size == 0) return 0;
  const ByteView rest(data + 1, size - 1);
  if (data[0] % 2 == 0) {
    loadedFile(ondrix::Bytes(rest.begin(), rest.end()));
  } else {
    savedText(textOf(rest));
  }
  return 0;
}
