// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One server per store: a lock file in the folder that holds the mail store,
// and a local socket through which a second start asks the running server to
// bring its window to the front.
#include <QLockFile>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QSocketNotifier;

namespace ondrix {

class StoreLock {
 public:
  // The lock file's name in the folder.
  static inline const QString kFileName = QStringLiteral("ondrix-server.lock");

  enum class Outcome {
    Taken,          // this server holds the folder (a dead holder's lock is taken over)
    HeldByAnother,  // a running server holds it
    Unavailable,    // no lock could be made or read: the server runs without one
  };

  explicit StoreLock(const QString& folder);
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  ~StoreLock();

  // Tries once; a lock whose process is gone is taken over. The lock file is
  // the owner's alone whatever the umask.
  Outcome take();
  // Gives the folder up as the end of the program does; for an end that
  // skips the destructors.
  void release();
  // The lock taken was left by a server that died without ending.
  bool tookOverDeadHolder() const { return tookOver_; }

  // While the lock is held: a second start's request raises `window`.
  void listenForSecondStarts(QWidget& window);
  // From a second start: asks the server holding the folder to show its
  // window. False when none answered.
  bool askHolderToShowItself() const;

  // The socket's path for `folder`: the same for every path that leads to
  // the folder.
  static QString channelPath(const QString& folder);

 private:
  void showWindow();

  QString folder_;
  QLockFile lock_;
  int listener_ = -1;
  QString listening_;  // the socket's path while listening
  std::unique_ptr<QSocketNotifier> notifier_;
  QPointer<QWidget> window_;
  bool tookOver_ = false;
};

}  // namespace ondrix
