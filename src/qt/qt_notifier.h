// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop notification over the session bus's notification service,
// joined and called on a thread of its own.
#include <QString>
#include <chrono>

#include "platform/notifier.h"

class QThread;

namespace ondrix {

class QtNotifier : public Notifier {
 public:
  // `address` names a bus in place of the session bus.
  explicit QtNotifier(const QString& address = QString());
  QtNotifier(const QtNotifier&) = delete;
  QtNotifier& operator=(const QtNotifier&) = delete;
  // Waits a moment for the bus's thread; one held by a bus that does not
  // answer is left to the process's end.
  ~QtNotifier() override;
  // Joins the bus on the bus's thread: neither the caller nor a notice
  // waits for it.
  void connectToSessionBus();
  void notify(const DesktopNotice& notice) override;

 private:
  class BusSide;
  QString address_;
  QThread* thread_;
  BusSide* side_;  // lives on thread_
};

// Whether the session bus of the environment answers the first line of its
// greeting within `limit`; true when it cannot be asked on a plain socket
// (no address, or a transport other than a Unix socket).
bool sessionBusAnswers(std::chrono::milliseconds limit);

// Before the application is made: a session bus that does not answer is
// hidden from Qt (its accessibility bridge would wait on it while the window
// is built) and from the notifier, which then stays silent.
void keepAwayFromASilentSessionBus();

}  // namespace ondrix
