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

// The umask (and the per-user folder's place) for one test.
struct Umask {
  explicit Umask(mode_t mask, const QString& dataHome = {})
      : old(::umask(mask)),
        hadDataHome(qEnvironmentVariableIsSet("XDG_DATA_HOME")),
        oldDataHome(qgetenv("XDG_DATA_HOME")) {
    if (!dataHome.isEmpty()) qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
  }
  ~Umask() {
    ::umask(old);
    if (hadDataHome) {
      qputenv("XDG_DATA_HOME", oldDataHome);
    } else {
      qunsetenv("XDG_DATA_HOME");
    }
  }
  mode_t old;
  bool hadDataHome;
  QByteArray oldDataHome;
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
  EXPECT_EQ(QtFiles::nativePath(app + u"\\Image.bmp"), dir.filePath("Image.bmp"));
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
  EXPECT_EQ(QtFiles::nativePath(app + u"/IMAGE.bmp"), dir.filePath("IMAGE.bmp"));
  EXPECT_FALSE(files.isDirectory(app + u"\\Image.bmp"));
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
  EXPECT_FALSE(files.writeText(app + u"\\no-such-dir\\x.txt", u"x"));
  EXPECT_FALSE(files.copy(app + u"\\none.dat", app + u"\\copy.dat"));
  EXPECT_EQ(fileBytes("copy.dat"), "short");
}

// With umask 000, a server's run leaves every file of its own the owner's
// alone and a new per-user folder 0700; the operator's export follows the
// umask.
TEST(QtFilesPrivacy, EverythingTheServerWritesIsTheOwnersAlone) {
  QTemporaryDir dir;
  const Umask umask(0, dir.filePath("data"));
  ASSERT_TRUE(QDir(dir.path()).mkdir("app"));
  const QString app = dir.filePath("app");
  QtFiles files{toText(QDir::toNativeSeparators(app))};
  FakeSerialLine serial;
  FakeTimer t1, t2;
  FakeClock clock;
  FakeDesktop desktop;
  Form1 f({serial, t1, t2, clock, files, desktop});
  StoreLock lock(app);
  ASSERT_EQ(lock.take(), StoreLock::Outcome::Taken);
  f.Form_Load();
  f.StoreReceivedMail(u"本文", u"<MEL=T120>C", u"RE9UAAgACDxCpYGlmUI8");
  ASSERT_TRUE(files.appendBytes(f.AppDir + u"\\calls.log", Bytes{'x', '\n'}));
  f.BrowseIndex = 1;
  f.PendingCmd = PendingCmdCode::MailBrowse;
  desktop.dialogAnswers.push_back(toText(dir.filePath("export.bmp")));
  f.CMSAVEIMG_Click();
  f.Form_Unload();
  const Text userFolder = files.fallbackDirectory();
  ASSERT_FALSE(userFolder.empty());
  ASSERT_TRUE(SaveMailStore(files, userFolder + u"\\amp.dat", f.MailStore));

  const QString user = toQString(userFolder);
  const std::pair<QString, mode_t> expected[] = {
      {app + "/amp.dat", 0600},     {app + "/brellin.ini", 0600},
      {app + "/melody.mmd", 0600},  {app + "/Image.bmp", 0600},
      {app + "/calls.log", 0600},   {app + "/ondrix-server.lock", 0600},
      {user + "/amp.dat", 0600},    {user, 0700},
      {dir.filePath("data"), 0700}, {dir.filePath("export.bmp"), 0666},
  };
  for (const auto& [path, mode] : expected) {
    EXPECT_EQ(modeOf(path), mode) << qPrintable(path) << std::oct << " has mode " << modeOf(path);
  }
}

// The temporary file of an atomic replace has its final mode when it is
// renamed over the target (it is made 0600 or narrower, then given that
// mode before any byte is written): others never get a bit, owner and group
// keep theirs.
TEST(QtFilesPrivacy, TheReplacementHasItsModeBeforeTheRename) {
  struct Case {
    const char* name;
    mode_t old;  // 0: no file yet
    bool working;
    mode_t expected;
  };
  const Case cases[] = {
      {"new store", 0, false, 0600},
      {"store readable by all", 0666, false, 0660},
      {"store shared with a group", 0640, false, 0640},
      {"store a group may write", 0660, false, 0660},
      {"new working image", 0, true, 0600},
      {"working image readable by all", 0644, true, 0640},
  };
  QTemporaryDir dir;
  const Umask umask(0);
  QtFiles files{toText(dir.path())};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString target = dir.filePath("target");
    QFile::remove(target);
    if (c.old != 0) {
      QFile old(target);
      ASSERT_TRUE(old.open(QIODevice::WriteOnly));
      ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), c.old), 0);
    }
    renamed.clear();
    const Text path = toText(dir.path()) + u"\\target";
    watchRenames = true;
    const bool written = c.working ? files.writeWorkingBytes(path, Bytes{'n', 'e', 'w'})
                                   : files.writeBytes(path, Bytes{'n', 'e', 'w'});
    watchRenames = false;
    ASSERT_TRUE(written);
    ASSERT_EQ(renamed.size(), 1u);
    EXPECT_EQ(renamed[0].first, QFile::encodeName(target).toStdString());
    EXPECT_EQ(renamed[0].second, c.expected) << std::oct << renamed[0].second;
    EXPECT_EQ(modeOf(target), c.expected);
  }
}

TEST(QtFilesDefault, UsesTheWritableExecutableDirectory) {
  QtFiles files;
  EXPECT_EQ(files.programDirectory(),
            toText(QDir::toNativeSeparators(QCoreApplication::applicationDirPath())));
}

}  // namespace
}  // namespace ondrix
