// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop notification over the session bus's notification service.
#include <QDBusConnection>

#include "platform/notifier.h"

namespace ondrix {

class QtNotifier : public Notifier {
 public:
  // The session bus, connected once here, at start rather than in a tick.
  QtNotifier();
  explicit QtNotifier(const QDBusConnection& bus);
  void notify(const DesktopNotice& notice) override;

 private:
  QDBusConnection bus_;
};

}  // namespace ondrix
