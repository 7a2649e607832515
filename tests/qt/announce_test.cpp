// SPDX-License-Identifier: GPL-3.0-or-later
// The notice on a private session bus with a stand-in notification service,
// and the new-mail runner with real programs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include "qt/qt_files.h"
#include "qt/qt_hook_runner.h"
#include "qt/qt_notifier.h"
#include "qt/qt_text.h"
#include "records/desktop_notice.h"
#include "records/new_mail_hook.h"

// The service's side of Notify: app name, icon, summary and body of each call.
class StandInNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  QStringList calls;
 public slots:
  uint Notify(const QString& app, uint, const QString& icon, const QString& summary,
              const QString& body, const QStringList&, const QVariantMap&, int) {
    calls << app << icon << summary << body;
    return 1;
  }
};

namespace ondrix {
namespace {

bool waitFor(const std::function<bool()>& done) {
  QDeadlineTimer deadline(10'000);
  while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents();
  return done();
}

TEST(Announce, OneNotifyCallOnTheSessionBus) {
  if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) GTEST_SKIP();
  QProcess daemon;
  daemon.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--print-address=1")});
  ASSERT_TRUE(daemon.waitForReadyRead(5000));
  const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
  QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("service"));
  StandInNotifications notifications;
  service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                         QDBusConnection::ExportAllSlots);
  ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
  qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
  EXPECT_TRUE(sessionBusAnswers(std::chrono::milliseconds(2000)));
  QtNotifier notifier(address);
  notifier.connectToSessionBus();
  QElapsedTimer took;
  took.start();
  // The service answers on this very thread: a call that waited for the
  // reply would stall until its timeout.
  notifier.notify(
      desktopNotice({RecordKind::Mail, {}, u"0123456789*12", u"こんにちは\r\n2", {}, {}}));
  EXPECT_LT(took.elapsed(), 1000);
  ASSERT_TRUE(waitFor([&] { return !notifications.calls.isEmpty(); }));
  EXPECT_EQ(notifications.calls,
            (QStringList{QCoreApplication::applicationName(), QStringLiteral("ondrix-server"),
                         QStringLiteral(u"TAVIXメールが届きました"),
                         QStringLiteral(u"差出人：0123456789*12\nこんにちは")}));
  daemon.kill();
  daemon.waitForFinished();
}

// The server's own notifier with a bus that takes the connection and never
// answers: the start-up's question finds it silent in time, and neither the
// join, nor a notice, nor the notifier's end waits for it.
TEST(Announce, NoBusNoWait) {
  QTemporaryDir dir;
  const std::string path = QFile::encodeName(dir.filePath(QStringLiteral("bus"))).toStdString();
  sockaddr_un where{AF_UNIX, {}};
  path.copy(where.sun_path, sizeof where.sun_path - 1);
  const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_TRUE(::bind(silent, (sockaddr*)&where, sizeof where) == 0 && ::listen(silent, 8) == 0);
  qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArray::fromStdString("unix:path=" + path));
  QElapsedTimer took;
  took.start();
  EXPECT_FALSE(sessionBusAnswers(std::chrono::milliseconds(300)));
  {
    QtNotifier notifier;
    notifier.connectToSessionBus();
    for (int i = 0; i < 10; ++i) notifier.notify({u"s", u"b"});
  }
  EXPECT_LT(took.elapsed(), 1500);
  ::close(silent);  // frees Qt's own bus thread, still waiting for an answer
}

// A hook file in `dir`, a shell script unless `body` is a whole program.
Text hookFile(const QDir& dir, const QString& name, const QByteArray& body, mode_t mode = 0700) {
  QFile f(dir.filePath(name));
  f.open(QIODevice::WriteOnly);
  f.write(body.startsWith("\x7f"
                          "ELF")
              ? body
              : "#!/bin/sh\n" + body);
  f.close();
  ::chmod(QFile::encodeName(f.fileName()).constData(), mode);
  return toText(f.fileName());
}

// Whether the process whose id the hook left in the file `name` is gone.
bool leftProcessGone(const QDir& dir, const char* name) {
  QFile pid(dir.filePath(QString::fromLatin1(name)));
  if (!waitFor([&] { return pid.size() > 0; }) || !pid.open(QIODevice::ReadOnly)) return false;
  const QString proc = QStringLiteral("/proc/%1").arg(pid.readAll().trimmed().toInt());
  return waitFor([&] { return !QFileInfo::exists(proc); });
}

// One at a time here: a hook that fails says why, one that hangs is ended
// with what it started, the last waits its turn and gets its arguments
// whole; one that others may write is refused before it runs.
TEST(Announce, HooksThatGoWrongAndTheOneWaiting) {
  // What ships, as the README says: 60 seconds, two at once.
  EXPECT_EQ(QtHookRunner::kTimeLimitMs, 60'000);
  EXPECT_EQ(QtHookRunner::kAtOnce, 2);
  QTemporaryDir dir;
  QtFiles files(toText(dir.path()));
  const auto script = [&](const char* name, const QByteArray& body, mode_t mode = 0700) {
    return hookFile(QDir(dir.path()), QString::fromLatin1(name), body, mode);
  };
  QtHookRunner runner(files, 300, 1);
  std::vector<HookEnd> ends;
  runner.setOnEnded([&](const HookEnd& end) { ends.push_back(end); });
  EXPECT_EQ(hookVerdict(runner.inspect(script("open", "", 0777))), HookVerdict::OthersMayWrite);
  const Text fails = script("fails", "echo first >&2\necho 'no route' >&2\nexit 1\n");
  EXPECT_EQ(hookVerdict(runner.inspect(fails)), HookVerdict::Run);
  runner.run({fails, {}, toText(dir.path()), {}});
  runner.run({script("hangs", "sleep 30 &\necho $! > pid\necho waiting >&2\nsleep 30\n"),
              {},
              toText(dir.path()),
              {}});
  runner.run({script("args",
                     "printf '%s|%s|%s|%s|%s' \"$1\" \"$2\" \"$3\" \"$(pwd)\" \"$(cat)\" >log\n"
                     "head -c 300000 /dev/zero >&2\necho done >&2\n"),
              {u"/m/a b", u"mail", u"-"},
              toText(dir.path()),
              {}});
  ASSERT_TRUE(waitFor([&] { return ends.size() == 3; }));
  EXPECT_EQ(hookEndLine(ends[0]), u"new-mail が終了コード 1 で終わりました：no route");
  EXPECT_EQ(hookEndLine(ends[1]), u"new-mail が時間内に終わらないため止めました：waiting");
  EXPECT_EQ(ends[2].how, HookEnd::How::Exited);
  EXPECT_TRUE(ends[2].errorTail.ends_with(u"done\n") && ends[2].errorTail.size() <= 4096);
  QFile log(dir.filePath(QStringLiteral("log")));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_EQ(log.readAll(), "/m/a b|mail|-|" + QFile::encodeName(dir.path()) + "|");
  EXPECT_TRUE(leftProcessGone(QDir(dir.path()), "pid"));
}

// Hooks that try the server, each in a folder of its own, run as a record
// would run them: checked, then run with a 300 ms limit.
TEST(Announce, HooksThatTryTheServer) {
  using How = HookEnd::How;
  using Dir = const QDir&;
  const QByteArray ran = "echo ran > ran\n";
  const auto folder = [](Dir dir, const char* name, mode_t mode) {
    dir.mkdir(QString::fromLatin1(name));
    ::chmod(QFile::encodeName(dir.filePath(QString::fromLatin1(name))).constData(), mode);
  };
  const auto linked = [&](Dir dir, const char* target, mode_t mode) {
    folder(dir, target, mode);
    hookFile(dir, QString::fromLatin1(target) + QStringLiteral("/hook"), ran);
    QFile::link(QString::fromLatin1(target) + QStringLiteral("/hook"), dir.filePath("new-mail"));
    return toText(dir.filePath("new-mail"));
  };
  const auto holds = [](Dir dir, const char* name, const QByteArray& bytes) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    return f.open(QIODevice::ReadOnly) && f.readAll() == bytes;
  };
  QFile probe(QStringLiteral(ONDRIX_BIN_DIR "/ondrix-fd-probe"));
  ASSERT_TRUE(probe.open(QIODevice::ReadOnly));
  const QByteArray probeProgram = probe.readAll();
  const QByteArray message = "From: 5\n\nHI\n";
  int leaked[2] = {-1, -1};
  struct Row {
    const char* what;
    std::function<Text(Dir)> make;  // the hook
    const char* input;              // its standard input's file, in `dir`
    HookVerdict verdict;
    std::optional<How> how;  // none: the server ends while it runs
    std::function<bool(Dir)> after;
  };
  const Row rows[] = {
      // With a descriptor the test holds open across exec, as the server's
      // signal pair once was: the hook must not get it either.
      {"tries every descriptor",
       [&](Dir d) {
         ::socketpair(AF_UNIX, SOCK_STREAM, 0, leaked);
         return hookFile(d, "new-mail", probeProgram);
       },
       "", HookVerdict::Run, How::Exited,
       [&](Dir d) {
         char byte;
         const bool untouched = ::recv(leaked[0], &byte, 1, MSG_DONTWAIT) < 0;
         ::close(leaked[0]);
         ::close(leaked[1]);
         return untouched && holds(d, "open-descriptors", "");
       }},
      {"behind a link into a folder others can write",
       [&](Dir d) { return linked(d, "open", 0777); }, "", HookVerdict::OthersMayWrite,
       How::NotStarted, [](Dir d) { return !d.exists("ran"); }},
      {"behind a link into a closed folder", [&](Dir d) { return linked(d, "closed", 0700); }, "",
       HookVerdict::Run, How::Exited, [&](Dir d) { return holds(d, "ran", "ran\n"); }},
      {"leaves a daemon and hangs",
       [](Dir d) { return hookFile(d, "new-mail", "setsid sleep 30 &\necho $! >pid\nsleep 30\n"); },
       "", HookVerdict::Run, How::TimedOut, [](Dir d) { return leftProcessGone(d, "pid"); }},
      {"leaves a daemon and ends",
       [](Dir d) { return hookFile(d, "new-mail", "setsid sleep 30 &\necho $! >pid\n"); }, "",
       HookVerdict::Run, How::Exited, [](Dir d) { return leftProcessGone(d, "pid"); }},
      {"runs when the server ends",
       [](Dir d) { return hookFile(d, "new-mail", "setsid sleep 30 &\necho $! >pid\nsleep 30\n"); },
       "", HookVerdict::Run, std::nullopt, [](Dir d) { return leftProcessGone(d, "pid"); }},
      {"reads the message", [](Dir d) { return hookFile(d, "new-mail", "cat >copy\n"); }, "message",
       HookVerdict::Run, How::Exited, [&](Dir d) { return holds(d, "copy", message); }},
      {"is given a FIFO", [](Dir d) { return hookFile(d, "new-mail", "cat >copy\n"); }, "fifo",
       HookVerdict::Run, How::Exited, [&](Dir d) { return holds(d, "copy", ""); }},
  };
  for (const Row& row : rows) {
    QTemporaryDir temporary;
    const QDir dir(temporary.path());
    QFile input(dir.filePath("message"));
    input.open(QIODevice::WriteOnly);
    input.write(message);
    input.close();
    ::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600);
    QtFiles files(toText(dir.path()));
    std::optional<QtHookRunner> runner(std::in_place, files, row.how ? 300 : 60'000, 2);
    std::vector<HookEnd> ends;
    runner->setOnEnded([&](const HookEnd& end) { ends.push_back(end); });
    const Text hook = row.make(dir);
    EXPECT_EQ(hookVerdict(runner->inspect(hook)), row.verdict) << row.what;
    const Text in = *row.input ? toText(dir.filePath(QString::fromLatin1(row.input))) : u"";
    runner->run({hook, {u"/m"}, toText(dir.path()), in});
    if (row.how) {
      ASSERT_TRUE(waitFor([&] { return !ends.empty(); })) << row.what;
      EXPECT_EQ(ends[0].how, *row.how) << row.what;
    } else {
      ASSERT_TRUE(waitFor([&] { return QFileInfo(dir.filePath("pid")).size() > 0; }));
      runner.reset();
    }
    EXPECT_TRUE(row.after(dir)) << row.what;
  }
}

// Another program is swapped in for the hook and back, again and again,
// while a burst of records runs it: each run is the file that was checked,
// or none. The other one others may write, so no check passes it.
TEST(Announce, AHookSwappedDuringABurstNeverRunsAnotherProgram) {
  QTemporaryDir temporary;
  const QDir dir(temporary.path());
  const Text hook = hookFile(dir, "new-mail", "exit 0\n");
  hookFile(dir, "other", "echo ran >>other-ran\n", 0777);
  const QByteArray a = QFile::encodeName(dir.filePath("new-mail"));
  const QByteArray b = QFile::encodeName(dir.filePath("other"));
  std::atomic<bool> stop = false;
  std::thread swapper([&] {
    while (!stop) ::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE);
  });
  QtFiles files(toText(dir.path()));
  QtHookRunner runner(files, 5000, 2);
  int exited = 0, refused = 0;
  runner.setOnEnded(
      [&](const HookEnd& end) { ++(end.how == HookEnd::How::Exited ? exited : refused); });
  constexpr int kBurst = 60;
  for (int i = 0; i < kBurst; ++i) runner.run({hook, {u"/m"}, toText(dir.path()), {}});
  const bool allEnded = waitFor([&] { return exited + refused == kBurst; });
  stop = true;
  swapper.join();
  EXPECT_TRUE(allEnded);
  EXPECT_FALSE(dir.exists("other-ran"));
  EXPECT_GT(exited, 0);
}

}  // namespace
}  // namespace ondrix

#include "announce_test.moc"
