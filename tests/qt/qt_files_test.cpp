// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/qt_files.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fakes.h"
#include "qt/qt_text.h"

namespace ondrix {
namespace {

class QtFilesTest : public ::testing::Test {
 protected:
  QByteArray fileBytes(const QString& name) {
    QFile f(dir.filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  void putFile(const QString& name, const QByteArray& data) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
  }

  QTemporaryDir dir;
  Text app = toText(dir.path());
  QtFiles files{app};
};

TEST_F(QtFilesTest, ProgramDirectoryNamesMatchWithoutRegardToCase) {
  putFile("image.bmp", "old");
  EXPECT_EQ(files.nativePath(app + u"\\Image.bmp"), dir.filePath("image.bmp"));
  ASSERT_TRUE(files.writeBytes(app + u"\\IMAGE.BMP", Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(fileBytes("image.bmp"), "new");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"image.bmp"});
  // A name that matches nothing keeps its own spelling.
  EXPECT_EQ(files.nativePath(app + u"\\Melody.mmd"), dir.filePath("Melody.mmd"));
  // Native paths pass unchanged, even when another case exists.
  EXPECT_EQ(files.nativePath(app + u"/IMAGE.bmp"), dir.filePath("IMAGE.bmp"));
  // Only the program's own names are mapped: any other path (chosen in a
  // dialog, dropped) is used exactly as given, backslashes and all.
  for (const Text& given : {app + u"/my\\tune.bmp", app + u"\\sub\\x.bmp"}) {
    EXPECT_EQ(files.nativePath(given), toQString(given));
  }
  ASSERT_TRUE(files.writeBytes(app + u"/my\\tune.bmp", Bytes{'x'}));
  EXPECT_EQ(fileBytes("my\\tune.bmp"), "x");
  EXPECT_TRUE(files.exists(app + u"\\IMAGE.bmp"));
  EXPECT_FALSE(files.isDirectory(app + u"\\IMAGE.bmp"));
  EXPECT_TRUE(files.isDirectory(app));
}

TEST_F(QtFilesTest, TextsAreCp932BothWays) {
  // 通信中, a backslash, U+201D, CR LF.
  const QByteArray cp932("\x92\xca\x90\x4d\x92\x86\x5c\x81\x68\r\n");
  ASSERT_TRUE(files.writeText(app + u"\\t.txt", u"通信中\\”\r\n"));
  EXPECT_EQ(fileBytes("t.txt"), cp932);
  EXPECT_EQ(files.readText(app + u"\\T.TXT"), u"通信中\\”\r\n");
  // Bytes that are no character decode to U+FFFD rather than vanish.
  putFile("bad.txt", QByteArray("a\xff"
                                "b",
                                3));
  EXPECT_EQ(files.readText(app + u"\\bad.txt"), u"a\uFFFDb");
  // Control bytes stand for themselves both ways.
  const QByteArray controls("\x1a\x1c\x7f", 3);
  ASSERT_TRUE(files.writeText(app + u"\\c.txt", u"\u001A\u001C\u007F"));
  EXPECT_EQ(fileBytes("c.txt"), controls);
  EXPECT_EQ(files.readText(app + u"\\c.txt"), u"\u001A\u001C\u007F");
  EXPECT_FALSE(files.readText(app + u"\\none.txt").has_value());
  EXPECT_FALSE(files.readBytes(app + u"\\none.txt").has_value());
}

TEST_F(QtFilesTest, WritesReplaceWholeFilesAndLeaveNoTemporaries) {
  putFile("amp.dat", QByteArray(5000, 'x'));
  ASSERT_TRUE(files.writeText(app + u"\\amp.dat", u"short"));
  EXPECT_EQ(fileBytes("amp.dat"), "short");
  ASSERT_TRUE(files.copy(app + u"\\amp.dat", app + u"\\copy.dat"));
  EXPECT_EQ(fileBytes("copy.dat"), "short");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
  // A target that cannot be written reports failure and creates nothing.
  EXPECT_FALSE(files.writeText(app + u"/no-such-dir/x.txt", u"x"));
  EXPECT_FALSE(files.copy(app + u"\\none.dat", app + u"\\copy.dat"));
  EXPECT_EQ(fileBytes("copy.dat"), "short");
}

TEST(QtFilesDefault, UsesTheWritableExecutableDirectory) {
  QtFiles files;
  EXPECT_EQ(files.programDirectory(),
            toText(QDir::toNativeSeparators(QCoreApplication::applicationDirPath())));
}

}  // namespace
}  // namespace ondrix
