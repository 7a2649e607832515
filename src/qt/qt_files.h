// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files through Qt: CP932 text files, whole-file bytes, atomic replacement,
// and the mapping of program-directory names ("...\amp.dat") to native
// paths.
#include <QSet>
#include <QString>
#include <memory>

#include "platform/files.h"

namespace ondrix {

class DurableQueue;
class StoreLock;

class QtFiles : public Files {
 public:
  // The executable's directory, or the per-user data directory when the
  // executable's directory cannot be written (mail must not be lost).
  QtFiles();
  explicit QtFiles(Text programDirectory);
  ~QtFiles() override;

  std::optional<Text> readText(const Text& path) override;
  bool writeText(const Text& path, const Text& text) override;
  void appendEncoded(TextView text, Bytes& out) override;
  std::optional<Bytes> readBytes(const Text& path) override;
  bool writeBytes(const Text& path, const Bytes& bytes) override;
  bool writeWorkingText(const Text& path, const Text& text) override;
  bool writeWorkingBytes(const Text& path, const Bytes& bytes) override;
  std::optional<std::int64_t> appendBytes(const Text& path, const Bytes& bytes) override;
  bool rename(const Text& from, const Text& to) override;
  bool copy(const Text& from, const Text& to) override;
  bool exists(const Text& path) override;
  bool isDirectory(const Text& path) override;
  Text programDirectory() override { return programDir_; }
  // The per-user folder, once this server holds its lock; empty while
  // another server holds it.
  Text fallbackDirectory() override;
  void setCurrentDirectory(const Text& path) override;
  // Removes the temporary files that replacements of the server's own files
  // in `folder` left when the power went: only once this server holds the
  // folder's lock.
  static void removeLeftTemporaries(const QString& folder);
  // From now on the syncs of the server's own files and of the journal's
  // lines are done by `queue`'s worker (qt/durable_files.h); the bytes are
  // still written here, so a full disk fails the call at once.
  void setDurableQueue(DurableQueue* queue) { queue_ = queue; }

  // The native path for `path`. The program's own files are named by the
  // program directory (or the fallback directory, once asked for), a
  // backslash and a name: the backslash becomes '/' and the name keeps its
  // exact spelling, so it is always the file the program writes under that
  // name. Any other path was chosen in a dialog or dropped on the window and
  // is used exactly as given, backslashes included.
  QString nativePath(const Text& path) const;

 private:
  // The native path of one of the program's own files; nothing for others.
  std::optional<QString> ownFilePath(const Text& path) const;
  bool replaceWith(const Text& path, const char* data, std::size_t size, bool synced = true);
  bool replaceWith(const Text& path, const QByteArray& data, bool synced = true);
  bool replaceWith(const Text& path, const Bytes& bytes, bool synced = true);

  // Waits for the worker before a file replaced through it is read or
  // copied, so the replacement is in place.
  void settle(const Text& path);

  Text programDir_;
  Text fallbackDir_;
  DurableQueue* queue_ = nullptr;
  // The files replaced through the queue since it was last waited for.
  QSet<QString> onTheirWay_;
  std::unique_ptr<StoreLock> fallbackLock_;
};

// The executable's directory, or the per-user data directory when the
// executable's directory cannot be written.
Text defaultProgramDirectory();

// Writes all of `data` to `fd`, through interrupted and partial writes.
bool writeAllBytes(int fd, const void* data, std::size_t size);

}  // namespace ondrix
