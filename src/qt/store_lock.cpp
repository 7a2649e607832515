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
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "qt/qt_files.h"

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
  clients_.clear();
  notifier_.reset();
  if (listener_ >= 0) {
    ::close(listener_);
    listener_ = -1;
    // Only the holder of the lock ever binds this name, so it is still ours.
    ::unlink(QFile::encodeName(listening_).constData());
  }
  // A client waiting for the server's end learns of it once the folder is
  // free for the next start.
  lock_.unlock();
  for (const int fd : heldOpen_) ::close(fd);
  heldOpen_.clear();
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

bool StoreLock::listenForSecondStarts(QWidget& window, Answer answer) {
  window_ = &window;
  answer_ = std::move(answer);
  if (listener_ >= 0) return true;
  const QString path = channelPath(folder_);
  const auto fault = [&path](const char* why) {
    std::fprintf(stderr,
                 "ondrix-server: no channel for a second start at %s (%s): a second start "
                 "cannot raise this window or hand it a request\n",
                 QFile::encodeName(path).constData(), why);
    return false;
  };
  sockaddr_un address{};
  if (!socketAddress(path, address)) return fault("the path is too long for a socket");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return fault(std::strerror(errno));
  // The lock says no server runs here, so a socket of that name was left by
  // one that was killed.
  ::unlink(address.sun_path);
  // Made 0600, so no other user may connect; the umask is narrowed only
  // for the bind, as for the lock file.
  const mode_t previous = ::umask(077);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::umask(previous);
  if (!bound || ::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 16) != 0) {
    const int error = errno;
    if (bound) ::unlink(address.sun_path);
    ::close(fd);
    return fault(std::strerror(error));
  }
  listener_ = fd;
  listening_ = path;
  notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [this] { acceptRequests(); });
  return true;
}

// One connection being read; the window's thread never waits for its
// client, and one that says nothing for long is dropped.
struct StoreLock::Client {
  int fd = -1;
  std::string request;
  // Deleted later: a client ends inside their own signals.
  QSocketNotifier* notifier = nullptr;
  QTimer* deadline = nullptr;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  explicit Client(int c)
      : fd(c), notifier(new QSocketNotifier(c, QSocketNotifier::Read)), deadline(new QTimer) {}
  void stopWatching() {
    if (notifier != nullptr) {
      notifier->setEnabled(false);
      std::exchange(notifier, nullptr)->deleteLater();
    }
    if (deadline != nullptr) {
      deadline->stop();
      std::exchange(deadline, nullptr)->deleteLater();
    }
  }
  ~Client() {
    stopWatching();
    if (fd >= 0) ::close(fd);
  }
};

namespace {

// More than any list of ten and ten paths needs.
constexpr std::size_t kLongestRequest = 256 * 1024;
constexpr int kClientSilenceMs = 5000;

}  // namespace

void StoreLock::acceptRequests() {
  for (int c; (c = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
    auto client = std::make_unique<Client>(c);
    QObject::connect(client->notifier, &QSocketNotifier::activated, client->notifier,
                     [this, c] { readRequest(c); });
    client->deadline->setSingleShot(true);
    QObject::connect(client->deadline, &QTimer::timeout, client->deadline, [this, c] {
      std::erase_if(clients_, [c](const auto& k) { return k->fd == c; });
    });
    client->deadline->start(kClientSilenceMs);
    clients_.push_back(std::move(client));
  }
}

void StoreLock::readRequest(int fd) {
  const auto it =
      std::find_if(clients_.begin(), clients_.end(), [fd](const auto& k) { return k->fd == fd; });
  if (it == clients_.end()) return;
  Client& client = **it;
  char buffer[4096];
  ssize_t n = 0;
  while (client.request.size() <= kLongestRequest && (n = ::read(fd, buffer, sizeof buffer)) > 0) {
    client.request.append(buffer, static_cast<std::size_t>(n));
  }
  const bool ended = n == 0;
  if (!ended && (errno == EAGAIN || errno == EINTR) && client.request.size() <= kLongestRequest) {
    return;
  }
  // The whole request has come (the client shut its side), or the
  // connection failed or grew too long.
  std::unique_ptr<Client> done = std::move(*it);
  clients_.erase(it);
  if (!ended || done->request.size() > kLongestRequest) return;
  if (done->request.empty() || !answer_) {
    // The oldest request: a connection and nothing else.
    showWindow();
    return;
  }
  const Reply reply = answer_(done->request);
  // A reply is a few lines, far less than the socket's buffer: written at
  // once or dropped, never waited for.
  [[maybe_unused]] const auto written =
      ::send(fd, reply.bytes.data(), reply.bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (reply.untilEnd) heldOpen_.push_back(std::exchange(done->fd, -1));
}

void StoreLock::showWindow() {
  if (window_ == nullptr) return;
  window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window_->show();
  window_->raise();
  window_->activateWindow();
}

std::optional<std::string> StoreLock::ask(const std::string& request, int waitMs) const {
  sockaddr_un address{};
  if (!socketAddress(channelPath(folder_), address)) return std::nullopt;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  const QDeadlineTimer deadline(waitMs);
  // A server still starting has its lock before its channel: tried again.
  bool connected = false;
  while (!(connected =
               ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) &&
         (errno == EAGAIN || errno == EINTR || errno == ENOENT || errno == ECONNREFUSED) &&
         !deadline.hasExpired()) {
    ::poll(nullptr, 0, 50);
  }
  std::string reply;
  if (connected && writeAllBytes(fd, request.data(), request.size()) &&
      ::shutdown(fd, SHUT_WR) == 0) {
    pollfd p{fd, POLLIN, 0};
    char buffer[4096];
    for (;;) {
      const int ready =
          ::poll(&p, 1, static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      reply.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  if (!connected) return std::nullopt;
  return reply;
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
