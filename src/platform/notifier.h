// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop's notification service, as the server tells the operator of a
// record stored while nobody looks at the window.
#include "core/text.h"

namespace ondrix {

// The body is the service's markup: its text has & < > escaped.
struct DesktopNotice {
  Text summary;
  Text body;
};

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Hands the notice over without waiting; nothing happens when there is no
  // service, and nothing is tried again.
  virtual void notify(const DesktopNotice& notice) = 0;
};

}  // namespace ondrix
