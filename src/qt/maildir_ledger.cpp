// SPDX-License-Identifier: GPL-3.0-or-later
// The archive's ledger file in the Maildir, and the listing of the messages
// there, over POSIX calls: the syncs decide what a power cut leaves.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>

#include "qt/durable_files.h"
#include "qt/durable_queue.h"
#include "qt/maildir_archive.h"
#include "qt/qt_files.h"
#include "qt/qt_text.h"

namespace ondrix {

namespace {

constexpr char kLedgerName[] = "/ondrix-archived";
// A ledger is a line per record of the store: anything far larger is no
// ledger of ours.
constexpr off_t kLongestLedger = 1 << 20;

QByteArray maildirPath(const Text& directory) {
  return QFile::encodeName(QDir::fromNativeSeparators(toQString(directory)) +
                           QStringLiteral("/Maildir"));
}

// The Maildir itself, made the owner's alone and synced into its parent
// when missing. Only ever on the worker, or where there is none.
bool haveMaildir(const Text& directory) { return durable::makeFolder(maildirPath(directory)); }

}  // namespace

std::vector<Text> MaildirArchive::listMessages(const Text& directory) {
  std::vector<Text> found;
  for (const char* folder : {"/new", "/cur"}) {
    const QByteArray path = maildirPath(directory) + folder;
    DIR* dir = ::opendir(path.constData());
    if (dir == nullptr) continue;
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      found.push_back(
          toText(QDir::toNativeSeparators(QFile::decodeName(path + '/' + entry->d_name))));
    }
    ::closedir(dir);
  }
  return found;
}

std::optional<Bytes> MaildirArchive::readLedger(const Text& directory) {
  const QByteArray path = maildirPath(directory) + kLedgerName;
  const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    // A ledger there that cannot be opened is no missing ledger.
    if (errno == ENOENT) return std::nullopt;
    return Bytes{};
  }
  Bytes bytes;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kLongestLedger) {
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
  }
  ::close(fd);
  return bytes;
}

namespace {

bool appendLedgerNow(const Text& directory, const Bytes& bytes) {
  if (!haveMaildir(directory)) return false;
  const QByteArray path = maildirPath(directory) + kLedgerName;
  const int fd =
      ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  struct stat st {};
  const bool made = ::fstat(fd, &st) == 0 && st.st_size == 0;
  bool ok = writeAllBytes(fd, bytes.data(), bytes.size()) && ::fdatasync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  // A ledger just made is in its folder only once the folder is synced.
  if (made) ok = durable::syncFolder(maildirPath(directory)) && ok;
  return ok;
}

bool replaceLedgerNow(const Text& directory, const Bytes& bytes) {
  if (!haveMaildir(directory)) return false;
  const QByteArray path = maildirPath(directory) + kLedgerName;
  const QByteArray staged = path + ".new";
  const int fd =
      ::open(staged.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  if (!writeAllBytes(fd, bytes.data(), bytes.size())) {
    ::close(fd);
    ::unlink(staged.constData());
    return false;
  }
  return durable::commit(fd, staged, path);
}

}  // namespace

// A ledger's change is written by the worker too, after the deliveries
// before it: a line written here could reach the disk before the message it
// tells of. The line is the ledger's word only: without it the Maildir
// decides at the next start, so nobody waits for its answer, and a failed
// line is no failure to report.
bool MaildirArchive::changeLedger(bool (*now)(const Text&, const Bytes&), const Text& directory,
                                  const Bytes& bytes) {
  if (queue_ == nullptr) return now(directory, bytes);
  queue_->enqueue([now, directory, bytes, lost = lost_] {
    if (!*lost) now(directory, bytes);
    return true;
  });
  return true;
}

bool MaildirArchive::appendLedger(const Text& directory, const Bytes& bytes) {
  return changeLedger(appendLedgerNow, directory, bytes);
}

bool MaildirArchive::replaceLedger(const Text& directory, const Bytes& bytes) {
  return changeLedger(replaceLedgerNow, directory, bytes);
}

}  // namespace ondrix
