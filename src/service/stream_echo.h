// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The status lines on standard error, with the priority prefix the journal
// reads when standard error is the journal's stream, plain text otherwise.
#include <cstdint>
#include <string>

#include "platform/status_echo.h"

namespace ondrix {

class StreamEcho : public StatusEcho {
 public:
  // `journal`: the lines carry the journal's priority prefix.
  StreamEcho(int fd, bool journal);
  // Standard error, the journal's when JOURNAL_STREAM names it.
  static StreamEcho standardError();

  // A stream that is full drops the line, one that is closed or has lost
  // its reader drops this and every later line: the tick never waits.
  void echo(StatusPriority priority, TextView line) override;

 private:
  void write(const std::string& bytes);

  int fd_;
  bool journal_;
  bool socket_ = false;
  bool gone_ = false;
  bool torn_ = false;  // a line went out only in part: the next one ends it
  std::string last_;
};

// Whether JOURNAL_STREAM ("device:inode", decimal) names this file.
bool namesStream(const char* journalStream, std::uint64_t device, std::uint64_t inode);

// The bytes of one line: the prefix for the journal, control characters as
// blanks (one status line is one journal line), at most a pipe's atomic
// write, ended by a line feed.
std::string echoLine(StatusPriority priority, TextView line, bool journal);

}  // namespace ondrix
