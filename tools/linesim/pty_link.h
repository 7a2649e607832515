// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A pseudo-terminal whose slave side is published as "COMn" in the server's
// program directory, so the server opens it like a serial port.
#include <string>

namespace linesim {

class PtyLink {
 public:
  PtyLink() = default;
  ~PtyLink();
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  // Creates the pseudo-terminal, as yet unnamed. On failure `error` says why.
  bool create(std::string& error);
  // Links it as `dir`/COM<port>. Whoever waits for the link takes it as the
  // sign that the simulator answers, so this comes last in its start-up. A
  // link left by an earlier simulator (to a pseudo-terminal, or dangling) is
  // replaced; anything else of that name is left alone and the call fails.
  bool link(const std::string& dir, int port, std::string& error);
  // Removes the link if it still points at this pseudo-terminal (or at
  // nothing, while unplugged).
  void removeLink();
  // The device goes away: the pseudo-terminal is closed, so the server's
  // side hangs up, and the link is left pointing at nothing, as a link to a
  // device name does while its adapter is pulled; with `removeLink`, the
  // link goes too, as when the program that made it ends.
  void unplug(bool removeLink);
  // A new pseudo-terminal behind the same link, as a device plugged back in.
  bool replug(std::string& error);

  // Whether anyone (the server) has the port open now.
  bool inUse() const;
  // The port's last close, as a real device has it: once everyone who opened
  // the port has closed it (killed or not), what they left behind goes with
  // it (the exclusive mode a killed server set, bytes nobody read, the line
  // settings), so the next opener, whatever its account, gets a port as if
  // never opened. Cheap enough for every turn of the caller's loop; true
  // when that close happened, with what the last user wrote and nobody read
  // yet in `leftOver`. The pseudo-terminal behind the link is then a new one.
  bool followLastClose(std::string& leftOver);

  // Writes as much of `pending` as the line takes now; the rest waits. What
  // the modem says while nobody has the port open is heard by nobody: it is
  // dropped, not kept for the next opener.
  void send(std::string& pending);

  int masterFd() const { return master_; }
  // Readable when the port was opened or closed; -1 while unplugged.
  int watchFd() const { return watch_; }
  const std::string& slavePath() const { return slavePath_; }
  const std::string& linkPath() const { return linkPath_; }

 private:
  // Points the link at `target` in one step, so an opener never finds it
  // missing.
  bool pointLinkAt(const std::string& target);
  void closeLine();

  int master_ = -1;
  // Watches the slave's opens and closes: an open and close between two
  // looks of the caller still counts as a use.
  int watch_ = -1;
  // Someone opened the port since it was made.
  bool used_ = false;
  std::string slavePath_;
  std::string linkPath_;
  std::string dir_;
  int port_ = 0;
};

}  // namespace linesim
