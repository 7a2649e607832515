// SPDX-License-Identifier: GPL-3.0-or-later
// Base64, the bitmap writer and reader, and the melody file.
#include <gtest/gtest.h>

#include <functional>

#include "fakes.h"
#include "store/base64.h"
#include "store/codecs.h"
#include "store/terminal_bitmap.h"

namespace ondrix {
namespace {

const Text kBmp = u"/opt/ondrix\\Image.bmp";
const Text kMmd = u"/opt/ondrix\\melody.mmd";

using PixelFn = std::function<bool(int x, int y)>;

// A terminal bitmap laid out by hand; `pad` fills the bits after the last
// pixel, which carry no pixel.
Bytes terminalBitmap(int w, int h, const PixelFn& dark, bool pad = false) {
  const std::size_t bits = static_cast<std::size_t>(w) * h;
  Bytes b{'D', 'O', 'T', 0, static_cast<std::uint8_t>(w), 0, static_cast<std::uint8_t>(h)};
  b.resize(7 + (bits + 7) / 8, 0);
  for (std::size_t i = 0; i < (bits + 7) / 8 * 8; ++i) {
    const bool on = i < bits ? dark(static_cast<int>(i % w), static_cast<int>(i / w)) : pad;
    if (on) b[7 + i / 8] |= 0x80 >> (i % 8);
  }
  return b;
}

// Pixel (x, y) of a 1-bit bottom-up bitmap file, read from the layout alone.
bool filePixel(const Bytes& f, int w, int h, int x, int y) {
  const int rowSize = ((w + 31) / 32) * 4;
  const std::size_t at = 62 + static_cast<std::size_t>(rowSize) * (h - 1 - y) + x / 8;
  return (f.at(at) >> (7 - x % 8)) & 1;
}

bool checker(int x, int y) { return (x * 3 + y * 5) % 7 < 3; }

TEST(Base64, StandardVectorsAndTolerance) {
  const struct {
    const char* plain;
    Text encoded;
  } vectors[] = {
      {"", u""}, {"f", u"Zg=="}, {"fo", u"Zm8="}, {"foo", u"Zm9v"}, {"foobar", u"Zm9vYmFy"}};
  for (const auto& v : vectors) {
    const Bytes plain(v.plain, v.plain + std::char_traits<char>::length(v.plain));
    EXPECT_EQ(encodeBase64(plain), v.encoded);
    EXPECT_EQ(decodeBase64Tolerant(v.encoded), plain);
  }
  const Bytes fooba{'f', 'o', 'o', 'b', 'a'};
  EXPECT_EQ(decodeBase64Tolerant(u"Zm9v\r\nYmE="), fooba);
  EXPECT_EQ(decodeBase64Tolerant(u" Zm 9v Ym E "), fooba);
  EXPECT_EQ(decodeBase64Tolerant(u"Zm9vYmE"), fooba);
  // A single leftover character gives no byte.
  EXPECT_EQ(decodeBase64Tolerant(u"Zm9vY"), (Bytes{'f', 'o', 'o'}));
  EXPECT_EQ(decodeBase64Tolerant(u"+/+/"), (Bytes{0xFB, 0xFF, 0xBF}));
}

TEST(SaveImageFile, SixteenBySixteenHasExactHeaderAndRowsBottomUp) {
  const Bytes terminal = terminalBitmap(16, 16, checker);
  ASSERT_EQ(terminal.size(), 7u + 32u);
  FakeFiles files;
  SaveImageFile(files, kBmp, encodeBase64(terminal));
  const Bytes f = *files.readBytes(kBmp);
  ASSERT_EQ(f.size(), 126u);
  const Bytes header{'B', 'M', 126, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0,   0,   40,  0, 0, 0, 16, 0, 0,
                     0,   16,  0,   0, 0, 1, 0, 1, 0, 0, 0,  0, 0,   0,   0,   0, 0, 0, 0,  0, 0,
                     0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0,  0, 255, 255, 255, 0, 0, 0, 0,  0};
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 62), header);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x)
      EXPECT_EQ(filePixel(f, 16, 16, x, y), checker(x, y)) << x << "," << y;
    // The row's padding bytes stay 0.
    EXPECT_EQ(f[62 + 4 * (15 - y) + 2], 0);
    EXPECT_EQ(f[62 + 4 * (15 - y) + 3], 0);
  }
}

TEST(SaveImageFile, ThirtyThreeWideUsesEightByteRowsFromAnUnpaddedStream) {
  FakeFiles files;
  SaveImageFile(files, kBmp, encodeBase64(terminalBitmap(33, 5, checker, true)));
  const Bytes f = *files.readBytes(kBmp);
  ASSERT_EQ(f.size(), 62u + 8 * 5);
  EXPECT_EQ(f[2], 62 + 40);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 33; ++x)
      EXPECT_EQ(filePixel(f, 33, 5, x, y), checker(x, y)) << x << "," << y;
    // Bits after the 33rd pixel of each row stay 0.
    const std::size_t row = 62 + 8 * (4 - y);
    EXPECT_EQ(f[row + 4] & 0x7F, 0);
    EXPECT_EQ(f[row + 5] | f[row + 6] | f[row + 7], 0);
  }
}

TEST(SaveImageFile, MissingRowsStayWhite) {
  Bytes terminal = terminalBitmap(16, 16, [](int, int) { return true; });
  terminal.resize(7 + 2 * 5 + 1);  // five full rows and part of the sixth
  FakeFiles files;
  SaveImageFile(files, kBmp, encodeBase64(terminal));
  const Bytes f = *files.readBytes(kBmp);
  ASSERT_EQ(f.size(), 126u);
  for (int y = 0; y < 16; ++y) EXPECT_EQ(filePixel(f, 16, 16, 0, y), y < 5) << y;
}

TEST(SaveImageFile, DataWithoutPixelsGivesOneWhitePixel) {
  const Text texts[] = {u"", u"RE9U", encodeBase64({'D', 'O', 'T', 0, 0, 0, 8, 0xFF}),
                        encodeBase64({'D', 'O', 'T', 0, 8, 0, 0, 0xFF})};
  for (const Text& t : texts) {
    FakeFiles files;
    SaveImageFile(files, kBmp, t);
    const Bytes f = *files.readBytes(kBmp);
    ASSERT_EQ(f.size(), 66u);
    EXPECT_EQ(f[2], 66);
    EXPECT_EQ(f[18], 1);
    EXPECT_EQ(f[22], 1);
    EXPECT_EQ(f[62], 0);
  }
}

// A 1-bit bitmap file as an outside writer might produce it.
Bytes bitmapFile(int w, int h, const PixelFn& bit, bool blackFirst) {
  const Bytes terminal = terminalBitmap(w, h, bit);
  Bytes f = bitmapFileFromTerminal(terminal);
  if (blackFirst) {
    std::swap_ranges(f.begin() + 54, f.begin() + 58, f.begin() + 58);
  }
  return f;
}

TEST(LoadImageFile, SixteenBySixteenRoundTripGivesTheSameText) {
  const Text text = encodeBase64(terminalBitmap(16, 16, checker));
  FakeFiles files;
  SaveImageFile(files, kBmp, text);
  Text element;
  ASSERT_TRUE(LoadImageFile(files, kBmp, element));
  EXPECT_EQ(element, u"<IMAGE>" + text + u"</IMAGE>");
}

TEST(LoadImageFile, PixelsSurviveTextToBitmapToElement) {
  for (const auto& [w, h] :
       {std::pair{33, 5}, std::pair{96, 96}, std::pair{1, 1}, std::pair{7, 3}}) {
    SCOPED_TRACE(w * 1000 + h);
    FakeFiles files;
    // Padding bits set on the way in are not pixels and come back as 0.
    SaveImageFile(files, kBmp, encodeBase64(terminalBitmap(w, h, checker, true)));
    Text element;
    ASSERT_TRUE(LoadImageFile(files, kBmp, element));
    ASSERT_TRUE(element.starts_with(u"<IMAGE>") && element.ends_with(u"</IMAGE>"));
    const Text inner = element.substr(7, element.size() - 15);
    EXPECT_EQ(inner, encodeBase64(terminalBitmap(w, h, checker)));
  }
}

TEST(LoadImageFile, InvertedPaletteStillGivesDarkAsOne) {
  FakeFiles files;
  // Stored bits are 1 for white here, since colour 1 is the white one.
  files.writeBytes(kBmp, bitmapFile(
                             16, 16, [](int x, int y) { return !checker(x, y); }, true));
  Text element;
  ASSERT_TRUE(LoadImageFile(files, kBmp, element));
  EXPECT_EQ(element, u"<IMAGE>" + encodeBase64(terminalBitmap(16, 16, checker)) + u"</IMAGE>");
}

struct RejectCase {
  const char* name;
  // Printed by name, so test listings stay short.
  friend void PrintTo(const RejectCase& c, std::ostream* os) { *os << c.name; }
  std::function<void(Bytes&)> spoil;
};

class LoadImageRejectTest : public ::testing::TestWithParam<RejectCase> {};

TEST_P(LoadImageRejectTest, LeavesTheElementUnchanged) {
  Bytes f = bitmapFile(16, 16, checker, false);
  GetParam().spoil(f);
  FakeFiles files;
  files.writeBytes(kBmp, f);
  Text element = u"before";
  EXPECT_FALSE(LoadImageFile(files, kBmp, element));
  EXPECT_EQ(element, u"before");
}

INSTANTIATE_TEST_SUITE_P(
    Rejected, LoadImageRejectTest,
    ::testing::Values(RejectCase{"Width97", [](Bytes& f) { f[18] = 97; }},
                      RejectCase{"Height97", [](Bytes& f) { f[22] = 97; }},
                      RejectCase{"Width256", [](Bytes& f) { f[19] = 1; }},
                      RejectCase{"FourBit", [](Bytes& f) { f[28] = 4; }},
                      RejectCase{"EightBit", [](Bytes& f) { f[28] = 8; }},
                      RejectCase{"TopDown",
                                 [](Bytes& f) { f[22] = 0xF0, f[23] = f[24] = f[25] = 0xFF; }},
                      RejectCase{"ShorterThanItsRows", [](Bytes& f) { f.resize(62 + 4 * 15); }},
                      RejectCase{"ShorterThanTheHeader", [](Bytes& f) { f.resize(40); }},
                      RejectCase{"WidthZero", [](Bytes& f) { f[18] = 0; }},
                      RejectCase{"HeightZero", [](Bytes& f) { f[22] = 0; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoadImageFile, MissingFileIsRejected) {
  FakeFiles files;
  Text element = u"before";
  EXPECT_FALSE(LoadImageFile(files, kBmp, element));
  EXPECT_EQ(element, u"before");
}

TEST(MelodyFile, SaveWritesOneLine) {
  FakeFiles files;
  SaveMelodyFile(files, kMmd, u"<MEL=T120>ドレミ");
  EXPECT_EQ(files.readText(kMmd), u"<MEL=T120>ドレミ\r\n");
}

struct MelodyCase {
  const char* name;
  // Printed by name, so test listings stay short.
  friend void PrintTo(const MelodyCase& c, std::ostream* os) { *os << c.name; }
  std::optional<Text> file;
  bool accepted;
  Text lineAfter;
};

class LoadMelodyTest : public ::testing::TestWithParam<MelodyCase> {};

TEST_P(LoadMelodyTest, TakesTheFirstLine) {
  FakeFiles files;
  if (GetParam().file) files.writeText(kMmd, *GetParam().file);
  Text line = u"before";
  EXPECT_EQ(LoadMelodyFile(files, kMmd, line), GetParam().accepted);
  EXPECT_EQ(line, GetParam().lineAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Melodies, LoadMelodyTest,
    ::testing::Values(MelodyCase{"OnlyFirstLine", u"<MEL=A>\r\n<MEL=B>\r\n", true, u"<MEL=A>"},
                      MelodyCase{"NoLineEnd", u"<MEL=A>", true, u"<MEL=A>"},
                      MelodyCase{"LoneLineFeed", u"<MEL=A>\nrest", true, u"<MEL=A>"},
                      MelodyCase{"LowerCaseMark", u"<mel=A>\r\n", false, u"<mel=A>"},
                      MelodyCase{"EmptyFile", u"", false, u"before"},
                      MelodyCase{"MissingFile", std::nullopt, false, u"before"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ondrix
