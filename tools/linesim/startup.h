// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What can stop the simulator's start, each told in one line that names the
// thing a user can act on (the folder, the socket, the link, the port), and
// the folder it makes when --dir names one that is not there yet.
#include <string>

namespace linesim {

enum class StartFailure {
  Folder,          // the --dir folder could not be made
  NotAFolder,      // --dir names something that is not a folder
  PseudoTerminal,  // no pseudo-terminal for the modem
  SocketTooLong,   // the control socket's path is too long for a socket
  SocketInTheWay,  // something other than a socket has the control socket's name
  PortServed,      // a running simulator already serves the port
  Socket,          // the control socket could not be made
  LinkInTheWay,    // COMn is there and is not a link this simulator may replace
  Link,            // the link could not be made
  Log,             // the --log file cannot be written
  Noise,           // the --noise file cannot be read
};

// The line for `what`, naming `thing` (a path); the system's reason for
// `err` follows when it is not 0.
std::string startFailure(StartFailure what, const std::string& thing, int err = 0);

// Makes `dir` and whatever of its parents is missing, each the owner's alone
// (0700) whatever the umask, as the server makes its per-user folder. A
// folder that is there already is left as it is. False with `error` when it
// cannot.
bool makeFolder(const std::string& dir, std::string& error);

}  // namespace linesim
