// SPDX-License-Identifier: GPL-3.0-or-later
// A lock that names no server never stops a start (a held or a killed
// server's lock: the end-to-end test of a second start).
#include "qt/store_lock.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

}  // namespace
}  // namespace ondrix
