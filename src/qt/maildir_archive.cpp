// SPDX-License-Identifier: GPL-3.0-or-later
// Maildir delivery over POSIX calls: the modes, the syncs and the order of
// the rename are what make a message safe, and Qt's file classes hide them.
#include "qt/maildir_archive.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <ctime>

#include "qt/durable_files.h"
#include "qt/durable_queue.h"
#include "qt/qt_files.h"
#include "qt/qt_text.h"

namespace ondrix {

namespace {

constexpr std::time_t kStaleSeconds = 36 * 60 * 60;

QByteArray maildirOf(const Text& directory) {
  return QFile::encodeName(QDir::fromNativeSeparators(toQString(directory)) +
                           QStringLiteral("/Maildir"));
}

// The host part of a unique name: "/" and ":" would break the name, so they
// are written as octal escapes.
QString hostPart() {
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
    return QStringLiteral("localhost");
  QString out;
  for (const char* c = host; *c != '\0'; ++c) {
    if (*c == '/') {
      out += QStringLiteral("\\057");
    } else if (*c == ':') {
      out += QStringLiteral("\\072");
    } else {
      out += QLatin1Char(*c);
    }
  }
  return out;
}

}  // namespace

Text MaildirArchive::uniqueName() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  ++deliveries_;
  // Seconds, then the microseconds, the process and its count of
  // deliveries, then the host.
  return toText(QStringLiteral("%1.M%2P%3Q%4.%5")
                    .arg(static_cast<qint64>(now.tv_sec))
                    .arg(static_cast<qint64>(now.tv_nsec / 1000))
                    .arg(static_cast<qint64>(::getpid()))
                    .arg(static_cast<qulonglong>(deliveries_))
                    .arg(hostPart()));
}

Text MaildirArchive::deliver(const Text& directory, const Text& name, const Bytes& message) {
  const QByteArray maildir = maildirOf(directory);
  const QByteArray tmp = maildir + "/tmp";
  const QByteArray fresh = maildir + "/new";
  if (!durable::makeFolder(maildir, queue_) || !durable::makeFolder(tmp, queue_) ||
      !durable::makeFolder(fresh, queue_) || !durable::makeFolder(maildir + "/cur", queue_)) {
    return {};
  }
  const QByteArray file = QFile::encodeName(toQString(name));
  const QByteArray staged = tmp + '/' + file;
  const QByteArray delivered = fresh + '/' + file;
  const int fd = ::open(staged.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return {};
  // The umask may have taken the owner's bits too.
  if (::fchmod(fd, 0600) != 0 || !writeAllBytes(fd, message.data(), message.size())) {
    ::close(fd);
    ::unlink(staged.constData());
    return {};
  }
  if (queue_ != nullptr) {
    queue_->enqueue([fd, staged, delivered, lost = lost_] {
      if (durable::commit(fd, staged, delivered)) return true;
      lost->store(true);
      return false;
    });
  } else if (!durable::commit(fd, staged, delivered)) {
    return {};
  }
  return toText(QDir::toNativeSeparators(QFile::decodeName(delivered)));
}

bool MaildirArchive::exists(const Text& directory) {
  struct stat st {};
  return ::lstat(maildirOf(directory).constData(), &st) == 0;
}

void MaildirArchive::removeStaleTemporaries(const Text& directory) {
  const QByteArray tmp = maildirOf(directory) + "/tmp";
  DIR* dir = ::opendir(tmp.constData());
  if (dir == nullptr) return;
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray path = tmp + '/' + entry->d_name;
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (now - st.st_mtime > kStaleSeconds) ::unlink(path.constData());
  }
  ::closedir(dir);
}

}  // namespace ondrix
