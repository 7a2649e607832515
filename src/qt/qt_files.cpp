// SPDX-License-Identifier: GPL-3.0-or-later
// Files through Qt and POSIX: reads, atomic replacement with the modes the
// server's own files and the operator's exports each need, and appends.
#include "qt/qt_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "qt/durable_files.h"
#include "qt/durable_queue.h"
#include "qt/qt_cp932.h"
#include "qt/qt_text.h"
#include "qt/store_lock.h"
#include "store/codecs.h"
#include "store/mail_store_file.h"
#include "store/settings_file.h"

namespace ondrix {

namespace {

bool canWriteIn(const QString& dir) {
  QTemporaryFile probe(dir + QStringLiteral("/.ondrix-write-probe-XXXXXX"));
  return probe.open();
}

// Makes `dir` and whatever of its parents is missing, each the owner's alone
// whatever the umask and durable in its parent: the folder holds the
// callers' mail.
bool makePrivatePath(const QString& dir) {
  const QFileInfo info(dir);
  if (info.isDir()) return true;
  const QString parent = info.absolutePath();
  if (parent != info.absoluteFilePath() && !makePrivatePath(parent)) return false;
  return durable::makeFolder(QFile::encodeName(info.absoluteFilePath()));
}

// The per-user data directory, made when missing; empty when it cannot be.
// One that an older version made open to others loses those bits, as a file
// of the server's does when it is replaced.
QString userDataDirectory() {
  const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (dataDir.isEmpty() || !makePrivatePath(dataDir)) return {};
  const QByteArray native = QFile::encodeName(dataDir);
  struct stat st {};
  if (::stat(native.constData(), &st) == 0 && (st.st_mode & 07) != 0) {
    [[maybe_unused]] const int kept = ::chmod(native.constData(), st.st_mode & 0770);
  }
  return dataDir;
}

// The executable's folder; before the application object exists (the start
// finds its folder before Qt needs a display) the system tells it.
QString executableDirectory() {
  if (QCoreApplication::instance() != nullptr) return QCoreApplication::applicationDirPath();
  return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
}

}  // namespace

Text defaultProgramDirectory() {
  const QString appDir = executableDirectory();
  if (!appDir.isEmpty() && canWriteIn(appDir)) return toText(QDir::toNativeSeparators(appDir));
  const QString dataDir = userDataDirectory();
  if (!dataDir.isEmpty()) return toText(QDir::toNativeSeparators(dataDir));
  return toText(QDir::toNativeSeparators(appDir));
}

namespace {

std::optional<QByteArray> readAll(const QString& native) {
  QFile file(native);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QByteArray data = file.readAll();
  if (file.error() != QFileDevice::NoError) return std::nullopt;
  return data;
}

// Replaces one of the server's own files: a temporary file beside the target
// is written and renamed over it, so a failure at any point leaves the old
// file as it was. The temporary file is made the owner's alone and given its
// final mode before the first byte goes in: a new file stays 0600, a
// replaced one keeps its owner's and group's bits (and, where allowed, its
// group) but loses every bit for others. Unless `synced` is false, the
// replacement is durable before this returns (data synced, renamed, folder
// synced): a power cut can neither leave an empty file where the mail store
// was nor bring back the store from before a mail it was told of.
bool replacePrivately(const QString& native, const char* data, std::size_t size, bool synced,
                      DurableQueue* queue) {
  QByteArray target = QFile::encodeName(native);
  struct stat old {};
  bool replacing = ::lstat(target.constData(), &old) == 0;
  if (replacing && S_ISLNK(old.st_mode)) {
    // A link is kept and the file it names replaced.
    target = QFile::encodeName(QFileInfo(native).symLinkTarget());
    replacing = ::stat(target.constData(), &old) == 0;
  }
  // A file its owner made read-only is not replaced.
  if (replacing && ::access(target.constData(), W_OK) != 0) return false;
  QByteArray temp = target + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // mode 0600 or less, whatever the umask
  if (fd < 0) return false;
  struct stat made {};
  if (replacing && ::fstat(fd, &made) == 0 && made.st_gid != old.st_gid) {
    [[maybe_unused]] const int kept = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  }
  const bool written =
      ::fchmod(fd, replacing ? (old.st_mode & 0770) : 0600) == 0 && writeAllBytes(fd, data, size);
  if (written && synced) return durable::commit(fd, temp, target, queue);
  bool ok = ::close(fd) == 0 && written;
  ok = ok && ::rename(temp.constData(), target.constData()) == 0;
  if (!ok) ::unlink(temp.constData());
  return ok;
}

// Replaces a file the operator chose: its mode follows the umask, or the
// file it replaces, as in any desktop program.
bool replaceForOperator(const QString& native, const char* data, std::size_t size) {
  QSaveFile file(native);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(data, static_cast<qint64>(size)) != static_cast<qint64>(size)) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace

bool writeAllBytes(int fd, const void* data, std::size_t size) {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, next, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    next += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The server's own files are private; a file the operator chose is an export.
bool QtFiles::replaceWith(const Text& path, const char* data, std::size_t size, bool synced) {
  if (const auto own = ownFilePath(path)) {
    if (synced && queue_ != nullptr) onTheirWay_.insert(*own);
    return replacePrivately(*own, data, size, synced, queue_);
  }
  return replaceForOperator(toQString(path), data, size);
}

bool QtFiles::replaceWith(const Text& path, const QByteArray& data, bool synced) {
  return replaceWith(path, data.constData(), static_cast<std::size_t>(data.size()), synced);
}

bool QtFiles::replaceWith(const Text& path, const Bytes& bytes, bool synced) {
  return replaceWith(path, reinterpret_cast<const char*>(bytes.data()), bytes.size(), synced);
}

namespace {

QByteArray encodeText(TextView text) {
  return encodeCp932(QStringView(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace

QtFiles::QtFiles() : programDir_(defaultProgramDirectory()) {}

QtFiles::QtFiles(Text programDirectory) : programDir_(std::move(programDirectory)) {}

std::optional<QString> QtFiles::ownFilePath(const Text& path) const {
  for (const Text* directory : {&programDir_, &fallbackDir_}) {
    const std::size_t n = directory->size();
    if (n == 0 || path.size() <= n + 1 || path.compare(0, n, *directory) != 0 || path[n] != u'\\') {
      continue;
    }
    const QString name = toQString(TextView(path).substr(n + 1));
    if (name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char('/'))) continue;
    // The exact spelling only: a file whose name differs in case is never
    // taken for the one the program writes.
    return QDir(QDir::fromNativeSeparators(toQString(*directory))).filePath(name);
  }
  return std::nullopt;
}

QString QtFiles::nativePath(const Text& path) const {
  return ownFilePath(path).value_or(toQString(path));
}

void QtFiles::settle(const Text& path) {
  if (queue_ == nullptr || !onTheirWay_.contains(nativePath(path))) return;
  queue_->drain();
  onTheirWay_.clear();
}

std::optional<Text> QtFiles::readText(const Text& path) {
  settle(path);
  const auto data = readAll(nativePath(path));
  if (!data) return std::nullopt;
  Cp932Decoder decoder;
  return toText(decoder.decode(*data));
}

bool QtFiles::writeText(const Text& path, const Text& text) {
  return replaceWith(path, encodeText(text));
}

bool QtFiles::writeWorkingText(const Text& path, const Text& text) {
  return replaceWith(path, encodeText(text), /*synced=*/false);
}

bool QtFiles::writeWorkingBytes(const Text& path, const Bytes& bytes) {
  return replaceWith(path, bytes, /*synced=*/false);
}

void QtFiles::appendEncoded(TextView text, Bytes& out) {
  const QByteArray bytes = encodeText(text);
  out.insert(out.end(), bytes.begin(), bytes.end());
}

std::optional<Bytes> QtFiles::readBytes(const Text& path) {
  settle(path);
  const auto data = readAll(nativePath(path));
  if (!data) return std::nullopt;
  return Bytes(data->begin(), data->end());
}

bool QtFiles::writeBytes(const Text& path, const Bytes& bytes) { return replaceWith(path, bytes); }

std::optional<std::int64_t> QtFiles::appendBytes(const Text& path, const Bytes& bytes) {
  const QByteArray native = QFile::encodeName(nativePath(path));
  int fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  const bool made = fd >= 0;
  if (made) {
    ::fchmod(fd, 0600);  // the umask may have taken the owner's bits too
  } else if (errno == EEXIST) {
    fd = ::open(native.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) return std::nullopt;
  ssize_t n = 0;
  do {
    n = ::write(fd, bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  struct stat st {};
  const bool written = n == static_cast<ssize_t>(bytes.size()) && ::fstat(fd, &st) == 0;
  // The line is on the disk, and a new file's name in its folder, before
  // the call counts as written.
  const auto sync = [fd, made, written, native] {
    const bool synced = written && ::fdatasync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    return closed && synced && (!made || durable::syncFolder(durable::folderOf(native)));
  };
  if (!written) {
    ::close(fd);
    return std::nullopt;
  }
  if (queue_ != nullptr) {
    queue_->enqueue(sync);
  } else if (!sync()) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(st.st_size);
}

bool QtFiles::copy(const Text& from, const Text& to) {
  settle(from);
  const auto data = readAll(nativePath(from));
  if (!data) return false;
  return replaceWith(to, *data);
}

bool QtFiles::rename(const Text& from, const Text& to) {
  std::error_code ec;
  std::filesystem::rename(QFile::encodeName(nativePath(from)).toStdString(),
                          QFile::encodeName(nativePath(to)).toStdString(), ec);
  return !ec;
}

Text QtFiles::fallbackDirectory() {
  const QString dir = userDataDirectory();
  if (dir.isEmpty()) return {};
  const Text native = toText(QDir::toNativeSeparators(dir));
  // The per-user folder is another server's store when that server was
  // started from a folder it could not write: it is used only while this
  // server holds the folder's lock. A folder that cannot be locked at all is
  // used as at start, without one.
  if (native != programDir_ && !fallbackLock_) {
    auto lock = std::make_unique<StoreLock>(dir);
    if (lock->take() == StoreLock::Outcome::HeldByAnother) return {};
    fallbackLock_ = std::move(lock);
    removeLeftTemporaries(dir);
  }
  fallbackDir_ = native;
  return fallbackDir_;
}

void QtFiles::removeLeftTemporaries(const QString& folder) {
  std::vector<QByteArray> names;
  for (const Text* own :
       {&kMailStoreFile, &kSettingsFile, &kWorkingMelodyFile, &kWorkingImageFile}) {
    names.push_back(QFile::encodeName(toQString(TextView(*own).substr(1))));  // the name alone
  }
  durable::removeLeftovers(QFile::encodeName(folder), names);
}

QtFiles::~QtFiles() = default;

bool QtFiles::exists(const Text& path) { return QFileInfo::exists(nativePath(path)); }

bool QtFiles::isDirectory(const Text& path) { return QFileInfo(nativePath(path)).isDir(); }

void QtFiles::setCurrentDirectory(const Text& path) { QDir::setCurrent(nativePath(path)); }

}  // namespace ondrix
