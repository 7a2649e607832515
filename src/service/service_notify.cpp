// SPDX-License-Identifier: GPL-3.0-or-later
// The notification datagrams, written from the documented protocol: a few
// lines of "NAME=value" sent to the socket the service manager names.
#include "service/service_notify.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace ondrix {

namespace {

constexpr std::int64_t kPingWithoutWatchdogMs = 10000;

std::int64_t monotonicMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool readWhole(const char* text, std::int64_t& value) {
  if (text == nullptr || *text == '\0') return false;
  const char* end = text + std::strlen(text);
  const auto [next, error] = std::from_chars(text, end, value);
  return error == std::errc() && next == end;
}

}  // namespace

std::int64_t pingInterval(const char* watchdogUsec, const char* watchdogPid, long pid,
                          std::int64_t otherwise) {
  std::int64_t usec = 0;
  if (!readWhole(watchdogUsec, usec) || usec <= 0) return otherwise;
  // The watchdog is another process's when its pid is named and not ours.
  std::int64_t named = 0;
  if (watchdogPid != nullptr && (!readWhole(watchdogPid, named) || named != pid)) return otherwise;
  return std::max<std::int64_t>(usec / 2000, 1);
}

ServiceNotify::ServiceNotify(std::string_view socketName, std::int64_t pingEveryMs)
    : pingEveryMs_(pingEveryMs) {
  const bool abstract = socketName.starts_with('@');
  if ((!abstract && !socketName.starts_with('/')) || socketName.size() < 2 ||
      socketName.size() >= sizeof(address_.sun_path)) {
    return;
  }
  address_.sun_family = AF_UNIX;
  std::memcpy(address_.sun_path, socketName.data(), socketName.size());
  // An abstract name starts with a NUL byte and has none at its end.
  if (abstract) address_.sun_path[0] = '\0';
  addressSize_ = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketName.size() +
                                        (abstract ? 0 : 1));
  fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

ServiceNotify::~ServiceNotify() {
  if (fd_ >= 0) ::close(fd_);
}

ServiceNotify ServiceNotify::fromEnvironment() {
  const char* socketName = std::getenv("NOTIFY_SOCKET");
  return ServiceNotify(socketName == nullptr ? "" : socketName,
                       pingInterval(std::getenv("WATCHDOG_USEC"), std::getenv("WATCHDOG_PID"),
                                    static_cast<long>(::getpid()), kPingWithoutWatchdogMs));
}

void ServiceNotify::ready(LineCondition condition, std::int64_t nowMs) {
  if (!enabled()) return;
  readyDue_ = true;
  send(condition, nowMs);
}

void ServiceNotify::readyToEnd() {
  if (!enabled()) return;
  const std::string message =
      "READY=1\nSTATUS=" + toUtf8(u"別のサーバーがこのフォルダを使っています") + "\n";
  sendDatagram(message);
}

void ServiceNotify::poll(LineCondition condition, std::int64_t nowMs) {
  if (enabled()) send(condition, nowMs);
}

void ServiceNotify::ready(const Form1& form) {
  if (enabled()) ready(lineCondition(form), monotonicMs());
}

void ServiceNotify::poll(const Form1& form) {
  if (enabled()) poll(lineCondition(form), monotonicMs());
}

void ServiceNotify::send(LineCondition condition, std::int64_t nowMs) {
  const bool tell = !told_ || condition != toldCondition_;
  const bool ping = !pinged_ || nowMs - lastPingMs_ >= pingEveryMs_;
  if (!readyDue_ && !tell && !ping) return;
  std::string message;
  if (readyDue_) message += "READY=1\n";
  if (tell || readyDue_) message += "STATUS=" + toUtf8(conditionText(condition)) + "\n";
  if (ping) message += "WATCHDOG=1\n";
  // A full queue: the next poll tries again. Nobody listening, or a socket
  // of another kind: the datagram is lost as if it had gone.
  if (!sendDatagram(message) && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
    return;
  }
  readyDue_ = false;
  told_ = true;
  toldCondition_ = condition;
  if (ping) {
    pinged_ = true;
    lastPingMs_ = nowMs;
  }
}

bool ServiceNotify::sendDatagram(const std::string& message) const {
  return ::sendto(fd_, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&address_), addressSize_) >= 0;
}

}  // namespace ondrix
