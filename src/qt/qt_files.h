#pragma once
// Files through Qt: CP932 text files, whole-file bytes, atomic replacement,
// and the mapping of program-directory names ("...\amp.dat") to native
// paths.
#include <QString>

#include "platform/files.h"

namespace ondrix {

class QtFiles : public Files {
 public:
  // The executable's directory, or the per-user data directory when the
  // executable's directory cannot be written (mail must not be lost).
  QtFiles();
  explicit QtFiles(Text programDirectory);

  std::optional<Text> readText(const Text& path) override;
  bool writeText(const Text& path, const Text& text) override;
  void appendEncoded(TextView text, Bytes& out) override;
  std::optional<Bytes> readBytes(const Text& path) override;
  bool writeBytes(const Text& path, const Bytes& bytes) override;
  bool writeWorkingText(const Text& path, const Text& text) override;
  bool writeWorkingBytes(const Text& path, const Bytes& bytes) override;
  bool appendBytes(const Text& path, const Bytes& bytes) override;
  bool copy(const Text& from, const Text& to) override;
  bool exists(const Text& path) override;
  bool isDirectory(const Text& path) override;
  Text programDirectory() override { return programDir_; }
  Text fallbackDirectory() override;
  void setCurrentDirectory(const Text& path) override;

  // The native path for `path`. A path holding backslashes is a
  // program-directory name: the separators become '/'. The name keeps its
  // exact spelling, so it is always the file the program writes under that
  // name, never another whose name differs only in case. Other paths (from
  // dialogs, drops) pass unchanged.
  static QString nativePath(const Text& path);

 private:
  Text programDir_;
};

}  // namespace ondrix
