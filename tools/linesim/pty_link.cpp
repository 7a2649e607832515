// SPDX-License-Identifier: GPL-3.0-or-later
// The pseudo-terminal, its COMn link, and the device removed and returned.
#include "pty_link.h"

#include <fcntl.h>
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
  if (slaveHold_ >= 0) ::close(slaveHold_);
  if (master_ >= 0) ::close(master_);
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

  slaveHold_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
  if (slaveHold_ < 0) {
    error = ptyFailure(slavePath_);
    return false;
  }
  // A raw line: no echo by the terminal driver, no line editing, no CR/LF
  // translation, exactly as a serial line carries bytes.
  termios tio{};
  if (::tcgetattr(slaveHold_, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(slaveHold_, TCSANOW, &tio);
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
  if (slaveHold_ >= 0) ::close(slaveHold_);
  if (master_ >= 0) ::close(master_);
  slaveHold_ = master_ = -1;
}

bool PtyLink::replug(std::string& error) { return create(error) && link(dir_, port_, error); }

}  // namespace linesim
