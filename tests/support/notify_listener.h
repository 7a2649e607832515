// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A socket of the test's own in the service manager's place.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <string>

struct NotifyListener {
  int fd;
  explicit NotifyListener(const std::string& name, int type = SOCK_DGRAM)
      : fd(::socket(AF_UNIX, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    name.copy(address.sun_path, name.size());
    const bool abstract = name[0] == '@';
    if (abstract) address.sun_path[0] = '\0';
    ::bind(fd, reinterpret_cast<sockaddr*>(&address),
           offsetof(sockaddr_un, sun_path) + name.size() + (abstract ? 0 : 1));
    if (type == SOCK_STREAM) ::listen(fd, 1);
  }
  ~NotifyListener() { ::close(fd); }
  std::string next() const {
    char buffer[512];
    const auto n = ::recv(fd, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
  }
};
