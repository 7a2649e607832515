// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the simulator's start failures, in one table, and the making
// of its --dir folder.
#include "startup.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace linesim {

namespace {

struct Row {
  StartFailure what;
  // "@" stands for the thing that failed.
  const char* text;
};

constexpr Row kRows[] = {
    {StartFailure::Folder, "cannot make the folder @"},
    {StartFailure::NotAFolder,
     "@ is not a folder; give --dir a folder (one that is missing is made)"},
    {StartFailure::PseudoTerminal, "cannot open a pseudo-terminal for the modem (@)"},
    {StartFailure::SocketTooLong,
     "the control socket's path @ is too long for a socket; give a shorter --dir"},
    {StartFailure::SocketInTheWay,
     "@ is in the way of the control socket and is not one; remove it or choose another --port"},
    {StartFailure::PortServed,
     "the port is already linked: a running simulator answers at @; stop it or choose another "
     "--port"},
    {StartFailure::Socket, "cannot make the control socket @"},
    {StartFailure::LinkInTheWay,
     "@ is there and is not a link this simulator made (a modem the operator linked, or a "
     "file); remove it or choose another --port"},
    {StartFailure::Link, "cannot make the link @"},
    {StartFailure::Log, "cannot write the log file @"},
    {StartFailure::Noise, "cannot read the noise file @"},
};

}  // namespace

std::string startFailure(StartFailure what, const std::string& thing, int err) {
  std::string text;
  for (const Row& row : kRows) {
    if (row.what == what) text = row.text;
  }
  const std::size_t at = text.find('@');
  if (at != std::string::npos) text.replace(at, 1, thing);
  if (err != 0) text += std::string(": ") + std::strerror(err);
  return text;
}

bool makeFolder(const std::string& dir, std::string& error) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    error = startFailure(StartFailure::NotAFolder, dir);
    return false;
  }
  // Parents first, each made the same way.
  std::size_t from = dir.find_first_not_of('/');
  while (from != std::string::npos) {
    const std::size_t slash = dir.find('/', from);
    const std::string part = dir.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) == 0) {
      if (::chmod(part.c_str(), 0700) != 0) {
        error = startFailure(StartFailure::Folder, part, errno);
        return false;
      }
    } else if (errno != EEXIST) {
      error = startFailure(StartFailure::Folder, part, errno);
      return false;
    } else if (::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      error = startFailure(StartFailure::NotAFolder, part);
      return false;
    }
    from = slash == std::string::npos ? slash : dir.find_first_not_of('/', slash);
  }
  return true;
}

}  // namespace linesim
