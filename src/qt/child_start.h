// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Starting another program without ever waiting for it: a fork, and in the
// child only calls that are safe after a fork of a threaded process.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ondrix::child {

// A descriptor of the server's: close-on-exec, never 0, 1 or 2 (so that
// putting it in place of a standard one cannot clobber another), closed
// with its owner.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd);
  ~Fd();
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept;
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int release();

 private:
  int fd_ = -1;
};

// A pipe whose reading end does not block.
struct Pipe {
  Fd read, write;
  bool make();
};

// One way of running the program: a path (looked for as execve would) and
// its argument vector.
struct Attempt {
  std::string path;
  std::vector<std::string> argv;
};

// What the started program gets, all of it built before the fork.
struct Launch {
  int program = -1;               // executed as it is (fexecve) when >= 0, with argv
  std::vector<std::string> argv;  // with `program`
  std::vector<Attempt> attempts;  // else tried in order until one runs
  std::string workingDirectory;   // empty: the server's
  // Standard input, output and error; -1 leaves the server's own.
  int input = -1, output = -1, error = -1;
};

// What the child tells on the report pipe: one record each, whole.
struct Report {
  enum Kind : std::int32_t { Exited, Killed, NotStarted };
  std::int32_t kind = Exited;
  std::int32_t value = 0;  // the exit code, the signal, or errno
};

// Starts the program under a keeper of its own: a process that leads
// nothing but adopts whatever the program leaves behind (setsid daemons,
// background jobs), reports the program's own end on `report`, and on
// SIGTERM (sent at the time limit, or by the kernel when the server ends)
// kills the program's group and every process it adopted. The keeper ends,
// closing `report`, once nothing of the program's is left. The program
// leads a process group of its own. Returns the keeper's id, or -1. Call it
// from the main thread: the kernel's signal follows the thread that forked.
pid_t startKept(const Launch& launch, int report);

// Starts the program in a session of its own, left to run after the
// server; its failure to start is written to `report`, which closes once
// it runs or has failed. Returns the id of the process to reap (it ends at
// once), or -1.
pid_t startDetached(const Launch& launch, int report);

// Reaps a child that ends by itself in a moment, from the event loop.
void reapSoon(pid_t pid);

}  // namespace ondrix::child
