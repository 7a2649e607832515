// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file system as the stored-data routines use it. Paths are given the
// way the handlers build them: the program directory followed by a name that
// begins with a backslash ("...\amp.dat"); the implementation maps the
// separators and matches the last name without regard to case. Paths chosen
// in a dialog or dropped on the window are native paths and pass unchanged.
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
  // stays as it was.
  virtual bool writeText(const Text& path, const Text& text) = 0;

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

  // Adds `bytes` to the end of the file in one write, creating the file,
  // readable by its owner only, when it is missing. The file's size
  // afterwards, or nullopt when nothing could be written.
  virtual std::optional<std::int64_t> appendBytes(const Text& path, const Bytes& bytes) = 0;
  // Renames, replacing an existing target.
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
