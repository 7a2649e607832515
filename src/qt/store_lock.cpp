// SPDX-License-Identifier: GPL-3.0-or-later
// The lock of the store's folder and the request of a second start to show
// the running server's window.
#include "qt/store_lock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <cstring>

namespace ondrix {

namespace {

// The socket address of `path`; false when the path does not fit.
bool socketAddress(const QString& path, sockaddr_un& address) {
  const QByteArray encoded = QFile::encodeName(path);
  address = {};
  address.sun_family = AF_UNIX;
  if (encoded.isEmpty() || static_cast<std::size_t>(encoded.size()) >= sizeof address.sun_path) {
    return false;
  }
  std::memcpy(address.sun_path, encoded.constData(), static_cast<std::size_t>(encoded.size()));
  return true;
}

}  // namespace

// The same folder gives the same name, whichever path leads to it. The
// socket lives in the user's runtime directory, which the session clears,
// so one left by a killed server does not stay for good.
QString StoreLock::channelPath(const QString& folder) {
  const QString canonical = QFileInfo(folder).canonicalFilePath();
  const QByteArray hash = QCryptographicHash::hash(
      (canonical.isEmpty() ? folder : canonical).toUtf8(), QCryptographicHash::Sha256);
  const QString name =
      QStringLiteral("ondrix-server-") + QString::fromLatin1(hash.toHex().left(32));
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return QDir(runtime.isEmpty() ? QDir::tempPath() : runtime).filePath(name);
}

StoreLock::StoreLock(const QString& folder)
    : folder_(folder), lock_(QDir(folder).filePath(kFileName)) {
  // Only a lock whose process is gone is stale, however old it is.
  lock_.setStaleLockTime(0);
}

StoreLock::~StoreLock() { release(); }

void StoreLock::release() {
  notifier_.reset();
  if (listener_ >= 0) {
    ::close(listener_);
    listener_ = -1;
    // Only the holder of the lock ever binds this name, so it is still ours.
    ::unlink(QFile::encodeName(listening_).constData());
  }
  lock_.unlock();
}

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
  const QString path = channelPath(folder_);
  sockaddr_un address{};
  if (listener_ >= 0 || !socketAddress(path, address)) return;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  // The lock says no server runs here, so a socket of that name was left by
  // one that was killed.
  ::unlink(address.sun_path);
  // Made 0600, so no other user may connect; the umask is narrowed only
  // for the bind, as for the lock file.
  const mode_t previous = ::umask(077);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::umask(previous);
  if (!bound || ::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 16) != 0) {
    if (bound) ::unlink(address.sun_path);
    ::close(fd);
    return;
  }
  listener_ = fd;
  listening_ = path;
  notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [this] { showWindow(); });
}

void StoreLock::showWindow() {
  // A connection is the whole request.
  int accepted = 0;
  for (int c; (c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
    ::close(c);
    ++accepted;
  }
  if (accepted == 0 || window_ == nullptr) return;
  window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window_->show();
  window_->raise();
  window_->activateWindow();
}

bool StoreLock::askHolderToShowItself() const {
  sockaddr_un address{};
  if (!socketAddress(channelPath(folder_), address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A full backlog refuses for now, not for good: tried again for a second.
  const QDeadlineTimer deadline(1000);
  bool answered = false;
  for (;;) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      answered = true;
      break;
    }
    if ((errno != EAGAIN && errno != EINTR) || deadline.hasExpired()) break;
    ::poll(nullptr, 0, 10);
  }
  ::close(fd);
  return answered;
}

}  // namespace ondrix
