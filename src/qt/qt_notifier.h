// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop notification over the session bus's notification service.
#include <QDBusConnection>

#include "platform/notifier.h"

namespace ondrix {

class QtNotifier : public Notifier {
 public:
  // Not connected until connectToSessionBus: the program connects once its
  // window is up, so neither the first paint nor a tick waits for the bus.
  QtNotifier() = default;
  explicit QtNotifier(const QDBusConnection& bus);
  void connectToSessionBus();
  void notify(const DesktopNotice& notice) override;

 private:
  QDBusConnection bus_{QString()};
};

}  // namespace ondrix
