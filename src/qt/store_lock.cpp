// SPDX-License-Identifier: GPL-3.0-or-later
// The lock of the store's folder and the request of a second start to show
// the running server's window.
#include "qt/store_lock.h"

#include <sys/stat.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace ondrix {

namespace {

// The same folder gives the same name, whichever path leads to it. The
// socket lives in the user's runtime directory, which the session clears,
// so one left by a killed server does not stay for good.
QString channelName(const QString& folder) {
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  const QByteArray hash = QCryptographicHash::hash(
      (canonical.isEmpty() ? folder : canonical).toUtf8(), QCryptographicHash::Sha256);
  const QString name =
      QStringLiteral("ondrix-server-") + QString::fromLatin1(hash.toHex().left(32));
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? name : QDir(runtime).filePath(name);
}

}  // namespace

StoreLock::StoreLock(const QString& folder)
    : folder_(folder), lock_(QDir(folder).filePath(kFileName)) {
  // Only a lock whose process is gone is stale, however old it is.
  lock_.setStaleLockTime(0);
}

StoreLock::~StoreLock() = default;

StoreLock::Outcome StoreLock::take() {
  const auto tryOnce = [this] {
    // The umask is the process's; it is narrowed only while the lock file
    // is made, before any other thread of the program makes files.
    const mode_t previous = ::umask(077);
    const bool taken = lock_.tryLock(0);
    ::umask(previous);
    return taken;
  };
  const auto named = [this] {
    qint64 pid = 0;
    QString host, app;
    return lock_.getLockInfo(&pid, &host, &app);
  };
  // A lock file left behind is a server's that ended without removing it.
  const bool leftBehind = QFileInfo::exists(QDir(folder_).filePath(kFileName));
  if (tryOnce()) {
    tookOver_ = leftBehind;
    return Outcome::Taken;
  }
  if (lock_.error() != QLockFile::LockFailedError) return Outcome::Unavailable;
  if (named()) return Outcome::HeldByAnother;
  // A server starting at the same moment may not have written its lock yet.
  QThread::msleep(200);
  if (tryOnce()) return Outcome::Taken;
  if (lock_.error() != QLockFile::LockFailedError) return Outcome::Unavailable;
  // A lock that cannot be read names no server, so it does not stop this one.
  return named() ? Outcome::HeldByAnother : Outcome::Unavailable;
}

void StoreLock::listenForSecondStarts(QWidget& window) {
  window_ = &window;
  listener_ = std::make_unique<QLocalServer>();
  listener_->setSocketOptions(QLocalServer::UserAccessOption);
  const QString name = channelName(folder_);
  // The lock says no server runs here, so a socket of that name was left by
  // one that was killed.
  QLocalServer::removeServer(name);
  if (!listener_->listen(name)) {
    listener_.reset();
    return;
  }
  // A connection is the whole request.
  QObject::connect(listener_.get(), &QLocalServer::newConnection, listener_.get(), [this] {
    while (QLocalSocket* socket = listener_->nextPendingConnection()) {
      socket->disconnectFromServer();
      socket->deleteLater();
    }
    if (window_ == nullptr) return;
    window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->show();
    window_->raise();
    window_->activateWindow();
  });
}

bool StoreLock::askHolderToShowItself() const {
  QLocalSocket socket;
  socket.connectToServer(channelName(folder_));
  const bool answered = socket.waitForConnected(1000);
  socket.disconnectFromServer();
  return answered;
}

}  // namespace ondrix
