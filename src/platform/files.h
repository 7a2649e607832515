// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file system as the stored-data routines use it. Paths are given the
// way the handlers build them: the program directory followed by a name that
// begins with a backslash ("...\amp.dat"); the implementation maps the
// separators and keeps the name's exact spelling, so a name always denotes
// the file written under it. Paths chosen in a dialog or dropped on the
// window are native paths and pass unchanged.
#include <cstdint>
#include <optional>

#include "core/text.h"

namespace ondrix {

class Files {
 public:
  virtual ~Files() = default;

  // Whole text file, decoded from CP932; nullopt when it cannot be read.
  virtual std::optional<Text> readText(const Text& path) = 0;
  // Replaces the file atomically with the CP932 bytes of `text` (line ends
  // are the caller's). False when nothing could be written; the old file then
  // stays as it was. True only once the new content and its name are on the
  // disk, so a power cut cannot take back what a caller was then told. The
  // server's own files (program-directory names) are never readable by other
  // accounts; a file the operator chose follows the umask.
  virtual bool writeText(const Text& path, const Text& text) = 0;

  // Appends to `out` the bytes writeText would write for `text`, so parts of
  // a file can be kept encoded and written whole with writeBytes.
  virtual void appendEncoded(TextView text, Bytes& out) = 0;

  virtual std::optional<Bytes> readBytes(const Text& path) = 0;
  virtual bool writeBytes(const Text& path, const Bytes& bytes) = 0;

  // The working copies of the last mail's melody and picture: replaced
  // atomically too, but not flushed to the disk first. They can always be
  // made again from the store, and the flush costs more than the write.
  virtual bool writeWorkingText(const Text& path, const Text& text) {
    return writeText(path, text);
  }
  virtual bool writeWorkingBytes(const Text& path, const Bytes& bytes) {
    return writeBytes(path, bytes);
  }

  // Appends `bytes` to one of the server's own files with one write, so
  // lines written by whole calls never interleave; a new file is made the
  // owner's alone, and the line is on the disk before this returns. The
  // file's size afterwards (the journal is renamed when it grows too long),
  // or nullopt when nothing or not all could be written or synced.
  virtual std::optional<std::int64_t> appendBytes(const Text& path, const Bytes& bytes) = 0;
  // Renames one of the server's own files, replacing an existing target.
  virtual bool rename(const Text& from, const Text& to) = 0;

  // Copies, replacing an existing target.
  virtual bool copy(const Text& from, const Text& to) = 0;
  virtual bool exists(const Text& path) = 0;
  virtual bool isDirectory(const Text& path) = 0;

  // The directory the program keeps its data files in, without a trailing
  // separator.
  virtual Text programDirectory() = 0;
  // Where the data files go when the program directory cannot be written
  // (the per-user data directory), without a trailing separator; empty when
  // there is no such place.
  virtual Text fallbackDirectory() { return {}; }
  // Makes `path` the process's current directory.
  virtual void setCurrentDirectory(const Text& path) = 0;
};

}  // namespace ondrix
