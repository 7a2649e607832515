// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operator's new-mail program: what the file system says of it, and a
// runner of one argument vector at a time limit, never through a shell.
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "core/text.h"

namespace ondrix {

// A hook file, and every folder on the way to it from the root (links
// followed), as the runner found them.
struct HookFileFacts {
  bool exists = false;      // a regular file
  bool executable = false;  // by this process
  std::uint32_t mode = 0;   // permission bits
  bool ownedByUs = true;    // owned by the server's user or root
  // The folders' permission bits together; a sticky folder of root's
  // adds none of its write bits, as no one else can swap its entries.
  std::uint32_t folderMode = 0;
  bool folderOwnedByUs = true;  // each the server's user's or root's
};

struct HookCall {
  Text program;  // a program-directory name ("...\new-mail") or a native path
  std::vector<Text> arguments;
  Text workingDirectory;
  // A file given to the program on its standard input (the archived message,
  // so a mail client moving it from new/ changes nothing); empty: none.
  Text standardInput;
};

struct HookEnd {
  enum class How { Exited, Crashed, TimedOut, NotStarted };
  How how = How::Exited;
  int exitCode = 0;
  Text errorTail;  // the end of what it wrote to standard error
};

class HookRunner {
 public:
  virtual ~HookRunner() = default;
  virtual HookFileFacts inspect(const Text& path) = 0;
  // Starts the call, or queues it while too many run; never waits for it.
  // Every call ends in exactly one report to the handler.
  virtual void run(const HookCall& call) = 0;
  void setOnEnded(std::function<void(const HookEnd&)> handler) { onEnded_ = std::move(handler); }

 protected:
  void ended(const HookEnd& end) {
    if (onEnded_) onEnded_(end);
  }

 private:
  std::function<void(const HookEnd&)> onEnded_;
};

}  // namespace ondrix
