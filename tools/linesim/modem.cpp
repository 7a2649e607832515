// SPDX-License-Identifier: GPL-3.0-or-later
// The modem's answers to the server's command lines.
#include "modem.h"

#include <algorithm>
#include <cctype>

namespace linesim {

namespace {

// Command words are not case-sensitive on the modem; the argument bytes are
// compared as they are once lowered (all known commands are ASCII).
std::string lowered(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

constexpr std::size_t kMaxCommandLine = 256;

}  // namespace

std::string resultLine(const std::string& text) { return "\r\n" + text + "\r\n"; }

std::string Modem::receive(const std::string& bytes) {
  if (config_.silent) return {};
  std::string out;
  for (char c : bytes) {
    if (config_.echo) out += c;
    if (c == '\r') {
      const std::string command = line_;
      line_.clear();
      if (command.empty()) continue;  // a bare CR is not a command
      ++commands_;
      out += answer(command);
    } else if (c == '\n') {
      // A line feed after the CR belongs to no command.
    } else if (line_.size() < kMaxCommandLine) {
      line_ += c;
    }
  }
  return out;
}

bool Modem::isOkCommand(const std::string& command) const {
  const std::string lc = lowered(command);
  if (lc == "at" || lc == "ath" || lc == "ath0" || lc == "atz") return true;
  if (lc == lowered(config_.startCommand) || lc == lowered(config_.setupCommand)) return true;
  return std::any_of(config_.extraOk.begin(), config_.extraOk.end(),
                     [&](const std::string& ok) { return lowered(ok) == lc; });
}

std::string Modem::answer(const std::string& command) {
  if (lowered(command) == "ati3") return resultLine(config_.model) + resultLine("OK");
  if (lowered(command) == lowered(config_.setupCommand)) lineStarted_ = true;
  if (isOkCommand(command)) return resultLine("OK");
  return resultLine("ERROR");
}

}  // namespace linesim
