// SPDX-License-Identifier: GPL-3.0-or-later
// Standard error as the journal hears it: one line per status line, never
// waited on.
#include "service/stream_echo.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace ondrix {

namespace {

// Below PIPE_BUF, so a pipe with room takes the whole line at once.
constexpr std::size_t kLongestLine = 2048;

bool readDecimal(const char*& at, const char* end, std::uint64_t& value) {
  const auto [next, error] = std::from_chars(at, end, value);
  if (error != std::errc() || next == at) return false;
  at = next;
  return true;
}

// A reader that went away between the poll and the write must not end the
// server: SIGPIPE is held back for the write and taken if it came.
ssize_t writeWithoutSigpipe(int fd, const char* data, std::size_t size) {
  sigset_t pipe;
  sigset_t old;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &old);
  sigset_t pending;
  sigpending(&pending);
  const bool wasPending = sigismember(&pending, SIGPIPE) == 1;
  const ssize_t n = ::write(fd, data, size);
  const int error = errno;
  if (n < 0 && error == EPIPE && !wasPending) {
    const timespec none{};
    sigtimedwait(&pipe, nullptr, &none);
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = error;
  return n;
}

}  // namespace

bool namesStream(const char* journalStream, std::uint64_t device, std::uint64_t inode) {
  if (journalStream == nullptr) return false;
  const char* at = journalStream;
  const char* end = at + std::strlen(at);
  std::uint64_t namedDevice = 0;
  std::uint64_t namedInode = 0;
  if (!readDecimal(at, end, namedDevice) || at == end || *at++ != ':' ||
      !readDecimal(at, end, namedInode) || at != end) {
    return false;
  }
  return namedDevice == device && namedInode == inode;
}

std::string echoLine(StatusPriority priority, TextView line, bool journal) {
  std::string bytes;
  if (journal) {
    bytes = "<0>";
    bytes[1] = static_cast<char>('0' + static_cast<int>(priority));
  }
  std::string text = toUtf8(line);
  if (text.size() > kLongestLine) {
    std::size_t cut = kLongestLine;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  bytes += text;
  bytes += '\n';
  return bytes;
}

StreamEcho::StreamEcho(int fd, bool journal) : fd_(fd), journal_(journal) {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    gone_ = true;
    return;
  }
  socket_ = S_ISSOCK(st.st_mode);
}

StreamEcho StreamEcho::standardError() {
  struct stat st {};
  const bool journal = ::fstat(STDERR_FILENO, &st) == 0 &&
                       namesStream(std::getenv("JOURNAL_STREAM"), st.st_dev, st.st_ino);
  return StreamEcho(STDERR_FILENO, journal);
}

void StreamEcho::echo(StatusPriority priority, TextView line) {
  if (gone_) return;
  std::string bytes = echoLine(priority, line, journal_);
  // The box shows some lines again at once (a ring, then its caller known).
  if (bytes == last_) return;
  last_ = bytes;
  if (torn_) bytes.insert(0, "\n");
  write(bytes);
}

void StreamEcho::write(const std::string& bytes) {
  ssize_t n = 0;
  if (socket_) {
    n = ::send(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  } else {
    pollfd ready{fd_, POLLOUT, 0};
    if (::poll(&ready, 1, 0) != 1) return;  // full, for now
    if ((ready.revents & POLLOUT) == 0 || (ready.revents & (POLLERR | POLLNVAL)) != 0) {
      gone_ = true;
      return;
    }
    n = writeWithoutSigpipe(fd_, bytes.data(), bytes.size());
  }
  if (n < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) gone_ = true;
    return;
  }
  torn_ = static_cast<std::size_t>(n) < bytes.size();
}

}  // namespace ondrix
