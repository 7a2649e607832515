// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modem as the server sees it: command lines in, echo and result lines
// out. Pure logic on bytes, so the simulator's loop only moves data.
#include <string>
#include <vector>

namespace linesim {

struct ModemConfig {
  // Model line answered to "ati3".
  std::string model = "QV-M7";
  // The server's default start and set-up commands; answered "OK".
  std::string startCommand = "at#sy1=40";
  std::string setupCommand = "atu3v1q0\\v2#ps2=1";
  // Further commands answered "OK".
  std::vector<std::string> extraOk;
  bool echo = true;
  // Never answer, never echo: exercises the server's reply time-outs.
  bool silent = false;
};

class Modem {
 public:
  explicit Modem(ModemConfig config) : config_(std::move(config)) {}

  // Bytes from the server; returns the bytes the modem sends back.
  std::string receive(const std::string& bytes);

  // Number of complete command lines handled so far.
  int commandCount() const { return commands_; }
  // True once the set-up command has been answered: the server has started
  // the line and now listens for calls.
  bool lineStarted() const { return lineStarted_; }

 private:
  std::string answer(const std::string& command);
  bool isOkCommand(const std::string& command) const;

  ModemConfig config_;
  std::string line_;
  int commands_ = 0;
  bool lineStarted_ = false;
};

// Result lines are framed the way a modem in verbose mode frames them.
std::string resultLine(const std::string& text);

}  // namespace linesim
