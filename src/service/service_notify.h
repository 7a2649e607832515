// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The service manager's notification socket: readiness, the line's
// condition and the watchdog's keep-alive, each one datagram that is sent
// without waiting or not at all.
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "service/line_condition.h"

namespace ondrix {

class ServiceNotify {
 public:
  // `socketName`: a path, or "@" and an abstract name; anything else (empty
  // when no service manager asked) sends nothing. The keep-alive goes at
  // most every `pingEveryMs`.
  ServiceNotify(std::string_view socketName, std::int64_t pingEveryMs);
  ~ServiceNotify();
  ServiceNotify(const ServiceNotify&) = delete;
  ServiceNotify& operator=(const ServiceNotify&) = delete;

  // NOTIFY_SOCKET, and half the watchdog's WATCHDOG_USEC when it is this
  // process's (10 s without one).
  static ServiceNotify fromEnvironment();

  bool enabled() const { return fd_ >= 0; }
  // The window is up and the line started or awaited: READY=1 with the rest.
  void ready(LineCondition condition, std::int64_t nowMs);
  // A start that ends at once because another server serves the folder: a
  // manager waiting for readiness takes the quiet end as done, not failed.
  void readyToEnd();
  // STATUS= when the condition changed, WATCHDOG=1 when one is due.
  void poll(LineCondition condition, std::int64_t nowMs);
  // The same, of the form's state, on the monotonic clock.
  void ready(const Form1& form);
  void poll(const Form1& form);

 private:
  void send(LineCondition condition, std::int64_t nowMs);
  bool sendDatagram(const std::string& message) const;

  int fd_ = -1;
  sockaddr_un address_{};
  socklen_t addressSize_ = 0;
  std::int64_t pingEveryMs_;
  std::int64_t lastPingMs_ = 0;
  bool pinged_ = false;
  bool readyDue_ = false;
  bool told_ = false;
  LineCondition toldCondition_ = LineCondition::Stopped;
};

// WATCHDOG_USEC and WATCHDOG_PID as the keep-alive's interval: half the
// watchdog's time, or `otherwise` when there is none for `pid`.
std::int64_t pingInterval(const char* watchdogUsec, const char* watchdogPid, long pid,
                          std::int64_t otherwise);

}  // namespace ondrix
