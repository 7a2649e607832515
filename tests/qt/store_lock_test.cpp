// SPDX-License-Identifier: GPL-3.0-or-later
// A lock that names no server never stops a start (a held or a killed
// server's lock: the end-to-end test of a second start), and the socket
// through which a second start reaches the holder's window.
#include "qt/store_lock.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>

#include "pty_support.h"

namespace ondrix {
namespace {

TEST(StoreLock, WhatNamesNoServerLetsTheServerRunWithoutALock) {
  struct Case {
    const char* name;
    bool (*prepare)(const QString& folder, const QString& lock);
  };
  const Case cases[] = {
      {"lock that names nothing",
       [](const QString&, const QString& lock) {
         QFile f(lock);
         return f.open(QIODevice::WriteOnly) && f.write("garbage") == 7;
       }},
      {"lock that cannot be read",
       [](const QString&, const QString& lock) { return QDir().mkdir(lock); }},
      {"folder gone",
       [](const QString& folder, const QString&) { return QDir(folder).removeRecursively(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    ASSERT_TRUE(c.prepare(dir.path(), dir.filePath(StoreLock::kFileName)));
    StoreLock lock(dir.path());
    EXPECT_EQ(lock.take(), StoreLock::Outcome::Unavailable);
  }
}

// A socket file a killed holder left behind: bound, never listened on.
bool leaveDeadSocket(const QString& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = QFile::encodeName(path);
  std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

// The holder's hidden window is shown when a second start asks, whichever
// path the second start took to the folder; nobody answers where nobody
// listens. The socket is the user's alone and goes with the holder.
TEST(StoreLock, SecondStartReachesTheHolderThroughItsSocket) {
  struct Case {
    const char* name;
    bool listening;        // the holder listens, so the second start is answered
    bool deadSocketFirst;  // a killed holder's socket lies where the new one goes
    QString via;           // the second start's path: the folder's, then this
  };
  const QString link = QStringLiteral("-link");  // through a link to the folder
  const Case cases[] = {
      {"same path", true, false, {}},
      {"through a link", true, false, link},
      {"with a dot", true, false, QStringLiteral("/.")},
      {"a killed holder's socket replaced", true, true, {}},
      {"holder not listening", false, false, {}},
      {"only a killed holder's socket", false, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString asked = dir.path() + c.via;
    if (c.via == link) {
      ASSERT_TRUE(QFile::link(dir.path(), asked));
    }
    const QByteArray socket = QFile::encodeName(StoreLock::channelPath(dir.path()));
    ASSERT_EQ(StoreLock::channelPath(asked), StoreLock::channelPath(dir.path()));
    if (c.deadSocketFirst) {
      ASSERT_TRUE(leaveDeadSocket(QFile::decodeName(socket)));
    }
    QWidget window;
    {
      StoreLock holder(dir.path());
      ASSERT_EQ(holder.take(), StoreLock::Outcome::Taken);
      if (c.listening) {
        holder.listenForSecondStarts(window);
        struct stat st {};
        ASSERT_EQ(::stat(socket.constData(), &st), 0);
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
      }
      const StoreLock second(asked);
      EXPECT_EQ(second.askHolderToShowItself(), c.listening);
      if (c.listening) {
        EXPECT_TRUE(testing::pumpUntil([&] { return window.isVisible(); }));
      } else {
        testing::pumpFor(50);
        EXPECT_FALSE(window.isVisible());
      }
    }
    if (c.listening) {
      EXPECT_NE(::access(socket.constData(), F_OK), 0) << "outlived its holder";
    }
    ::unlink(socket.constData());
    QFile::remove(dir.path() + link);
  }
}

// A runtime folder too deep for a socket address: the holder runs on and
// says it has no channel; a second start finds nobody to ask.
TEST(StoreLock, NoChannelWhereTheSocketPathIsTooLong) {
  QTemporaryDir dir;
  const QString runtime = dir.filePath(QString(100, QLatin1Char('r')));
  ASSERT_TRUE(
      QDir().mkpath(runtime) &&
      QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  const bool wasSet = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
  const QByteArray previous = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
  QWidget window;
  StoreLock holder(dir.path());
  ASSERT_EQ(holder.take(), StoreLock::Outcome::Taken);
  EXPECT_FALSE(holder.listenForSecondStarts(window));
  EXPECT_FALSE(StoreLock(dir.path()).ask("offered\n", 100));
  wasSet ? qputenv("XDG_RUNTIME_DIR", previous) : qunsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace ondrix
