// SPDX-License-Identifier: GPL-3.0-or-later
// CP932 over Qt's converter, with its control bytes and undecodable bytes put right.
#include "qt/qt_cp932.h"

#include <QStringEncoder>

namespace ondrix {

namespace {

constexpr const char* kCodecName = "windows-31j";
constexpr char16_t kReplacement = 0xFFFD;
// The converter's substitute for undecodable bytes.
constexpr char16_t kConverterSubstitute = 0x1A;

// Control bytes the converter maps to other code points. None of them can be
// the second byte of a double-byte character, so each always stands alone.
bool isSwappedControl(char16_t c) { return c == 0x1A || c == 0x1C || c == 0x7F; }

}  // namespace

Cp932Decoder::Cp932Decoder() : icu_(kCodecName) {}

QString Cp932Decoder::decode(QByteArrayView bytes) {
  QString out;
  out.reserve(bytes.size());
  qsizetype start = 0;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (!isSwappedControl(b)) continue;
    decodeRun(bytes.sliced(start, i - start), out);
    // Passing the byte through the converter ends a lead byte left pending
    // from before; whatever comes out ahead of the byte's own character is
    // the substitute for that lead byte.
    const QString c = icu_(bytes.sliced(i, 1));
    for (qsizetype k = 0; k + 1 < c.size(); ++k) out += QChar(kReplacement);
    out += QChar(b);
    start = i + 1;
  }
  decodeRun(bytes.sliced(start), out);
  return out;
}

void Cp932Decoder::decodeRun(QByteArrayView run, QString& out) {
  if (run.isEmpty()) return;
  // The run holds no 0x7F, so a U+001A here can only be a substitute.
  const QString s = icu_(run);
  for (QChar c : s) out += c.unicode() == kConverterSubstitute ? QChar(kReplacement) : c;
}

namespace {

// A character CP932 has no bytes for comes out as the converter's
// substitute FC FC (no character maps there) or as nothing.
QByteArray encodeOne(QStringEncoder& enc, QStringView ch) {
  QByteArray b = enc(ch);
  if (b.isEmpty() || b == QByteArrayView("\xFC\xFC")) return QByteArray("?");
  return b;
}

void encodeRun(QStringEncoder& enc, QStringView run, QByteArray& out) {
  if (run.isEmpty()) return;
  QByteArray b = enc(run);
  // FC FC marks a character that could not be encoded; 0xFC is otherwise
  // rare, so a run containing it is simply redone one character at a time.
  if (!b.contains('\xFC')) {
    out += b;
    return;
  }
  for (qsizetype i = 0; i < run.size(); ++i) out += encodeOne(enc, run.sliced(i, 1));
}

// A run of characters from 0x80 on: surrogate pairs are one character each,
// a lone half is no character at all.
void encodeWide(QStringEncoder& enc, QStringView text, QByteArray& out) {
  qsizetype start = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (!QChar::isSurrogate(c)) continue;
    encodeRun(enc, text.sliced(start, i - start), out);
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
        QChar::isLowSurrogate(text[i + 1].unicode())) {
      out += encodeOne(enc, text.sliced(i, 2));
      ++i;
    } else {
      out += '?';
    }
    start = i + 1;
  }
  encodeRun(enc, text.sliced(start), out);
}

}  // namespace

QByteArray encodeCp932(QStringView text) {
  QStringEncoder enc(kCodecName, QStringConverter::Flag::Stateless);
  QByteArray out;
  out.reserve(text.size() * 2);
  qsizetype i = 0;
  while (i < text.size()) {
    // Every character below 0x80 is its own byte (the converter would swap
    // a few controls), and most of a store is Base64 text: such runs are
    // copied without the converter.
    qsizetype j = i;
    while (j < text.size() && text[j].unicode() < 0x80) {
      out += static_cast<char>(text[j].unicode());
      ++j;
    }
    i = j;
    while (j < text.size() && text[j].unicode() >= 0x80) ++j;
    encodeWide(enc, text.sliced(i, j - i), out);
    i = j;
  }
  return out;
}

}  // namespace ondrix
