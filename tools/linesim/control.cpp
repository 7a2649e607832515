// SPDX-License-Identifier: GPL-3.0-or-later
// The control socket's requests, encoded and decoded, and its connections.
#include "control.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "startup.h"

namespace linesim {

namespace {

bool fillAddress(const std::string& path, sockaddr_un& addr, std::string& error) {
  addr = {};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    error = startFailure(StartFailure::SocketTooLong, path);
    return false;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool validValue(const std::string& v) { return v.find('\n') == std::string::npos; }

}  // namespace

std::string controlPath(const std::string& dir, int port) {
  return dir + "/COM" + std::to_string(port) + ".linesim";
}

std::string encodeRequest(const std::string& call, const CallOptions& o) {
  std::string out = "call " + call + "\n";
  for (const std::string& m : o.offer.melodies) out += "melody " + m + "\n";
  for (const std::string& i : o.offer.images) out += "image " + i + "\n";
  if (!o.subaddress.empty()) out += "sub " + o.subaddress + "\n";
  if (!o.callingSub.empty()) out += "callingsub " + o.callingSub + "\n";
  out += "calling " + o.callingId + "\n";
  out += "number " + o.dialNumber + "\n";
  out += "away " + std::to_string(o.awayMs) + "\n";
  if (o.unlink) out += "unlink\n";
  out += "boot " + std::to_string(o.bootMs) + "\n";
  out += "refusals " + std::to_string(o.refusals) + "\n";
  return out + "\n";
}

bool decodeRequest(const std::string& text, std::string& call, CallOptions& o, std::string& error) {
  std::istringstream in(text);
  std::string line;
  call.clear();
  while (std::getline(in, line) && !line.empty()) {
    const std::size_t blank = line.find(' ');
    const std::string key = line.substr(0, blank);
    const std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (key == "call") {
      call = value;
    } else if (key == "melody") {
      o.offer.melodies.push_back(value);
    } else if (key == "image") {
      o.offer.images.push_back(value);
    } else if (key == "sub") {
      o.subaddress = value;
    } else if (key == "calling") {
      o.callingId = value;
    } else if (key == "callingsub") {
      o.callingSub = value;
    } else if (key == "number") {
      o.dialNumber = value;
    } else if (key == "away") {
      o.awayMs = std::atoi(value.c_str());
    } else if (key == "unlink") {
      o.unlink = true;
    } else if (key == "boot") {
      o.bootMs = std::atoi(value.c_str());
    } else if (key == "refusals") {
      o.refusals = std::atoi(value.c_str());
    } else {
      error = "unknown request line: " + line;
      return false;
    }
  }
  if (call.empty()) {
    error = "the request names no call";
    return false;
  }
  return true;
}

int listenControl(const std::string& path, std::string& error) {
  sockaddr_un addr{};
  if (!fillAddress(path, addr, error)) return -1;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      error = startFailure(StartFailure::SocketInTheWay, path);
      return -1;
    }
    // A socket that answers is a simulator still running on this port; one
    // that does not was left by a simulator that did not stop cleanly.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answers =
        probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (probe >= 0) ::close(probe);
    if (answers) {
      error = startFailure(StartFailure::PortServed, path);
      return -1;
    }
    ::unlink(path.c_str());
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(fd, 4) != 0) {
    error = startFailure(StartFailure::Socket, path, errno);
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

int connectControl(const std::string& path, std::string& error) {
  sockaddr_un addr{};
  if (!fillAddress(path, addr, error)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    error = "no line simulator answers at " + path + " (" + std::strerror(errno) +
            "); start one first, e.g. with scripts/run.sh";
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

void sendAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (fd >= 0 && done < text.size()) {
    const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;  // the client went away; the call plays on regardless
    done += static_cast<std::size_t>(n);
  }
}

bool readElement(const std::string& path, std::string& element, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::stringstream s;
  s << in.rdbuf();
  element = s.str();
  while (!element.empty() && (element.back() == '\n' || element.back() == '\r')) element.pop_back();
  if (!validValue(element)) {
    error = path + " holds more than one line; an offered element is one line";
    return false;
  }
  return true;
}

}  // namespace linesim
