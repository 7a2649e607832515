// SPDX-License-Identifier: GPL-3.0-or-later
// The notice on a private session bus with a stand-in notification service,
// and the new-mail runner with real programs: failures, a hang, the queue.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QVariantMap>
#include <functional>

#include "modem/desktop_notice.h"
#include "modem/new_mail_hook.h"
#include "qt/qt_files.h"
#include "qt/qt_hook_runner.h"
#include "qt/qt_notifier.h"
#include "qt/qt_text.h"

// The service's side of Notify, recording each call.
class StandInNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  QStringList calls;  // app name, icon, summary, body, one call after another
 public slots:
  uint Notify(const QString& app, uint, const QString& icon, const QString& summary,
              const QString& body, const QStringList&, const QVariantMap&, int) {
    calls << app << icon << summary << body;
    return 1;
  }
};

namespace ondrix {
namespace {

bool waitFor(const std::function<bool()>& done, int ms = 10'000) {
  QDeadlineTimer deadline(ms);
  while (!done() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

TEST(Announce, OneNotifyCallOnTheSessionBus) {
  if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
    GTEST_SKIP() << "no dbus-daemon";
  }
  QProcess daemon;
  daemon.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"),
                QStringLiteral("--print-address=1")});
  ASSERT_TRUE(daemon.waitForReadyRead(5000));
  const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
  {
    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("service"));
    StandInNotifications notifications;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                       &notifications, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

    QtNotifier notifier(QDBusConnection::connectToBus(address, QStringLiteral("server")));
    QElapsedTimer took;
    took.start();
    // The service answers on this very thread: a call that waited for the
    // reply would stall until its timeout.
    StoredRecord record;
    record.caller = u"0123456789*12";
    record.text = u"こんにちは\r\n2";
    notifier.notify(desktopNotice(record));
    EXPECT_LT(took.elapsed(), 1000);
    ASSERT_TRUE(waitFor([&] { return notifications.calls.size() >= 4; }));
    EXPECT_EQ(notifications.calls,
              (QStringList{QCoreApplication::applicationName(), QStringLiteral("ondrix-server"),
                           QStringLiteral(u"TAVIXメールが届きました"),
                           QStringLiteral(u"差出人：0123456789*12\nこんにちは")}));
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("service"));
  QDBusConnection::disconnectFromBus(QStringLiteral("server"));
  daemon.kill();
  daemon.waitForFinished();
}

// The server's own notifier, with the session bus's address pointing
// nowhere: neither its start nor a notice waits.
TEST(Announce, NoBusNoWait) {
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/ondrix-bus");
  QElapsedTimer took;
  took.start();
  QtNotifier notifier;
  ASSERT_FALSE(QDBusConnection::sessionBus().isConnected());
  for (int i = 0; i < 10; ++i) notifier.notify({u"s", u"b"});
  EXPECT_LT(took.elapsed(), 100);
}

struct RunnerFixture {
  QTemporaryDir dir;
  QtFiles files{toText(dir.path())};
  std::vector<HookEnd> ends;

  QString script(const QString& name, const QByteArray& body, mode_t mode = 0700) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n" + body);
    f.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
    return path;
  }
  QByteArray read(const QString& name) {
    QFile f(dir.filePath(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  void watch(QtHookRunner& runner) {
    runner.setOnEnded([this](const HookEnd& end) { ends.push_back(end); });
  }
};

// A failing hook says why; a hanging one is ended with what it started; one
// that others may write is refused before it runs.
TEST(Announce, HooksThatGoWrong) {
  RunnerFixture x;
  ::chmod(QFile::encodeName(x.dir.path()).constData(), 0700);
  QtHookRunner runner(x.files, 300);
  x.watch(runner);
  const QString fails =
      x.script(QStringLiteral("fails"), "echo first >&2\necho 'no route' >&2\nexit 1\n");
  const QString hangs = x.script(QStringLiteral("hangs"),
                                 "sleep 30 &\necho $! > child.pid\necho waiting >&2\nsleep 30\n");
  const QString open = x.script(QStringLiteral("open"), "exit 0\n", 0777);

  EXPECT_EQ(hookVerdict(runner.inspect(toText(fails))), HookVerdict::Run);
  EXPECT_EQ(hookVerdict(runner.inspect(toText(open))), HookVerdict::OthersMayWrite);
  EXPECT_EQ(hookVerdict(runner.inspect(toText(x.dir.filePath(QStringLiteral("none"))))),
            HookVerdict::Absent);
  ::chmod(QFile::encodeName(x.dir.path()).constData(), 0770);
  EXPECT_EQ(hookVerdict(runner.inspect(toText(fails))), HookVerdict::OthersMayWrite);
  ::chmod(QFile::encodeName(x.dir.path()).constData(), 0700);

  QElapsedTimer took;
  took.start();
  runner.run({toText(fails), {}, toText(x.dir.path())});
  runner.run({toText(hangs), {}, toText(x.dir.path())});
  EXPECT_LT(took.elapsed(), 200);  // started, not waited for
  ASSERT_TRUE(waitFor([&] { return x.ends.size() == 2; }));
  EXPECT_EQ(hookEndLine(x.ends[0]), u"new-mail が終了コード 1 で終わりました：no route");
  EXPECT_EQ(hookEndLine(x.ends[1]), u"new-mail が時間内に終わらないため止めました：waiting");
  const pid_t child = x.read(QStringLiteral("child.pid")).trimmed().toInt();
  ASSERT_GT(child, 0);
  // Gone, or a zombie waiting for whoever inherited it.
  EXPECT_TRUE(waitFor([&] {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
  }));
}

// Three records while two may run: all three run, never three at once, each
// with its arguments whole, stdin empty, in the working directory, and a
// flood of output costs nothing.
TEST(Announce, HooksTakeTheirTurn) {
  RunnerFixture x;
  QtHookRunner runner(x.files, 10'000, 2);
  x.watch(runner);
  const QString hook =
      x.script(QStringLiteral("new-mail"),
               "echo start >> log\nhead -c 3000000 /dev/zero\nhead -c 300000 /dev/zero >&2\n"
               "sleep 0.3\nprintf '%s|%s|%s|%s|%s|end\\n' \"$1\" \"$2\" \"$3\" \"$(pwd)\" "
               "\"$(cat)\" >> log\n"
               "echo done >&2\n");
  for (const char* caller : {"5", "0123*12", "-"}) {
    runner.run({toText(hook), {u"/m/a b", u"mail", fromUtf8(caller)}, toText(x.dir.path())});
  }
  ASSERT_TRUE(waitFor([&] { return x.ends.size() == 3; }));
  for (const HookEnd& end : x.ends) EXPECT_EQ(end.how, HookEnd::How::Exited);
  EXPECT_TRUE(x.ends.back().errorTail.ends_with(u"done\n"));
  EXPECT_LE(x.ends.back().errorTail.size(), 4096u);
  const QByteArray log = x.read(QStringLiteral("log"));
  int atOnce = 0;
  int most = 0;
  for (const QByteArray& line : log.split('\n')) {
    if (line == "start") most = std::max(most, ++atOnce);
    if (line.endsWith("end")) --atOnce;
  }
  EXPECT_EQ(most, 2) << log.constData();
  const QByteArray where = "|" + QFile::encodeName(x.dir.path()) + "||end";
  for (const char* caller : {"5", "0123*12", "-"}) {
    EXPECT_TRUE(log.contains("/m/a b|mail|" + QByteArray(caller) + where)) << log.constData();
  }
}

}  // namespace
}  // namespace ondrix

#include "announce_test.moc"
