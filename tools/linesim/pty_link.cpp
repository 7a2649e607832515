// SPDX-License-Identifier: GPL-3.0-or-later
// The pseudo-terminal, its COMn link, and the device removed and returned.
#include "pty_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "startup.h"

namespace linesim {

namespace {

// No file can ever live under /dev/null: a link to this stays dangling.
constexpr const char* kUnplugged = "/dev/null/unplugged";

// The pseudo-terminal could not be had; `what` is the step that failed.
std::string ptyFailure(const std::string& what) {
  return startFailure(StartFailure::PseudoTerminal, what, errno);
}

// The target of a symbolic link, or empty when `path` is not one.
std::string linkTarget(const std::string& path) {
  std::vector<char> buf(4096);
  const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size() - 1);
  if (n < 0) return {};
  return std::string(buf.data(), static_cast<std::size_t>(n));
}

}  // namespace

PtyLink::~PtyLink() {
  removeLink();
  closeLine();
}

void PtyLink::closeLine() {
  if (watch_ >= 0) ::close(watch_);
  if (master_ >= 0) ::close(master_);
  watch_ = master_ = -1;
}

bool PtyLink::create(std::string& error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) {
    error = ptyFailure("posix_openpt");
    return false;
  }
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    error = ptyFailure("grantpt/unlockpt");
    return false;
  }
  const char* name = ::ptsname(master_);
  if (name == nullptr) {
    error = ptyFailure("ptsname");
    return false;
  }
  slavePath_ = name;

  const int slave = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
  if (slave < 0) {
    error = ptyFailure(slavePath_);
    return false;
  }
  // A raw line: no echo by the terminal driver, no line editing, no CR/LF
  // translation, exactly as a serial line carries bytes.
  termios tio{};
  if (::tcgetattr(slave, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
  }
  // Opened once and closed: from here on the master reports a hang-up
  // whenever nobody has the port open (one never opened reports none).
  ::close(slave);
  used_ = false;
  watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch_ >= 0 && ::inotify_add_watch(watch_, slavePath_.c_str(), IN_OPEN | IN_CLOSE) < 0) {
    // Without it a use is still seen, only later (on the caller's next look).
    ::close(watch_);
    watch_ = -1;
  }
  const int flags = ::fcntl(master_, F_GETFL);
  ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  return true;
}

bool PtyLink::link(const std::string& dir, int port, std::string& error) {
  dir_ = dir;
  port_ = port;
  const std::string link = dir + "/COM" + std::to_string(port);
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) {
    // Only a leftover of an earlier simulator is replaced (a link to a
    // pseudo-terminal, or one whose device is gone); a link to a real modem
    // that the operator set up stays.
    const std::string target = linkTarget(link);
    const bool leftover = S_ISLNK(st.st_mode) &&
                          (target.rfind("/dev/pts/", 0) == 0 || ::access(link.c_str(), F_OK) != 0);
    if (!leftover) {
      error = startFailure(StartFailure::LinkInTheWay,
                           target.empty() ? link : link + " (a link to " + target + ")");
      return false;
    }
    ::unlink(link.c_str());
  }
  // The new name of a link being moved when an earlier simulator ended.
  ::unlink((link + ".next").c_str());
  if (::symlink(slavePath_.c_str(), link.c_str()) != 0) {
    error = startFailure(StartFailure::Link, link + " to " + slavePath_, errno);
    return false;
  }
  linkPath_ = link;
  return true;
}

void PtyLink::removeLink() {
  if (linkPath_.empty()) return;
  const std::string target = linkTarget(linkPath_);
  if (target == slavePath_ || target == kUnplugged) ::unlink(linkPath_.c_str());
  linkPath_.clear();
}

void PtyLink::unplug(bool removeLink) {
  if (linkTarget(linkPath_) == slavePath_) {
    ::unlink(linkPath_.c_str());
    if (!removeLink && ::symlink(kUnplugged, linkPath_.c_str()) != 0) linkPath_.clear();
  }
  closeLine();
}

bool PtyLink::replug(std::string& error) { return create(error) && link(dir_, port_, error); }

bool PtyLink::inUse() const {
  if (master_ < 0) return false;
  pollfd p{master_, 0, 0};  // a hang-up is reported whatever is asked for
  return ::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP);
}

void PtyLink::send(std::string& pending) {
  if (!inUse()) pending.clear();
  while (!pending.empty()) {
    const ssize_t n = ::write(master_, pending.data(), pending.size());
    if (n <= 0) return;  // full (EAGAIN); retried on the next turn
    pending.erase(0, static_cast<std::size_t>(n));
  }
}

bool PtyLink::pointLinkAt(const std::string& target) {
  const std::string next = linkPath_ + ".next";
  ::unlink(next.c_str());
  if (::symlink(target.c_str(), next.c_str()) == 0 &&
      ::rename(next.c_str(), linkPath_.c_str()) == 0) {
    return true;
  }
  ::unlink(next.c_str());
  return false;
}

bool PtyLink::followLastClose(std::string& leftOver) {
  if (master_ < 0) return false;
  alignas(inotify_event) char buf[4096];
  for (ssize_t n; watch_ >= 0 && (n = ::read(watch_, buf, sizeof buf)) > 0;) {
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buf + at);
      // Events lost to a full queue may have held an open.
      if (event->mask & (IN_OPEN | IN_Q_OVERFLOW)) used_ = true;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  if (inUse()) used_ = true;
  if (!used_ || inUse()) return false;
  for (ssize_t n; (n = ::read(master_, buf, sizeof buf)) > 0;) {
    leftOver.append(buf, static_cast<std::size_t>(n));
  }

  // A new pseudo-terminal takes the old one's place behind the link; the
  // old one, closed, takes its leftovers with it. A link someone else
  // changed is left as it is.
  const int oldMaster = master_;
  const int oldWatch = watch_;
  const std::string oldSlave = slavePath_;
  const bool linked = !linkPath_.empty() && linkTarget(linkPath_) == oldSlave;
  master_ = watch_ = -1;
  std::string error;
  const bool renewed = create(error) && (!linked || pointLinkAt(slavePath_));
  // Someone who found the old name before the link moved and opened it
  // keeps it; the new one waits for that user's close. When no new one can
  // be had, the old one stays as it is, not tried again at every look.
  pollfd old{oldMaster, 0, 0};
  const bool openedMeanwhile = ::poll(&old, 1, 0) >= 0 && !(old.revents & POLLHUP);
  if (!renewed || openedMeanwhile) {
    if (renewed && linked) pointLinkAt(oldSlave);
    closeLine();
    master_ = oldMaster;
    watch_ = oldWatch;
    slavePath_ = oldSlave;
    used_ = openedMeanwhile;
    return !openedMeanwhile;
  }
  ::close(oldWatch);
  ::close(oldMaster);
  return true;
}

}  // namespace linesim
