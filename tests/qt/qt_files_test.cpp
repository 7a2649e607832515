// SPDX-License-Identifier: GPL-3.0-or-later
// The files through Qt: names, encodings, atomic replacement and the modes
// of what the server writes.
#include "qt/qt_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <utility>
#include <vector>

#include "fakes.h"
#include "qt/qt_login_start.h"
#include "qt/qt_text.h"
#include "qt/store_lock.h"
#include "state/form1.h"
#include "store/mail_store_file.h"

// Every rename of this test program passes here; while a test watches, the
// target is recorded with the mode that the file about to take its place has
// at that moment.
static bool watchRenames = false;
static std::vector<std::pair<std::string, mode_t>> renamed;
extern "C" int rename(const char* from, const char* to) noexcept {
  struct stat st {};
  if (watchRenames && ::stat(from, &st) == 0) renamed.emplace_back(to, st.st_mode & 07777);
  return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

namespace ondrix {
namespace {

mode_t modeOf(const QString& path) {
  struct stat st {};
  return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 01;
}

// Umask 000, and the per-user folder's parent at `dataHome`, for one test.
struct OpenUmask {
  explicit OpenUmask(const QString& dataHome = {}) {
    if (!dataHome.isEmpty()) qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
  }
  ~OpenUmask() {
    ::umask(old);
    qunsetenv("XDG_DATA_HOME");
  }
  mode_t old = ::umask(0);
};

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

// A program-directory name is the file written under that very spelling;
// one whose name differs only in case is never read, written or copied for it.
TEST_F(QtFilesTest, ProgramDirectoryNamesAreExact) {
  putFile("image.bmp", "old");
  EXPECT_EQ(files.nativePath(app + u"\\Image.bmp"), dir.filePath("Image.bmp"));
  EXPECT_FALSE(files.exists(app + u"\\Image.bmp"));
  EXPECT_FALSE(files.readBytes(app + u"\\Image.bmp").has_value());
  EXPECT_FALSE(files.copy(app + u"\\Image.bmp", app + u"\\copy.bmp"));
  ASSERT_TRUE(files.writeBytes(app + u"\\Image.bmp", Bytes{'n', 'e', 'w'}));
  ASSERT_TRUE(files.copy(app + u"\\Image.bmp", app + u"\\copy.bmp"));
  EXPECT_EQ(fileBytes("copy.bmp"), "new");
  EXPECT_EQ(fileBytes("image.bmp"), "old");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
            (QStringList{"Image.bmp", "copy.bmp", "image.bmp"}));
  // Native paths pass unchanged.
  EXPECT_EQ(files.nativePath(app + u"/IMAGE.bmp"), dir.filePath("IMAGE.bmp"));
  EXPECT_FALSE(files.isDirectory(app + u"\\Image.bmp"));
  // Only the program's own names are mapped: any other path (chosen in a
  // dialog, dropped) is used exactly as given, backslashes and all.
  for (const Text& given : {app + u"/my\\tune.bmp", app + u"\\sub\\x.bmp"}) {
    EXPECT_EQ(files.nativePath(given), toQString(given));
  }
  ASSERT_TRUE(files.writeBytes(app + u"/my\\tune.bmp", Bytes{'x'}));
  EXPECT_EQ(fileBytes("my\\tune.bmp"), "x");
  EXPECT_TRUE(files.isDirectory(app));
}

TEST_F(QtFilesTest, TextsAreCp932BothWays) {
  // 通信中, a backslash, U+201D, CR LF.
  const QByteArray cp932("\x92\xca\x90\x4d\x92\x86\x5c\x81\x68\r\n");
  ASSERT_TRUE(files.writeText(app + u"\\t.txt", u"通信中\\”\r\n"));
  EXPECT_EQ(fileBytes("t.txt"), cp932);
  EXPECT_EQ(files.readText(app + u"\\t.txt"), u"通信中\\”\r\n");
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

// A server's run with umask 000, over a store an older version left
// readable by all: every file of its own is the owner's alone (a new one
// 0600, the replaced store without others' bits), and each had that mode
// already when it was renamed into place (it is made 0600 or narrower and
// given its mode before the first byte); a new per-user folder is 0700; the
// operator's export follows the umask.
TEST(QtFilesPrivacy, EverythingTheServerWritesIsTheOwnersAlone) {
  QTemporaryDir dir;
  const OpenUmask umask(dir.filePath("data"));
  ASSERT_TRUE(QDir(dir.path()).mkdir("app"));
  const QString app = dir.filePath("app");
  ASSERT_TRUE(QFile(app + "/amp.dat").open(QIODevice::WriteOnly));
  ASSERT_EQ(::chmod(QFile::encodeName(app + "/amp.dat").constData(), 0666), 0);
  QtFiles files{toText(QDir::toNativeSeparators(app))};
  FakeSerialLine serial;
  FakeTimer t1, t2;
  FakeClock clock;
  FakeDesktop desktop;
  Form1 f({serial, t1, t2, clock, files, desktop});
  StoreLock lock(app);
  ASSERT_EQ(lock.take(), StoreLock::Outcome::Taken);
  renamed.clear();
  watchRenames = true;
  f.Form_Load();
  f.StoreReceivedMail(u"本文", u"<MEL=T120>C", u"RE9UAAgACDxCpYGlmUI8");
  ASSERT_TRUE(files.appendBytes(f.AppDir + u"\\calls.log", Bytes{'x', '\n'}));
  f.BrowseIndex = 1;
  f.PendingCmd = PendingCmdCode::MailBrowse;
  desktop.dialogAnswers.push_back(toText(dir.filePath("export.bmp")));
  f.CMSAVEIMG_Click();
  f.Form_Unload();
  {
    // The per-user folder of a server that runs there is not ours to write.
    QtFiles other{toText(QDir::toNativeSeparators(dir.filePath("other")))};
    ASSERT_FALSE(other.fallbackDirectory().empty());
    EXPECT_EQ(files.fallbackDirectory(), Text{});
  }
  const Text userFolder = files.fallbackDirectory();
  ASSERT_FALSE(userFolder.empty());
  ASSERT_TRUE(SaveMailStore(files, userFolder + u"\\amp.dat", f.MailStore));
  // The login entry is the user's configuration: others may read it, never
  // write it, and the folders made for it are the user's alone.
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("config")));
  ASSERT_TRUE(QtLoginStart().write(Bytes{'x'}));
  qunsetenv("XDG_CONFIG_HOME");
  watchRenames = false;

  const QString user = toQString(userFolder);
  const std::pair<QString, mode_t> expected[] = {
      {app + "/amp.dat", 0660},
      {app + "/brellin.ini", 0600},
      {app + "/melody.mmd", 0600},
      {app + "/Image.bmp", 0600},
      {app + "/calls.log", 0600},
      {app + "/ondrix-server.lock", 0600},
      {user + "/amp.dat", 0600},
      {user, 0700},
      {dir.filePath("data"), 0700},
      {dir.filePath("export.bmp"), 0666},
      {dir.filePath("config"), 0700},
      {dir.filePath("config/autostart"), 0700},
      {dir.filePath("config/autostart/org.example.ondrix.server.desktop"), 0644},
  };
  for (const auto& [path, mode] : expected) {
    EXPECT_EQ(modeOf(path), mode) << qPrintable(path) << std::oct << " has mode " << modeOf(path);
  }
  EXPECT_GE(renamed.size(), 7u);  // the store three times, settings, melody, image, entry
  for (const auto& [target, mode] : renamed) {
    EXPECT_EQ(mode, modeOf(QFile::decodeName(target.c_str()))) << target;
  }
}

// Where the entry goes (the privacy test makes its folders), and what stands
// in its way, which is left alone.
TEST(QtLoginStartPlaces, EntryGoesWhereTheDesktopLooksAndNothingInTheWayIsTouched) {
  QTemporaryDir dir;
  for (const char* ignored : {"", "relative"}) {
    qputenv("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(QtLoginStart::entryPath(),
              QDir::homePath() + "/.config/autostart/org.example.ondrix.server.desktop");
  }
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
  QtLoginStart login;
  Bytes content;
  for (const bool folder : {true, false}) {
    QDir(dir.path() + "/autostart").removeRecursively();
    QFile::remove(dir.path() + "/autostart");
    // A folder named as the entry, or a file named as the entry's folder.
    ASSERT_TRUE(folder ? QDir().mkpath(QtLoginStart::entryPath())
                       : QFile(dir.path() + "/autostart").open(QIODevice::WriteOnly));
    const auto place = folder ? LoginEntryPlace::Folder : LoginEntryPlace::Free;
    EXPECT_EQ(login.look(content), place);
    EXPECT_FALSE(login.write(Bytes{'x'}));
    EXPECT_EQ(login.remove(), !folder);
    EXPECT_EQ(login.look(content), place);
  }
  qunsetenv("XDG_CONFIG_HOME");
}

TEST(QtFilesDefault, UsesTheWritableExecutableDirectory) {
  QtFiles files;
  EXPECT_EQ(files.programDirectory(),
            toText(QDir::toNativeSeparators(QCoreApplication::applicationDirPath())));
}

}  // namespace
}  // namespace ondrix
