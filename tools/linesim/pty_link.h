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

  int masterFd() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }
  const std::string& linkPath() const { return linkPath_; }

 private:
  int master_ = -1;
  // The simulator keeps the slave open itself: without any open slave the
  // master reports a hang-up, and the server closes and reopens its port
  // (stop, auto-search) while the simulator keeps running.
  int slaveHold_ = -1;
  std::string slavePath_;
  std::string linkPath_;
  std::string dir_;
  int port_ = 0;
};

}  // namespace linesim
