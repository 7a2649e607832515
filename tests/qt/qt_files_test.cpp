// SPDX-License-Identifier: GPL-3.0-or-later
// The files through Qt: names, encodings, atomic replacement and the modes
// of what the server writes.
#include "qt/qt_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <climits>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fakes.h"
#include "journal/call_journal.h"
#include "qt/durable_queue.h"
#include "qt/maildir_archive.h"
#include "qt/qt_login_start.h"
#include "qt/qt_text.h"
#include "qt/store_lock.h"
#include "records/record_road.h"
#include "state/form1.h"
#include "store/mail_store_file.h"

// Every write, sync, rename and reply (WatchedLine) passes here. While a
// test watches, each is recorded under the path it acts on (a sync of a
// folder under the folder's path), and a rename with the mode that the file
// about to take the target's place has at that moment.
struct FileEvent {
  enum class Op { Write, Sync, Rename, Reply } op;
  std::string path;  // a rename's source
  std::string to;    // a rename's target
  mode_t mode = 0;   // a rename's source mode
  // A folder's sync belongs to a rename made on the same thread: the worker
  // may sync the folder for the store just after the window's thread
  // renamed a working file into it.
  std::thread::id thread = std::this_thread::get_id();
};
// Written by the window's thread and the disk's worker alike.
static std::atomic<bool> watchFiles = false;
static std::mutex fileEventsMutex;
static std::vector<FileEvent> fileEvents;

static void noteEvent(FileEvent event) {
  const std::lock_guard lock(fileEventsMutex);
  fileEvents.push_back(std::move(event));
}

// The canonical path an fd is open on, or nothing for a pipe, socket or
// event counter.
static std::string pathOfFd(int fd) {
  char link[64];
  char target[PATH_MAX];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t n = ::readlink(link, target, sizeof target - 1);
  if (n <= 0 || target[0] != '/') return {};
  return std::string(target, static_cast<std::size_t>(n));
}

// A path whose folder exists, canonical in its folder part.
static std::string canonicalPath(const char* path) {
  const std::string given(path);
  const std::size_t slash = given.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : given.substr(0, slash);
  char resolved[PATH_MAX];
  if (::realpath(folder.empty() ? "/" : folder.c_str(), resolved) == nullptr) return given;
  return std::string(resolved) + "/" + given.substr(slash == std::string::npos ? 0 : slash + 1);
}

static void noteFd(FileEvent::Op op, int fd) {
  if (!watchFiles) return;
  std::string path = pathOfFd(fd);
  if (!path.empty()) noteEvent({op, std::move(path), {}, 0});
}

extern "C" ssize_t write(int fd, const void* data, size_t size) {
  noteFd(FileEvent::Op::Write, fd);
  return ::syscall(SYS_write, fd, data, size);
}
extern "C" int fsync(int fd) {
  noteFd(FileEvent::Op::Sync, fd);
  return static_cast<int>(::syscall(SYS_fsync, fd));
}
extern "C" int fdatasync(int fd) {
  noteFd(FileEvent::Op::Sync, fd);
  return static_cast<int>(::syscall(SYS_fdatasync, fd));
}
extern "C" int rename(const char* from, const char* to) noexcept {
  struct stat st {};
  if (watchFiles && ::stat(from, &st) == 0) {
    noteEvent({FileEvent::Op::Rename, canonicalPath(from), canonicalPath(to),
               static_cast<mode_t>(st.st_mode & 07777)});
  }
  return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

namespace ondrix {
namespace {

struct WatchedLine : FakeSerialLine {
  void write(const Text& text) override {
    if (watchFiles) noteEvent({FileEvent::Op::Reply, {}, {}, 0});
    FakeSerialLine::write(text);
  }
};

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
  fileEvents.clear();
  watchFiles = true;
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
  watchFiles = false;

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
  std::size_t renames = 0;
  for (const FileEvent& e : fileEvents) {
    if (e.op != FileEvent::Op::Rename) continue;
    ++renames;
    EXPECT_EQ(e.mode, modeOf(QFile::decodeName(e.to.c_str()))) << e.to;
  }
  EXPECT_GE(renames, 7u);  // the store three times, settings, melody, image, entry
}

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/')); }
std::string nameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// `path` as seen from `folder`: "amp.dat.XXXXXX" beside it, "../tmp/X" in a
// sibling folder.
std::string seenFrom(const std::string& folder, const std::string& path) {
  std::string common = folder;
  std::string up;
  while (path.rfind(common + "/", 0) != 0) {
    common = folderOf(common);
    up += "../";
  }
  return up + path.substr(common.size() + 1);
}

// What became `target` (canonical; a last part "*" stands for any file that
// was renamed into its folder), one journey for each file that took its
// place: that file's writes and syncs, the rename, and what followed until
// the next rename into the folder (syncs of the file, "sync folder" for one
// of the folder), replies among them. A file never renamed into place, as one only appended to,
// has one journey: what was done to it. The name that took the place of a
// "*" is shown as "*", and a temporary name made from the target's name as
// that name and ".XXXXXX".
std::vector<std::string> journeysInto(const std::string& target) {
  const std::string folder = folderOf(target);
  const bool anyName = nameOf(target) == "*";
  const auto isTarget = [&](const std::string& path) {
    return anyName ? folderOf(path) == folder : path == target;
  };
  static const char* const kSteps[] = {"write", "sync", "rename", "reply"};
  const auto step = [](FileEvent::Op op) { return kSteps[static_cast<int>(op)]; };
  std::vector<std::string> journeys;
  for (std::size_t r = 0; r < fileEvents.size(); ++r) {
    const FileEvent& moved = fileEvents[r];
    if (moved.op != FileEvent::Op::Rename || !isTarget(moved.to)) continue;
    std::vector<std::string> steps;
    for (std::size_t i = 0; i < r; ++i) {
      if ((fileEvents[i].op != FileEvent::Op::Rename && fileEvents[i].path == moved.path) ||
          fileEvents[i].op == FileEvent::Op::Reply) {
        steps.push_back(step(fileEvents[i].op));
      }
    }
    const std::string name = nameOf(moved.to);
    std::string source = seenFrom(folder, moved.path);
    const std::string sourceName = nameOf(moved.path);
    const std::string shownName = anyName ? "*" : name;
    if (sourceName == name) {
      source.replace(source.size() - name.size(), name.size(), shownName);
    } else if (sourceName.size() == name.size() + 7 && sourceName.rfind(name + ".", 0) == 0) {
      source.replace(source.size() - sourceName.size(), sourceName.size(), shownName + ".XXXXXX");
    }
    steps.push_back("rename from " + source);
    for (std::size_t i = r + 1; i < fileEvents.size(); ++i) {
      const FileEvent& later = fileEvents[i];
      if (later.op == FileEvent::Op::Rename) {
        if (folderOf(later.to) == folder || later.path == moved.to) break;
      } else if (later.path == moved.to || later.op == FileEvent::Op::Reply) {
        steps.push_back(step(later.op));
      } else if (later.path == folder && later.thread == moved.thread) {
        steps.push_back(std::string(step(later.op)) + " folder");
      }
    }
    journeys.push_back({});
    for (const std::string& s : steps) journeys.back() += (journeys.back().empty() ? "" : ", ") + s;
  }
  if (journeys.empty() && !anyName) {
    std::string journey;
    for (const FileEvent& e : fileEvents) {
      if (e.op != FileEvent::Op::Rename && e.path == target) {
        journey += (journey.empty() ? "" : ", ") + std::string(step(e.op));
      }
    }
    if (!journey.empty()) journeys.push_back(journey);
  }
  return journeys;
}

// Each file on its way to the disk, as the server writes it, the syncs on
// the disk's worker: the store and the settings are the only copies, so each
// is synced before it replaces the old one and its folder after, before any
// reply reaches the line; the working files can always be made again and
// are only renamed into place; the journal's line is one write, whole or not at all.
TEST(QtFilesDurability, EachFileIsSyncedWhereItIsTheOnlyCopy) {
  struct Case {
    const char* name;
    std::function<void(Form1&)> act;
    const char* file;  // under the program directory
    const char* journey;
  };
  const auto storeMail = [](Form1& f) {
    f.StoreReceivedMail(u"本文", u"<MEL=T120>C", u"RE9UAAgACDxCpYGlmUI8");
  };
  const auto upload = [](Form1& f) {
    f.RxBuffer = u"<ATML><HEAD><CON=2></HEAD><BODY>本文</BODY></ATML>";
    f.ScanAtml();
  };
  const auto unload = [](Form1& f) { f.Form_Unload(); };
  const auto call = [](Form1& f) {
    f.callRang();
    f.callEnded();
  };
  const auto archiveMail = [](Form1& f) {
    f.StoreReceivedMail(u"本文", {}, {});
    f.recordStored(RecordKind::Mail);
  };
  const Case cases[] = {
      {"archived mail", archiveMail, "Maildir/new/*",
       "write, sync, rename from ../tmp/*, sync folder"},
      // Each line of the ledger is on the disk before the next record.
      {"archive's ledger line", archiveMail, "Maildir/ondrix-archived", "write, sync"},
      {"store after a mail", upload, "amp.dat",
       "write, sync, rename from amp.dat.XXXXXX, sync folder, reply"},
      {"store at exit", unload, "amp.dat", "write, sync, rename from amp.dat.XXXXXX, sync folder"},
      {"settings at exit", unload, "brellin.ini",
       "write, sync, rename from brellin.ini.XXXXXX, sync folder"},
      {"working melody", storeMail, "melody.mmd", "write, rename from melody.mmd.XXXXXX"},
      {"working image", storeMail, "Image.bmp", "write, rename from Image.bmp.XXXXXX"},
      {"journal line", call, "calls.log", "write, sync"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    DurableQueue queue;
    QtFiles files{toText(dir.path())};
    files.setDurableQueue(&queue);
    WatchedLine line;
    DurableReplies serial(line, queue);
    FakeTimer t1, t2;
    FakeClock clock;
    FakeDesktop desktop;
    MaildirArchive archive;
    archive.setDurableQueue(&queue);
    FakeNotifier notifier;
    FakeHookRunner hooks;
    FakeTimer recordsTimer;
    RecordRoad road(archive, notifier, hooks, files, clock, recordsTimer);
    CallJournal journal(files);
    Form1 f({serial, t1, t2, clock, files, desktop, {&journal, &road}});
    f.Form_Load();
    recordsTimer.fire();  // the start's look at an empty store
    queue.finish();
    fileEvents.clear();
    watchFiles = true;
    c.act(f);
    // The records' tick waits for the disk, as the server's does.
    queue.finish();
    recordsTimer.fire();
    queue.finish();
    watchFiles = false;
    const std::vector<std::string> journeys =
        journeysInto(QFileInfo(dir.path()).canonicalFilePath().toStdString() + "/" + c.file);
    ASSERT_FALSE(journeys.empty()) << c.file << " was not written";
    for (const std::string& journey : journeys) EXPECT_EQ(journey, c.journey);
  }
}

// What waits for the disk's worker is told only of durable steps: behind a
// failed one the reply, the notice and the hook are dropped (the hook ends
// unstarted), the failure is reported once, and what follows goes out again.
TEST(DurableQueueTest, NothingIsToldOfAFailedStep) {
  const struct {
    const char* name;
    bool stepSucceeds;
  } cases[] = {{"step done", true}, {"step failed", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DurableQueue queue;
    int failures = 0;
    queue.setOnFailure([&] { ++failures; });
    FakeSerialLine line;
    DurableReplies serial(line, queue);
    FakeNotifier notifier;
    DurableNotices notices(notifier, queue);
    FakeHookRunner hookRunner;
    DurableHooks hooks(hookRunner, queue);
    std::vector<HookEnd::How> ends;
    hooks.setOnEnded([&](const HookEnd& end) { ends.push_back(end.how); });
    queue.enqueue([&c] { return c.stepSucceeds; });
    serial.write(u"OK");
    notices.notify({u"s", u"b"});
    hooks.run({u"hook", {}, {}, {}});
    queue.finish();
    EXPECT_EQ(line.written(), c.stepSucceeds ? u"OK" : u"");
    EXPECT_EQ(notifier.notices.size(), c.stepSucceeds ? 1u : 0u);
    EXPECT_EQ(hookRunner.runs.size(), c.stepSucceeds ? 1u : 0u);
    EXPECT_EQ(ends, c.stepSucceeds ? std::vector<HookEnd::How>{}
                                   : std::vector<HookEnd::How>{HookEnd::How::NotStarted});
    EXPECT_EQ(failures, c.stepSucceeds ? 0 : 1);
    // Nothing pending: out at once.
    serial.write(u"!");
    EXPECT_EQ(line.written(), c.stepSucceeds ? u"OK!" : u"!");
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
