// SPDX-License-Identifier: GPL-3.0-or-later
// The durability protocol over POSIX calls: data synced, renamed, folder
// synced; folders made and synced into their parents.
#include "qt/durable_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

#include "qt/durable_queue.h"

namespace ondrix::durable {

bool syncFolder(const QByteArray& folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

QByteArray folderOf(const QByteArray& path) {
  const qsizetype slash = path.lastIndexOf('/');
  if (slash < 0) return QByteArrayLiteral(".");
  return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

bool makeFolder(const QByteArray& folder, DurableQueue* queue) {
  if (::mkdir(folder.constData(), 0700) != 0) {
    struct stat st {};
    return errno == EEXIST && ::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  if (::chmod(folder.constData(), 0700) != 0) return false;
  // Until its parent is synced a power cut can take the folder back, and
  // every file already synced into it with it.
  const QByteArray parent = folderOf(folder);
  if (queue == nullptr) return syncFolder(parent);
  queue->enqueue([parent] { return syncFolder(parent); });
  return true;
}

namespace {

bool commitNow(int fd, const QByteArray& staged, const QByteArray& target) {
  bool ok = ::fdatasync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(staged.constData(), target.constData()) == 0;
  if (!ok) {
    ::unlink(staged.constData());
    return false;
  }
  // The rename is only a change of the folder until the folder is synced: a
  // power cut before that brings back the old file.
  return syncFolder(folderOf(target));
}

}  // namespace

bool commit(int fd, const QByteArray& staged, const QByteArray& target, DurableQueue* queue) {
  if (queue == nullptr) return commitNow(fd, staged, target);
  queue->enqueue([fd, staged, target] { return commitNow(fd, staged, target); });
  return true;
}

namespace {

// mkostemp's suffix: six letters or digits.
bool isTemporarySuffix(const char* suffix) {
  for (int i = 0; i < 6; ++i) {
    if (std::isalnum(static_cast<unsigned char>(suffix[i])) == 0) return false;
  }
  return suffix[6] == '\0';
}

}  // namespace

void removeLeftovers(const QByteArray& folder, const std::vector<QByteArray>& names) {
  DIR* dir = ::opendir(folder.constData());
  if (dir == nullptr) return;
  bool removed = false;
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray name(entry->d_name);
    for (const QByteArray& own : names) {
      if (name.size() != own.size() + 7 || !name.startsWith(own + '.') ||
          !isTemporarySuffix(entry->d_name + own.size() + 1)) {
        continue;
      }
      const QByteArray path = folder + '/' + name;
      struct stat st {};
      if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
          ::unlink(path.constData()) == 0) {
        removed = true;
      }
    }
  }
  ::closedir(dir);
  if (removed) syncFolder(folder);
}

}  // namespace ondrix::durable
