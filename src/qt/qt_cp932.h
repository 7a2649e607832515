// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CP932 (the Japanese system code page) over Qt's converter, with the two
// places where that converter goes wrong for us put right:
// - it swaps the control bytes 0x1A, 0x1C and 0x7F with other code points;
//   here every byte below 0x80 stands for itself;
// - it turns undecodable bytes into U+001A, which is a real control code;
//   here they become U+FFFD, and characters that CP932 cannot carry are
//   written as '?'.
#include <QByteArray>
#include <QString>
#include <QStringDecoder>

namespace ondrix {

// Keeps state between calls, so a double-byte character split across two
// chunks comes out whole with the second one.
class Cp932Decoder {
 public:
  Cp932Decoder();
  QString decode(QByteArrayView bytes);

 private:
  void decodeRun(QByteArrayView run, QString& out);
  QStringDecoder icu_;
};

QByteArray encodeCp932(QStringView text);

}  // namespace ondrix
