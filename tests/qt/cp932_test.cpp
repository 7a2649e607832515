// SPDX-License-Identifier: GPL-3.0-or-later
// CP932 through Qt: bytes below 0x80 as themselves, decoding, encoding.
#include <gmock/gmock.h>

#include <vector>

#include "qt/qt_cp932.h"

namespace ondrix {
namespace {

QByteArray bytes(const char* s, qsizetype n = -1) {
  return n < 0 ? QByteArray(s) : QByteArray(s, n);
}
QString text(const char16_t* s) { return QString::fromUtf16(s); }

TEST(Cp932Test, EveryByteBelow0x80StandsForItself) {
  QByteArray all;
  QString expected;
  for (int b = 0; b < 0x80; ++b) {
    all.append(static_cast<char>(b));
    expected.append(QChar(b));
  }
  EXPECT_EQ(Cp932Decoder().decode(all), expected);
  EXPECT_EQ(encodeCp932(expected), all);
}

TEST(Cp932Test, Decodes) {
  struct Case {
    const char* name;
    std::vector<QByteArray> chunks;
    const char16_t* out;  // all chunks' output together
  };
  const Case cases[] = {
      {"double-byte and half-width", {bytes("\x8A\xBF\xB1\xDE")}, u"漢ｱﾞ"},
      {"split double-byte", {bytes("\x8A"), bytes("\xBF")}, u"漢"},
      {"vendor rows", {bytes("\x87\x40\xF0\x40")}, u"①\uE000"},
      {"invalid single bytes", {bytes("\x80\xA0\xFD\xFE\xFF")}, u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"unassigned double-byte", {bytes("\xFC\xFC")}, u"\uFFFD"},
      {"lead byte cut by blank", {bytes("\x81 ")}, u"\uFFFD "},
      {"lead byte cut by 0x7F", {bytes("\x81\x7F")}, u"\uFFFD\x7F"},
      {"pending lead cut by 0x1A",
       {bytes("\x83"), bytes("\x1A"
                             "A")},
       u"\uFFFD\x1A"
       "A"},
      {"pending lead then trail after 0x1C",
       {bytes("\x1C\x83"), bytes("\x66")},
       u"\x1C"
       u"デ"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Cp932Decoder d;
    QString out;
    for (const QByteArray& chunk : c.chunks) out += d.decode(chunk);
    EXPECT_EQ(out, text(c.out));
  }
}

TEST(Cp932Test, Encodes) {
  struct Case {
    const char16_t* in;
    QByteArray out;
  };
  const Case cases[] = {
      {u"ata\r", bytes("ata\r")},
      {u"ＭＳ ゴシック", bytes("\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E")},
      {u"～", bytes("\x81\x60")},
      {u"\x1A\x1C\x7F", bytes("\x1A\x1C\x7F")},
      {u"A🙂B", bytes("A?B")},  // beyond the code page
      {u"€", bytes("?")},
      {u"◯🙂", bytes("\x81\xFC?")},  // 0xFC as a genuine trail byte
      {u"a\xD83D"
       "b\xDE42",
       bytes("a?b?")},  // lone surrogates
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QString::fromUtf16(c.in).toStdString());
    EXPECT_EQ(encodeCp932(text(c.in)), c.out);
  }
}

}  // namespace
}  // namespace ondrix
