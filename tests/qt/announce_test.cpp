// SPDX-License-Identifier: GPL-3.0-or-later
// The notice on a private session bus with a stand-in notification service,
// and the new-mail runner with real programs.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>

#include "modem/desktop_notice.h"
#include "modem/new_mail_hook.h"
#include "qt/qt_files.h"
#include "qt/qt_hook_runner.h"
#include "qt/qt_notifier.h"
#include "qt/qt_text.h"

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

// One at a time here: a hook that fails says why, one that hangs is ended
// with what it started, the last waits its turn and gets its arguments
// whole; one that others may write is refused before it runs.
TEST(Announce, HooksThatGoWrongAndTheOneWaiting) {
  QTemporaryDir dir;
  QtFiles files(toText(dir.path()));
  const auto script = [&](const char* name, const QByteArray& body, mode_t mode = 0700) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    f.open(QIODevice::WriteOnly);
    f.write("#!/bin/sh\n" + body);
    f.close();
    ::chmod(QFile::encodeName(f.fileName()).constData(), mode);
    return toText(f.fileName());
  };
  QtHookRunner runner(files, 300, 1);
  std::vector<HookEnd> ends;
  runner.setOnEnded([&](const HookEnd& end) { ends.push_back(end); });
  EXPECT_EQ(hookVerdict(runner.inspect(script("open", "", 0777))), HookVerdict::OthersMayWrite);
  const Text fails = script("fails", "echo first >&2\necho 'no route' >&2\nexit 1\n");
  EXPECT_EQ(hookVerdict(runner.inspect(fails)), HookVerdict::Run);
  runner.run({fails, {}, toText(dir.path())});
  runner.run({script("hangs", "sleep 30 &\necho $! > pid\necho waiting >&2\nsleep 30\n"),
              {},
              toText(dir.path())});
  runner.run({script("args",
                     "printf '%s|%s|%s|%s|%s' \"$1\" \"$2\" \"$3\" \"$(pwd)\" \"$(cat)\" >log\n"
                     "head -c 300000 /dev/zero >&2\necho done >&2\n"),
              {u"/m/a b", u"mail", u"-"},
              toText(dir.path())});
  ASSERT_TRUE(waitFor([&] { return ends.size() == 3; }));
  EXPECT_EQ(hookEndLine(ends[0]), u"new-mail が終了コード 1 で終わりました：no route");
  EXPECT_EQ(hookEndLine(ends[1]), u"new-mail が時間内に終わらないため止めました：waiting");
  EXPECT_EQ(ends[2].how, HookEnd::How::Exited);
  EXPECT_TRUE(ends[2].errorTail.ends_with(u"done\n") && ends[2].errorTail.size() <= 4096);
  QFile log(dir.filePath(QStringLiteral("log"))), pid(dir.filePath(QStringLiteral("pid")));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly) && pid.open(QIODevice::ReadOnly));
  EXPECT_EQ(log.readAll(), "/m/a b|mail|-|" + QFile::encodeName(dir.path()) + "|");
  // The hang's child: gone, or a zombie waiting for whoever inherited it.
  const QString child = QStringLiteral("/proc/%1/stat").arg(pid.readAll().trimmed().toInt());
  EXPECT_TRUE(waitFor([&] {
    QFile stat(child);
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
  }));
}

}  // namespace
}  // namespace ondrix

#include "announce_test.moc"
