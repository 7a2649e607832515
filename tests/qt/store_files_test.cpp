// SPDX-License-Identifier: GPL-3.0-or-later
// The settings, store and bitmap files on disk: their bytes, bitmaps through QImage.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "qt/qt_files.h"
#include "qt/qt_text.h"
#include "store/base64.h"
#include "store/codecs.h"
#include "store/mail_store_file.h"
#include "store/settings_file.h"

namespace ondrix {
namespace {

bool pattern(int x, int y) { return (x * 3 + y * 5) % 7 < 3; }

class StoreFilesTest : public ::testing::Test {
 protected:
  QByteArray fileBytes(const QString& name) {
    QFile f(dir.filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }

  QTemporaryDir dir;
  Text app = toText(dir.path());
  QtFiles files{app};
};

TEST_F(StoreFilesTest, SettingsFileBytes) {
  // No file: the defaults.
  const LoadedSettings loaded = LoadSettings(files, app + u"\\brellin.ini");
  SaveSettings(files, app + u"\\brellin.ini", loaded.settings, u" 3");
  EXPECT_EQ(fileBytes("brellin.ini"),
            QByteArray("\"at#sy1=40\"\r\n\"atu3v1q0\\v2#ps2=1\"\r\n3\r\n\"QV-M7\"\r\n"
                       "\"\",\"\",\"0\"\r\n\"\"\r\n"));
}

TEST_F(StoreFilesTest, MailStoreFileBytesAndReadBack) {
  MailStoreArrays s;
  s.MailCaller[1] = u"0311112222";
  s.MailText[1] = u"こんにちは\r\n\"引用\"";
  s.MailTime[1] = u"01/02 03:04";
  s.MailImage[2] = u"RE9U";
  SaveMailStore(files, app + u"\\amp.dat", s);

  QByteArray expected(" 0 \r\n 100 \r\n 5 \r\n 0 \r\n");
  // こんにちは CR LF ”引用” in CP932.
  expected +=
      "\"0311112222\",\"\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\r\n"
      "\x81\x68\x88\xf8\x97\x70\x81\x68\",\"01/02 03:04\",\"\",\"\"\r\n";
  expected += "\"\",\"\",\"\",\"\",\"RE9U\"\r\n";
  for (int i = 3; i <= 100; ++i) expected += "\"\",\"\",\"\",\"\",\"\"\r\n";
  EXPECT_EQ(fileBytes("amp.dat"), expected);

  MailStoreArrays back;
  LoadMailStore(files, app + u"\\amp.dat", back);
  EXPECT_EQ(back.MailText[1], u"こんにちは\r\n”引用”");
  EXPECT_EQ(back.MailTime[1], u"01/02 03:04");
  EXPECT_EQ(back.MailImage[2], u"RE9U");
}

Bytes terminalBitmap(int w, int h) {
  Bytes b{'D', 'O', 'T', 0, static_cast<std::uint8_t>(w), 0, static_cast<std::uint8_t>(h)};
  b.resize(7 + (w * h + 7) / 8, 0);
  for (int i = 0; i < w * h; ++i) {
    if (pattern(i % w, i / w)) b[7 + i / 8] |= 0x80 >> (i % 8);
  }
  return b;
}

TEST_F(StoreFilesTest, WrittenBitmapReadsBackThroughQImage) {
  for (const auto& [w, h] : {std::pair{16, 16}, std::pair{33, 5}, std::pair{96, 96}}) {
    SCOPED_TRACE(w);
    SaveImageFile(files, app + u"\\Image.bmp", encodeBase64(terminalBitmap(w, h)));
    const QImage image(dir.filePath("Image.bmp"), "BMP");
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.width(), w);
    ASSERT_EQ(image.height(), h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        ASSERT_EQ(qGray(image.pixel(x, y)) < 128, pattern(x, y)) << x << "," << y;
      }
    }
  }
}

TEST_F(StoreFilesTest, MonoBitmapFromQImageIsAccepted) {
  // Either palette order: a 1 in the terminal bitmap must be the dark pixel.
  for (const bool blackFirst : {false, true}) {
    SCOPED_TRACE(blackFirst);
    QImage image(21, 9, QImage::Format_Mono);
    const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
    image.setColorTable(blackFirst ? QList<QRgb>{black, white} : QList<QRgb>{white, black});
    const uint dark = blackFirst ? 0 : 1;
    for (int y = 0; y < 9; ++y) {
      for (int x = 0; x < 21; ++x) image.setPixel(x, y, pattern(x, y) ? dark : 1 - dark);
    }
    ASSERT_TRUE(image.save(dir.filePath("drop.bmp"), "BMP"));

    Text element;
    // A native path, as a dialog or a drop delivers it.
    ASSERT_TRUE(LoadImageFile(files, toText(dir.filePath("drop.bmp")), element));
    EXPECT_EQ(element, u"<IMAGE>" + encodeBase64(terminalBitmap(21, 9)) + u"</IMAGE>");
  }
}

}  // namespace
}  // namespace ondrix
