// What a start finds in the folder's lock: free, held by a running server,
// left by a dead one, or something that is no lock at all.
#include "qt/store_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>

namespace ondrix {
namespace {

// A process id that no process has any more.
qint64 deadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

void writeLock(const QString& folder, const QByteArray& content) {
  QFile f(QDir(folder).filePath(StoreLock::kFileName));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(content);
}

TEST(StoreLock, WhatAStartFinds) {
  using Outcome = StoreLock::Outcome;
  struct Case {
    const char* name;
    void (*prepare)(const QString& folder);
    Outcome outcome;
  };
  static StoreLock* running = nullptr;
  const Case cases[] = {
      {"free folder", [](const QString&) {}, Outcome::Taken},
      {"a running server's lock",
       [](const QString& folder) {
         running = new StoreLock(folder);
         ASSERT_EQ(running->take(), Outcome::Taken);
       },
       Outcome::HeldByAnother},
      {"lock of a killed server",
       [](const QString& folder) {
         writeLock(folder, QByteArray::number(deadPid()) + "\nondrix-server\n" +
                               QSysInfo::machineHostName().toUtf8() + "\n");
       },
       Outcome::Taken},
      {"lock that names nothing", [](const QString& folder) { writeLock(folder, "garbage"); },
       Outcome::Unavailable},
      {"lock that cannot be read (a folder)",
       [](const QString& folder) { ASSERT_TRUE(QDir(folder).mkdir(StoreLock::kFileName)); },
       Outcome::Unavailable},
      {"folder gone", [](const QString& folder) { ASSERT_TRUE(QDir(folder).removeRecursively()); },
       Outcome::Unavailable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    c.prepare(dir.path());
    StoreLock lock(dir.path());
    EXPECT_EQ(lock.take(), c.outcome);
    delete running;
    running = nullptr;
  }
}

}  // namespace
}  // namespace ondrix
